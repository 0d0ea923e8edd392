#include "swf_reader.h"

#include <fstream>
#include <iterator>

SwfFile ReadSwf(const std::string& path) {
    SwfFile file;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    file.actualLength = static_cast<uint32_t>(bytes.size());
    if (bytes.size() < 22 || bytes[0] != 'F' || bytes[1] != 'W' || bytes[2] != 'S')
        return file;
    file.fileLength = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | uint32_t{bytes[7]} << 24;
    BitReader header(bytes, 8);
    uint32_t bits = header.Bits(5);
    header.Bits(bits * 4);
    header.U8();
    file.frameRate = static_cast<uint16_t>(header.U8());
    file.frameCount = static_cast<uint16_t>(header.U16());
    size_t pos = header.BytePos();
    while (pos + 2 <= bytes.size()) {
        uint16_t codeAndLength = bytes[pos] | bytes[pos + 1] << 8;
        pos += 2;
        uint32_t length = codeAndLength & 0x3F;
        if (length == 0x3F) {
            if (pos + 4 > bytes.size())
                return file;
            length = bytes[pos] | bytes[pos + 1] << 8 | bytes[pos + 2] << 16 |
                     uint32_t{bytes[pos + 3]} << 24;
            pos += 4;
        }
        if (pos + length > bytes.size())
            return file;
        SwfTag tag;
        tag.code = codeAndLength >> 6;
        if (tag.code == 0) {
            file.valid = pos + length == bytes.size();
            return file;
        }
        tag.body.assign(bytes.begin() + pos, bytes.begin() + pos + length);
        file.tags.push_back(std::move(tag));
        pos += length;
    }
    return file;
}

uint32_t BitReader::Bits(uint32_t n) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < n; ++i) {
        size_t byte = pos_ / 8;
        uint32_t bit = byte < bytes_.size() ? (bytes_[byte] >> (7 - pos_ % 8)) & 1 : 0;
        value = value << 1 | bit;
        ++pos_;
    }
    return value;
}

int32_t BitReader::Signed(uint32_t n) {
    if (n == 0)
        return 0;
    uint32_t value = Bits(n);
    if (n < 32 && (value >> (n - 1)) & 1)
        value |= ~0u << n;
    return static_cast<int32_t>(value);
}

SwfMatrix ReadMatrix(BitReader& reader) {
    SwfMatrix m;
    reader.Align();
    m.hasScale = reader.Bits(1);
    if (m.hasScale) {
        uint32_t n = reader.Bits(5);
        m.scaleX = reader.Signed(n);
        m.scaleY = reader.Signed(n);
    }
    m.hasRotate = reader.Bits(1);
    if (m.hasRotate) {
        uint32_t n = reader.Bits(5);
        m.skew0 = reader.Signed(n);
        m.skew1 = reader.Signed(n);
    }
    uint32_t n = reader.Bits(5);
    m.tx = reader.Signed(n);
    m.ty = reader.Signed(n);
    reader.Align();
    return m;
}

SwfPlacement ReadPlacement(const SwfTag& tag) {
    SwfPlacement p;
    BitReader reader(tag.body);
    uint32_t flags = reader.U8();
    p.hasRatio = flags & 0x10;
    p.hasMatrix = flags & 0x04;
    p.hasCharacter = flags & 0x02;
    p.move = flags & 0x01;
    p.depth = static_cast<uint16_t>(reader.U16());
    if (p.hasCharacter)
        p.character = static_cast<uint16_t>(reader.U16());
    if (p.hasMatrix)
        p.matrix = ReadMatrix(reader);
    if (p.hasRatio)
        p.ratio = static_cast<uint16_t>(reader.U16());
    return p;
}

std::vector<SwfShapeRecord> ReadShapeRecords(BitReader& reader, uint32_t fillBits,
                                             uint32_t lineBits) {
    std::vector<SwfShapeRecord> records;
    for (int guard = 0; guard < 100000; ++guard) {
        SwfShapeRecord r;
        if (reader.Bits(1) == 0) {
            uint32_t flags = reader.Bits(5);
            if (flags == 0) {
                r.kind = 'E';
                records.push_back(r);
                reader.Align();
                return records;
            }
            r.kind = 'C';
            r.hasLine = flags & 0x08;
            r.hasFill1 = flags & 0x04;
            r.hasFill0 = flags & 0x02;
            r.hasMove = flags & 0x01;
            if (r.hasMove) {
                uint32_t n = reader.Bits(5);
                r.x = reader.Signed(n);
                r.y = reader.Signed(n);
            }
            if (r.hasFill0)
                r.fill0 = reader.Bits(fillBits);
            if (r.hasFill1)
                r.fill1 = reader.Bits(fillBits);
            if (r.hasLine)
                reader.Bits(lineBits);
        } else if (reader.Bits(1) == 1) {
            r.kind = 'S';
            uint32_t n = reader.Bits(4) + 2;
            if (reader.Bits(1)) {
                r.x = reader.Signed(n);
                r.y = reader.Signed(n);
            } else if (reader.Bits(1)) {
                r.y = reader.Signed(n);
            } else {
                r.x = reader.Signed(n);
            }
        } else {
            r.kind = 'Q';
            uint32_t n = reader.Bits(4) + 2;
            r.x = reader.Signed(n);
            r.y = reader.Signed(n);
            r.ax = reader.Signed(n);
            r.ay = reader.Signed(n);
        }
        records.push_back(r);
    }
    return records;
}

namespace {
void SkipRect(BitReader& reader) {
    reader.Align();
    uint32_t n = reader.Bits(5);
    reader.Bits(n * 4);
    reader.Align();
}
} // namespace

SwfMorph ReadMorph(const SwfTag& tag) {
    SwfMorph morph;
    BitReader reader(tag.body);
    reader.U16();
    SkipRect(reader);
    SkipRect(reader);
    reader.U16();
    reader.U16(); // offset to the end edges
    uint32_t fills = reader.U8();
    for (uint32_t i = 0; i < fills; ++i) {
        reader.U8();
        for (int b = 0; b < 8; ++b)
            reader.U8();
    }
    reader.U8(); // line styles: none
    uint32_t fillBits = reader.Bits(4);
    uint32_t lineBits = reader.Bits(4);
    morph.start = ReadShapeRecords(reader, fillBits, lineBits);
    fillBits = reader.Bits(4);
    lineBits = reader.Bits(4);
    morph.end = ReadShapeRecords(reader, fillBits, lineBits);
    return morph;
}

std::vector<std::string> TagNames(const SwfFile& file) {
    std::vector<std::string> names;
    for (const SwfTag& tag : file.tags) {
        auto id = [&] { return std::to_string(tag.body[0] | tag.body[1] << 8); };
        switch (tag.code) {
        case 9:
            names.push_back("Background");
            break;
        case 2:
            names.push_back("Shape#" + id());
            break;
        case 10:
            names.push_back("Font#" + id());
            break;
        case 13:
            names.push_back("FontInfo@" + id());
            break;
        case 33:
            names.push_back("Text#" + id());
            break;
        case 46:
            names.push_back("Morph#" + id());
            break;
        case 21:
            names.push_back("Jpeg#" + id());
            break;
        case 28:
            names.push_back("Remove d" + id());
            break;
        case 1:
            names.push_back("Show");
            break;
        case 26: {
            SwfPlacement p = ReadPlacement(tag);
            std::string name = p.move ? "Move d" : "Place d";
            name += std::to_string(p.depth);
            if (p.hasCharacter)
                name += " c" + std::to_string(p.character);
            if (p.hasRatio)
                name += " r" + std::to_string(p.ratio);
            names.push_back(name);
            break;
        }
        default:
            names.push_back("Tag" + std::to_string(tag.code));
        }
    }
    return names;
}
