#pragma once

#include "swf/control_tags.h"
#include "swf/objects.h"
#include "swf/records.h"
#include "swf/shapes.h"

#include <cstdint>
#include <vector>

class FSWFStream;

// DefineFont: one outline per glyph, in glyph-index order. Owns the shapes.
class FDTDefineFont : public FDT {
public:
    FDTDefineFont();
    ~FDTDefineFont() override;
    FDTDefineFont(const FDTDefineFont&) = delete;
    FDTDefineFont& operator=(const FDTDefineFont&) = delete;

    // Takes ownership; glyphs use fill index width 1 and line index width 0. A font needs at
    // least one glyph.
    void AddGlyphShape(FShape* glyph);
    uint32_t GlyphCount() const { return static_cast<uint32_t>(glyphShapes.size()); }

    uint16_t CharacterId() const override { return fontId; }
    void WriteTo(FSWFStream& out) override;
    // The offset table holds 16-bit byte offsets: all glyphs but the last must start within them.
    bool ExceedsFormatLimits() const override;

private:
    // Writes the glyphs into glyphs, returning each glyph's offset from the table start.
    std::vector<uint64_t> WriteGlyphs(FSWFStream& glyphs) const;

    uint16_t fontId;
    std::vector<FShape*> glyphShapes;
    uint32_t glyphFillBitWidth = 1;
    uint32_t glyphLineBitWidth = 0;
};

// DefineFontInfo: the name and the character code of each glyph of a DefineFont. It takes a
// character id of its own like every definition, which nothing refers to.
class FDTDefineFontInfo : public FDT {
public:
    // encoding 1, 2 or 3 selects one of the three encoding flags; other values set none.
    FDTDefineFontInfo(const char* fontName, uint16_t fontId, uint16_t encoding, uint16_t italic,
                      uint16_t bold);
    void AddCharCode(uint16_t code) { codes.push_back(code); }
    // Wide codes are written as 16 bits each, with the wide-codes flag set.
    void SetWideCodes(bool wide) { wideCodes = wide; }

    uint16_t CharacterId() const override { return characterId; }
    // Codes are written as their low 8 bits unless wide; a name is written with at most 255
    // characters, the most its length byte can count.
    void WriteTo(FSWFStream& out) override;

private:
    uint16_t characterId;
    FString name;
    uint16_t encoding;
    uint16_t italic;
    uint16_t bold;
    std::vector<uint16_t> codes;
    uint16_t fontId;
    bool wideCodes = false;
};

// A record of a text definition.
class FTextRecord {
public:
    virtual ~FTextRecord() = default;
    virtual uint32_t AdvanceBitsNeeded() const = 0;
    virtual uint32_t GlyphBitsNeeded() const = 0;
    virtual void WriteTo(FSWFStream& out, uint32_t glyphBits, uint32_t advanceBits) const = 0;
};

// Style change: font and height, colour (owned, always written as RGBA), offsets. Note the
// constructor takes X before Y, while the record writes its flags and fields Y first.
class FTextChangeRecord : public FTextRecord {
public:
    FTextChangeRecord(uint16_t hasFont, uint16_t hasColor, uint16_t hasXOffset, uint16_t hasYOffset,
                      uint16_t fontId, uint16_t textHeight, FColor* color, int16_t xOffset,
                      int16_t yOffset);
    ~FTextChangeRecord() override;
    FTextChangeRecord(const FTextChangeRecord&) = delete;
    FTextChangeRecord& operator=(const FTextChangeRecord&) = delete;

    uint32_t AdvanceBitsNeeded() const override { return 0; }
    uint32_t GlyphBitsNeeded() const override { return 0; }
    void WriteTo(FSWFStream& out, uint32_t glyphBits, uint32_t advanceBits) const override;

private:
    uint16_t hasFont;
    uint16_t hasColor;
    uint16_t hasYOffset;
    uint16_t hasXOffset;
    uint16_t fontId;
    FColor* color;
    int16_t xOffset;
    int16_t yOffset;
    uint16_t textHeight;
};

// Glyphs with their advances. A record of more than 127 entries (the most its count holds) is
// written as several records, each after the first introduced by an empty style change.
class FTextGlyphRecord : public FTextRecord {
public:
    struct GlyphEntry {
        uint16_t glyphIndex;
        uint16_t advance;
    };

    void AddEntry(uint16_t glyphIndex, uint16_t advance) {
        entries.push_back({glyphIndex, advance});
    }
    uint32_t AdvanceBitsNeeded() const override;
    uint32_t GlyphBitsNeeded() const override;
    void WriteTo(FSWFStream& out, uint32_t glyphBits, uint32_t advanceBits) const override;

private:
    std::vector<GlyphEntry> entries;
};

// DefineText2: bounds and matrix (owned) and the text records (owned). The glyph count of the
// font is accepted for the callers' convenience and not encoded.
class FDTDefineText2 : public FDT {
public:
    FDTDefineText2(FRect* bounds, FMatrix* matrix, uint32_t glyphCount);
    ~FDTDefineText2() override;
    FDTDefineText2(const FDTDefineText2&) = delete;
    FDTDefineText2& operator=(const FDTDefineText2&) = delete;

    void AddRecord(FTextRecord* record) { records.push_back(record); }

    uint16_t CharacterId() const override { return characterId; }
    // Every glyph record ends byte-aligned, as readers expect of each text record.
    void WriteTo(FSWFStream& out) override;

private:
    uint16_t characterId;
    FRect* bounds;
    FMatrix* matrix;
    std::vector<FTextRecord*> records;
};
