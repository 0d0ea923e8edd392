// The in-memory picture record of the image library (libPictavo.so).
//
// A DibImage is a plain record the program copies freely; all zero means "no image".
// Rows are stored bottom-up (the first row in memory is the picture's bottom line),
// each padded to a multiple of 4 bytes; 24-bit pixels are blue, green, red.
#pragma once

#include <cstdint>

extern "C" {

struct BitmapInfoHeader {
    uint32_t biSize;     // sizeof(BitmapInfoHeader)
    int32_t biWidth;     // pixels
    int32_t biHeight;    // pixels; positive: rows are bottom-up
    uint16_t biPlanes;   // 1
    uint16_t biBitCount; // 1, 4, 8, 16, 24 or 32
    uint32_t biCompression;
    uint32_t biSizeImage; // bytes of pixel data
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed; // entries of the colour table in use (0: 2^bits for palette pictures)
    uint32_t biClrImportant;
};

struct RgbQuad {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};

// Header and colour table. Room for a full 256-entry table is always there.
struct BitmapInfo {
    BitmapInfoHeader bmiHeader;
    RgbQuad bmiColors[256];
};

struct PaletteEntry {
    uint8_t peRed;
    uint8_t peGreen;
    uint8_t peBlue;
    uint8_t peFlags;
};

struct LogPalette {
    uint16_t palVersion;    // 0x300
    uint16_t palNumEntries; // entries in use
    PaletteEntry palPalEntry[256];
};

// Field order and meaning are fixed; pointers have native width, so the record is larger
// than on the original 32-bit platform.
struct DibImage {
    BitmapInfo* info;    // header and colour table; width, height and bit count are read here
    void* memoryHandle;  // non-null after a successful newdib/OpenDib
    void* memoryHandle2; // the memory region holding the picture; may equal memoryHandle
    uint8_t* pixels;     // bottom-up rows, padded to 4 bytes
    int32_t bytesPerRow; // row stride
    uint8_t hasPalette;  // non-zero when paletteHandle is valid
    uint8_t unused;
    LogPalette palette; // logical palette of palette pictures
    void* paletteHandle;
    uint8_t reserved[28]; // owned by the library
};

} // extern "C"

// Width, height and bit count of a picture, 0 for an empty record.
inline int32_t DibWidth(const DibImage& image) {
    return image.info ? image.info->bmiHeader.biWidth : 0;
}
inline int32_t DibHeight(const DibImage& image) {
    return image.info ? image.info->bmiHeader.biHeight : 0;
}
inline int32_t DibBitCount(const DibImage& image) {
    return image.info ? image.info->bmiHeader.biBitCount : 0;
}
// Start of row y in storage order (row 0 is the bottom line).
inline uint8_t* DibRow(const DibImage& image, int32_t y) {
    return image.pixels + static_cast<intptr_t>(y) * image.bytesPerRow;
}
