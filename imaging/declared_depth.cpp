#include "imaging/declared_depth.h"

#include <cstring>

namespace pictavo {
namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}
uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

int DepthForBits(unsigned bits) {
    if (bits == 1)
        return 1;
    if (bits >= 2 && bits <= 4)
        return 4;
    if (bits >= 5 && bits <= 8)
        return 8;
    return 0;
}

int DepthForColors(unsigned colors) {
    return colors <= 2 ? 1 : colors <= 16 ? 4 : 8;
}

int BmpDepth(const uint8_t* data, size_t size) {
    if (size < 30)
        return 0;
    const uint32_t infoSize = Le32(data + 14);
    // OS/2 core headers keep the bit count at a different place.
    const uint16_t bits = infoSize == 12 ? Le16(data + 24) : Le16(data + 28);
    return bits <= 8 ? DepthForBits(bits) : 0;
}

int PcxDepth(const uint8_t* data, size_t size) {
    if (size < 128)
        return 0;
    const unsigned bits = data[3], planes = data[65];
    if (planes == 0 || bits * planes > 8)
        return 0;
    return DepthForBits(bits * planes);
}

size_t ColorTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0;
}

// The larger of the global table and the first picture's local table.
int GifDepth(const uint8_t* data, size_t size) {
    if (size < 13)
        return 0;
    unsigned colors = (data[10] & 0x80) ? 1u << ((data[10] & 7) + 1) : 0;
    size_t at = 13 + ColorTableBytes(data[10]);
    while (at < size) {
        if (data[at] == 0x2C) {
            if (at + 10 <= size && (data[at + 9] & 0x80)) {
                const unsigned local = 1u << ((data[at + 9] & 7) + 1);
                colors = local > colors ? local : colors;
            }
            break;
        }
        if (data[at] != 0x21 || at + 2 >= size)
            break;
        at += 2; // introducer and label, then sub-blocks up to a zero length
        while (at < size && data[at] != 0)
            at += size_t{data[at]} + 1;
        ++at;
    }
    return colors ? DepthForColors(colors) : 0;
}

int PngDepth(const uint8_t* data, size_t size) {
    constexpr int kPaletteColorType = 3;
    if (size < 26 || std::memcmp(data + 12, "IHDR", 4) != 0 || data[25] != kPaletteColorType)
        return 0;
    return DepthForBits(data[24]);
}

// ILBM and PBM forms: the BMHD chunk's plane count.
int IffDepth(const uint8_t* data, size_t size) {
    if (size < 12)
        return 0;
    size_t at = 12;
    while (at + 8 <= size) {
        const uint32_t chunkSize = Be32(data + at + 4);
        if (std::memcmp(data + at, "BMHD", 4) == 0) {
            if (chunkSize < 9 || at + 8 + 9 > size)
                return 0;
            return DepthForBits(data[at + 8 + 8]);
        }
        at += 8 + size_t{chunkSize} + (chunkSize & 1);
    }
    return 0;
}

} // namespace

int DeclaredPaletteDepth(const uint8_t* data, size_t size) {
    if (!data || size < 4)
        return 0;
    if (data[0] == 'B' && data[1] == 'M')
        return BmpDepth(data, size);
    if (data[0] == 0x0A && size >= 128)
        return PcxDepth(data, size);
    if (std::memcmp(data, "GIF8", 4) == 0)
        return GifDepth(data, size);
    if (size >= 8 && std::memcmp(data, "\x89PNG", 4) == 0)
        return PngDepth(data, size);
    if (size >= 12 && std::memcmp(data, "FORM", 4) == 0 &&
        (std::memcmp(data + 8, "ILBM", 4) == 0 || std::memcmp(data + 8, "PBM ", 4) == 0))
        return IffDepth(data, size);
    return 0;
}

} // namespace pictavo
