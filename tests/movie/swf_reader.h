// A small reader of written movies for the tests: tags, placements and shape records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SwfTag {
    uint16_t code = 0;
    std::vector<uint8_t> body;
};

struct SwfFile {
    bool valid = false;
    uint32_t fileLength = 0;
    uint32_t actualLength = 0;
    uint16_t frameRate = 0; // integer part
    uint16_t frameCount = 0;
    std::vector<SwfTag> tags; // without the End tag
};

SwfFile ReadSwf(const std::string& path);

class BitReader {
public:
    BitReader(const std::vector<uint8_t>& bytes, size_t start = 0)
        : bytes_(bytes), pos_(start * 8) {}
    uint32_t Bits(uint32_t n);
    int32_t Signed(uint32_t n);
    void Align() { pos_ = (pos_ + 7) / 8 * 8; }
    uint32_t U8() {
        Align();
        return Bits(8);
    }
    uint32_t U16() {
        uint32_t low = U8();
        return low | (U8() << 8);
    }
    size_t BytePos() const { return pos_ / 8; }

private:
    const std::vector<uint8_t>& bytes_;
    size_t pos_;
};

struct SwfMatrix {
    bool hasScale = false, hasRotate = false;
    int32_t scaleX = 0, scaleY = 0, skew0 = 0, skew1 = 0, tx = 0, ty = 0;
};
SwfMatrix ReadMatrix(BitReader& reader);

struct SwfPlacement {
    bool move = false, hasCharacter = false, hasMatrix = false, hasRatio = false;
    uint16_t depth = 0, character = 0, ratio = 0;
    SwfMatrix matrix;
};
SwfPlacement ReadPlacement(const SwfTag& tag);

// One shape record: kind 'C' (style change), 'S' (straight), 'Q' (curved), 'E' (end).
struct SwfShapeRecord {
    char kind = 'E';
    bool hasFill0 = false, hasFill1 = false, hasLine = false, hasMove = false;
    int32_t x = 0, y = 0;          // move, or straight delta, or control delta
    int32_t ax = 0, ay = 0;        // anchor delta of curved edges
    uint32_t fill0 = 0, fill1 = 0; // style indexes
};
std::vector<SwfShapeRecord> ReadShapeRecords(BitReader& reader, uint32_t fillBits,
                                             uint32_t lineBits);

// The start and end records of a DefineMorphShape with solid fills and no line styles.
struct SwfMorph {
    std::vector<SwfShapeRecord> start, end;
};
SwfMorph ReadMorph(const SwfTag& tag);

// Short names of the tag sequence: "Background", "Shape#1", "Font#2", "FontInfo@2",
// "Text#4", "Morph#2", "Jpeg#2", "Place d2 c4", "Move d2", "Move d2 r13107", "Remove d3",
// "Show".
std::vector<std::string> TagNames(const SwfFile& file);
