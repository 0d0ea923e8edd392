#include "imaging/picture_header.h"

#include <algorithm>
#include <cstring>

namespace pictavo {
namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
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

void SetSize(PictureHeader& header, int64_t width, int64_t height) {
    header.width = std::max(header.width, width);
    header.height = std::max(header.height, height);
}

void ReadBmp(const uint8_t* data, size_t size, PictureHeader& header) {
    if (size < 30)
        return;
    const uint32_t infoSize = Le32(data + 14);
    uint16_t bits = 0;
    if (infoSize == 12) { // OS/2 core header
        SetSize(header, Le16(data + 18), Le16(data + 20));
        bits = Le16(data + 24);
    } else {
        const int64_t height = static_cast<int32_t>(Le32(data + 22));
        SetSize(header, static_cast<int32_t>(Le32(data + 18)), height < 0 ? -height : height);
        bits = Le16(data + 28);
    }
    header.paletteDepth = bits <= 8 ? DepthForBits(bits) : 0;
}

void ReadPcx(const uint8_t* data, PictureHeader& header) {
    const uint16_t left = Le16(data + 4), top = Le16(data + 6);
    const uint16_t right = Le16(data + 8), bottom = Le16(data + 10);
    if (right >= left && bottom >= top)
        SetSize(header, right - left + 1, bottom - top + 1);
    const unsigned bits = data[3], planes = data[65];
    if (planes > 0 && bits * planes <= 8)
        header.paletteDepth = DepthForBits(bits * planes);
}

size_t ColorTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0;
}

// Screen size and the first picture's size; palette: the larger of global and local table.
void ReadGif(const uint8_t* data, size_t size, PictureHeader& header) {
    SetSize(header, Le16(data + 6), Le16(data + 8));
    unsigned colors = (data[10] & 0x80) ? 1u << ((data[10] & 7) + 1) : 0;
    size_t at = 13 + ColorTableBytes(data[10]);
    while (at < size) {
        if (data[at] == 0x2C) {
            if (at + 10 <= size) {
                SetSize(header, Le16(data + at + 5), Le16(data + at + 7));
                if (data[at + 9] & 0x80)
                    colors = std::max(colors, 1u << ((data[at + 9] & 7) + 1));
                // The image data starts with the LZW code size, after any local colour table.
                const size_t codeSizeAt = at + 10 + ColorTableBytes(data[at + 9]);
                if (codeSizeAt < size && (data[codeSizeAt] < 1 || data[codeSizeAt] > 8))
                    header.malformed = true;
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
    header.paletteDepth = colors ? DepthForColors(colors) : 0;
}

void ReadPng(const uint8_t* data, size_t size, PictureHeader& header) {
    constexpr int kPaletteColorType = 3;
    if (size < 26 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return;
    SetSize(header, Be32(data + 16), Be32(data + 20));
    if (data[25] == kPaletteColorType)
        header.paletteDepth = DepthForBits(data[24]);
}

// The frame header (SOFn) holds the size.
void ReadJpeg(const uint8_t* data, size_t size, PictureHeader& header) {
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9);
        if (standalone) {
            at += 2;
            continue;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 <= size)
                SetSize(header, Be16(data + at + 7), Be16(data + at + 5));
            return;
        }
        at += 2 + size_t{Be16(data + at + 2)};
    }
}

// Image width and length of the first directory of a classic TIFF file.
void ReadTiff(const uint8_t* data, size_t size, PictureHeader& header) {
    const bool little = data[0] == 'I';
    auto u16 = [&](size_t at) { return little ? Le16(data + at) : Be16(data + at); };
    auto u32 = [&](size_t at) { return little ? Le32(data + at) : Be32(data + at); };
    const size_t directory = u32(4);
    if (directory + 2 > size)
        return;
    const size_t entries = u16(directory);
    int64_t width = 0, height = 0;
    for (size_t i = 0; i < entries && directory + 2 + 12 * (i + 1) <= size; ++i) {
        const size_t entry = directory + 2 + 12 * i;
        const uint16_t tag = u16(entry), type = u16(entry + 2);
        const int64_t value = type == 3 ? u16(entry + 8) : type == 4 ? u32(entry + 8) : 0;
        if (tag == 256)
            width = value;
        else if (tag == 257)
            height = value;
    }
    SetSize(header, width, height);
}

// ILBM and PBM forms: the BMHD chunk.
void ReadIff(const uint8_t* data, size_t size, PictureHeader& header) {
    size_t at = 12;
    while (at + 8 <= size) {
        const uint32_t chunkSize = Be32(data + at + 4);
        if (std::memcmp(data + at, "BMHD", 4) == 0) {
            if (chunkSize >= 9 && at + 8 + 9 <= size) {
                SetSize(header, Be16(data + at + 8), Be16(data + at + 10));
                const unsigned planes = data[at + 8 + 8];
                header.paletteDepth = DepthForBits(planes);
                header.malformed = planes < 1 || planes > 8;
            }
            return;
        }
        at += 8 + size_t{chunkSize} + (chunkSize & 1);
    }
}

void ReadTga(const uint8_t* data, size_t size, PictureHeader& header) {
    const uint8_t colorMapType = data[1], imageType = data[2];
    const bool knownType = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                           imageType == 10 || imageType == 11;
    if (size < 18 || colorMapType > 1 || !knownType)
        return;
    header.kind = PictureKind::Tga;
    SetSize(header, Le16(data + 12), Le16(data + 14));
}

bool StartsWith(const uint8_t* data, size_t size, const char* text, size_t length) {
    return size >= length && std::memcmp(data, text, length) == 0;
}

// The most pixels one byte of a file of each kind can stand for, with room to spare: run
// lengths of BMP (with position skips), PCX, TGA and IFF, LZW of GIF and TIFF, deflate of
// 1-bit PNG and TIFF, and the smallest coded JPEG blocks.
int64_t MaxPixelsPerByte(PictureKind kind) {
    switch (kind) {
    case PictureKind::Pcx:
        return 512;
    case PictureKind::Tga:
        return 256;
    case PictureKind::Iff:
    case PictureKind::Jpeg:
        return 1024;
    case PictureKind::Gif:
        return 8192;
    case PictureKind::Bmp:
    case PictureKind::Png:
    case PictureKind::Tiff:
        return 16384;
    case PictureKind::Unknown:
        break;
    }
    return 0;
}

// Pictures up to this many pixels are small enough to try whatever the file size.
constexpr int64_t kAlwaysAllowedPixels = int64_t{1} << 20;

} // namespace

bool HeaderAllowsDecoding(const PictureHeader& header, size_t fileSize) {
    if (header.kind == PictureKind::Unknown || header.malformed || header.width <= 0 ||
        header.height <= 0 || header.width > kMaxPicturePixels / header.height)
        return false;
    const int64_t pixels = header.width * header.height;
    return pixels <= kAlwaysAllowedPixels ||
           pixels / MaxPixelsPerByte(header.kind) <= static_cast<int64_t>(fileSize);
}

PictureHeader ReadPictureHeader(const uint8_t* data, size_t size, bool tgaByName) {
    PictureHeader header;
    if (!data || size < 18)
        return header;
    if (StartsWith(data, size, "BM", 2)) {
        header.kind = PictureKind::Bmp;
        ReadBmp(data, size, header);
    } else if (data[0] == 0x0A && data[2] <= 1 && size >= 128) {
        header.kind = PictureKind::Pcx;
        ReadPcx(data, header);
    } else if (StartsWith(data, size, "GIF8", 4)) {
        header.kind = PictureKind::Gif;
        ReadGif(data, size, header);
    } else if (StartsWith(data, size, "\x89PNG\r\n\x1A\n", 8)) {
        header.kind = PictureKind::Png;
        ReadPng(data, size, header);
    } else if (data[0] == 0xFF && data[1] == 0xD8) {
        header.kind = PictureKind::Jpeg;
        ReadJpeg(data, size, header);
    } else if (StartsWith(data, size, "II*\0", 4) || StartsWith(data, size, "MM\0*", 4)) {
        header.kind = PictureKind::Tiff;
        ReadTiff(data, size, header);
    } else if (StartsWith(data, size, "FORM", 4) &&
               (std::memcmp(data + 8, "ILBM", 4) == 0 || std::memcmp(data + 8, "PBM ", 4) == 0)) {
        header.kind = PictureKind::Iff;
        ReadIff(data, size, header);
    } else if (tgaByName) {
        ReadTga(data, size, header);
    }
    return header;
}

} // namespace pictavo
