// Creating, releasing and addressing pictures: newdib, deldib, ReserveDibMemory, getpixel,
// setpixel.
#include "imaging/dib_block.h"
#include "imaging/pictavo_exports.h"

namespace {

using pictavo::DibIsUsable;

bool InsidePicture(const DibImage& image, int x, int y) {
    return DibIsUsable(image) && x >= 0 && y >= 0 && x < DibWidth(image) && y < DibHeight(image);
}

// Colour values are 0x00BBGGRR, as the program stores them.
uint32_t ColorRef(uint8_t red, uint8_t green, uint8_t blue) {
    return red | (uint32_t{green} << 8) | (uint32_t{blue} << 16);
}

uint8_t RedOf(uint32_t color) {
    return color & 0xFF;
}
uint8_t GreenOf(uint32_t color) {
    return (color >> 8) & 0xFF;
}
uint8_t BlueOf(uint32_t color) {
    return (color >> 16) & 0xFF;
}

// 16-bit pixels are 5-5-5 with red in the high bits, as an uncompressed 16-bit DIB.
uint8_t Expand5(unsigned value) {
    return static_cast<uint8_t>((value << 3) | (value >> 2));
}

} // namespace

extern "C" {

int newdib(DibImage* target, int width, int height, int bitsPerPixel, const BitmapInfo* colorSource,
           int colorCount) {
    const RgbQuad* colors = colorSource ? colorSource->bmiColors : nullptr;
    if (colorSource && colorCount <= 0 && colorSource->bmiHeader.biClrUsed > 0)
        colorCount = static_cast<int>(colorSource->bmiHeader.biClrUsed);
    return pictavo::AllocateDib(target, width, height, bitsPerPixel, colors, colorCount) ? 1 : 0;
}

void deldib(DibImage image) {
    pictavo::ReleaseDib(image);
}

int ReserveDibMemory(int64_t bytes) {
    return bytes >= 0 && pictavo::KeepDibMemoryReady(static_cast<size_t>(bytes)) ? 1 : 0;
}

// x counts from the left, y is the row in storage order (0 is the bottom line). Palette
// pictures give the index, the others a 0x00BBGGRR colour; outside the picture gives 0.
uint32_t getpixel(DibImage image, int x, int y) {
    if (!InsidePicture(image, x, y))
        return 0;
    const uint8_t* row = DibRow(image, y);
    switch (DibBitCount(image)) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
        return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    case 8:
        return row[x];
    case 16: {
        const unsigned value = row[2 * x] | (unsigned{row[2 * x + 1]} << 8);
        return ColorRef(Expand5((value >> 10) & 31), Expand5((value >> 5) & 31),
                        Expand5(value & 31));
    }
    case 24:
        return ColorRef(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case 32:
        return ColorRef(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    }
    return 0;
}

// Palette pictures take an index, cut to the depth, so 255 is the last entry at any depth.
// The others take a 0x00BBGGRR colour; 32-bit pixels become opaque.
void setpixel(DibImage image, int x, int y, uint32_t value) {
    if (!InsidePicture(image, x, y))
        return;
    uint8_t* row = DibRow(image, y);
    switch (DibBitCount(image)) {
    case 1: {
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
        row[x / 8] = static_cast<uint8_t>((value & 1) ? row[x / 8] | mask : row[x / 8] & ~mask);
        break;
    }
    case 4: {
        const uint8_t nibble = value & 0x0F;
        uint8_t& byte = row[x / 2];
        byte = static_cast<uint8_t>(x % 2 == 0 ? (byte & 0x0F) | (nibble << 4)
                                               : (byte & 0xF0) | nibble);
        break;
    }
    case 8:
        row[x] = static_cast<uint8_t>(value);
        break;
    case 16: {
        const unsigned packed =
            ((RedOf(value) >> 3) << 10) | ((GreenOf(value) >> 3) << 5) | (BlueOf(value) >> 3);
        row[2 * x] = packed & 0xFF;
        row[2 * x + 1] = static_cast<uint8_t>(packed >> 8);
        break;
    }
    case 24:
        row[3 * x] = BlueOf(value);
        row[3 * x + 1] = GreenOf(value);
        row[3 * x + 2] = RedOf(value);
        break;
    case 32:
        row[4 * x] = BlueOf(value);
        row[4 * x + 1] = GreenOf(value);
        row[4 * x + 2] = RedOf(value);
        row[4 * x + 3] = 255;
        break;
    }
}

} // extern "C"
