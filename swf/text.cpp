#include "swf/text.h"

#include "swf/stream.h"

#include <algorithm>

namespace {
constexpr uint16_t kDefineFont = 10;
constexpr uint16_t kDefineFontInfo = 13;
constexpr uint16_t kDefineText2 = 33;
constexpr size_t kMaxNameLength = 255;
constexpr size_t kMaxGlyphEntries = 127;
constexpr uint8_t kEmptyStyleChange = 0x80;
} // namespace

FDTDefineFont::FDTDefineFont() : fontId(NextCharacterId()) {}

FDTDefineFont::~FDTDefineFont() {
    for (FShape* glyph : glyphShapes) {
        delete glyph;
    }
}

void FDTDefineFont::AddGlyphShape(FShape* glyph) {
    glyph->SetFillBitWidth(glyphFillBitWidth);
    glyph->SetLineBitWidth(glyphLineBitWidth);
    glyphShapes.push_back(glyph);
}

std::vector<uint64_t> FDTDefineFont::WriteGlyphs(FSWFStream& glyphs) const {
    // Offsets count from the start of the table of n 16-bit entries.
    const uint64_t tableSize = 2 * static_cast<uint64_t>(glyphShapes.size());
    std::vector<uint64_t> offsets;
    for (FShape* glyph : glyphShapes) {
        offsets.push_back(tableSize + glyphs.TotalSize());
        glyph->WriteTo(glyphs);
    }
    return offsets;
}

bool FDTDefineFont::ExceedsFormatLimits() const {
    FSWFStream glyphs;
    const std::vector<uint64_t> offsets = WriteGlyphs(glyphs);
    return !offsets.empty() && offsets.back() > 0xFFFF;
}

void FDTDefineFont::WriteTo(FSWFStream& out) {
    FSWFStream glyphs;
    const std::vector<uint64_t> offsets = WriteGlyphs(glyphs);
    FSWFStream body;
    body.PutU16(fontId);
    for (uint64_t offset : offsets) {
        body.PutU16(static_cast<uint16_t>(offset));
    }
    body.AppendStream(glyphs);
    out.PutTag(kDefineFont, static_cast<uint32_t>(body.TotalSize()), &body);
}

FDTDefineFontInfo::FDTDefineFontInfo(const char* fontName, uint16_t fontId, uint16_t encoding,
                                     uint16_t italic, uint16_t bold)
    : characterId(NextCharacterId()), name(fontName), encoding(encoding), italic(italic),
      bold(bold), fontId(fontId) {}

void FDTDefineFontInfo::WriteTo(FSWFStream& out) {
    FSWFStream body;
    body.PutU16(fontId);
    const std::string& text = name.Text();
    const size_t length = std::min(text.size(), kMaxNameLength);
    body.PutByte(static_cast<uint8_t>(length));
    for (size_t i = 0; i < length; ++i) {
        body.PutByte(static_cast<uint8_t>(text[i]));
    }
    body.PutBits(0, 2);
    // One of three encoding flags; an unknown encoding sets none but keeps the layout.
    body.PutBits(encoding == 2 ? 1 : 0, 1);
    body.PutBits(encoding == 1 ? 1 : 0, 1);
    body.PutBits(encoding == 3 ? 1 : 0, 1);
    body.PutBits(italic & 1u, 1);
    body.PutBits(bold & 1u, 1);
    body.PutBits(wideCodes ? 1 : 0, 1);
    for (uint16_t code : codes) {
        if (wideCodes)
            body.PutU16(code);
        else
            body.PutByte(static_cast<uint8_t>(code));
    }
    out.PutTag(kDefineFontInfo, static_cast<uint32_t>(body.TotalSize()), &body);
}

FTextChangeRecord::FTextChangeRecord(uint16_t hasFont, uint16_t hasColor, uint16_t hasXOffset,
                                     uint16_t hasYOffset, uint16_t fontId, uint16_t textHeight,
                                     FColor* color, int16_t xOffset, int16_t yOffset)
    : hasFont(hasFont), hasColor(hasColor), hasYOffset(hasYOffset), hasXOffset(hasXOffset),
      fontId(fontId), color(color), xOffset(xOffset), yOffset(yOffset), textHeight(textHeight) {
    if (color != nullptr) {
        color->hasAlpha = true;
    }
}

FTextChangeRecord::~FTextChangeRecord() {
    delete color;
}

void FTextChangeRecord::WriteTo(FSWFStream& out, uint32_t, uint32_t) const {
    const bool writesColor = hasColor != 0 && color != nullptr;
    out.PutBits(1, 1); // style change
    out.PutBits(0, 3);
    out.PutBits(hasFont != 0 ? 1 : 0, 1);
    out.PutBits(writesColor ? 1 : 0, 1);
    out.PutBits(hasYOffset != 0 ? 1 : 0, 1);
    out.PutBits(hasXOffset != 0 ? 1 : 0, 1);
    if (hasFont != 0) {
        out.PutU16(fontId);
    }
    if (writesColor) {
        color->WriteTo(out);
    }
    if (hasXOffset != 0) {
        out.PutU16(static_cast<uint16_t>(xOffset));
    }
    if (hasYOffset != 0) {
        out.PutU16(static_cast<uint16_t>(yOffset));
    }
    if (hasFont != 0) {
        out.PutU16(textHeight);
    }
}

uint32_t FTextGlyphRecord::GlyphBitsNeeded() const {
    uint32_t bits = 0;
    for (const GlyphEntry& entry : entries) {
        bits = std::max(bits, BitsNeeded(entry.glyphIndex, 1));
    }
    return bits;
}

uint32_t FTextGlyphRecord::AdvanceBitsNeeded() const {
    uint32_t bits = 0;
    for (const GlyphEntry& entry : entries) {
        bits = std::max(bits, BitsNeeded(entry.advance, 1));
    }
    return bits;
}

void FTextGlyphRecord::WriteTo(FSWFStream& out, uint32_t glyphBits, uint32_t advanceBits) const {
    size_t next = 0;
    do {
        if (next > 0) {
            out.Align();
            out.PutByte(kEmptyStyleChange);
        }
        const size_t count = std::min(entries.size() - next, kMaxGlyphEntries);
        out.PutBits(0, 1); // glyph record
        out.PutBits(static_cast<uint32_t>(count), 7);
        for (size_t i = next; i < next + count; ++i) {
            out.PutBits(entries[i].glyphIndex, glyphBits);
            out.PutBits(entries[i].advance, advanceBits);
        }
        next += count;
    } while (next < entries.size());
    out.Align();
}

FDTDefineText2::FDTDefineText2(FRect* bounds, FMatrix* matrix, uint32_t)
    : characterId(NextCharacterId()), bounds(bounds), matrix(matrix) {}

FDTDefineText2::~FDTDefineText2() {
    delete bounds;
    delete matrix;
    for (FTextRecord* record : records) {
        delete record;
    }
}

void FDTDefineText2::WriteTo(FSWFStream& out) {
    uint32_t glyphBits = 0;
    uint32_t advanceBits = 0;
    for (const FTextRecord* record : records) {
        glyphBits = std::max(glyphBits, record->GlyphBitsNeeded());
        advanceBits = std::max(advanceBits, record->AdvanceBitsNeeded());
    }
    FSWFStream body;
    body.PutU16(characterId);
    bounds->WriteTo(body);
    matrix->WriteTo(body);
    body.PutByte(static_cast<uint8_t>(glyphBits));
    body.PutByte(static_cast<uint8_t>(advanceBits));
    for (const FTextRecord* record : records) {
        record->WriteTo(body, glyphBits, advanceBits);
    }
    body.Align();
    body.PutByte(0); // end of records
    out.PutTag(kDefineText2, static_cast<uint32_t>(body.TotalSize()), &body);
}
