#include "imaging/convert_to_24.h"

#include "imaging/pictavo.h"

namespace {

void PutBgr(uint8_t* pixel, uint8_t blue, uint8_t green, uint8_t red) {
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
}

void PutPaletteEntry(uint8_t* pixel, const LogPalette& palette, unsigned index) {
    const PaletteEntry& entry = palette.palPalEntry[index & 0xFF];
    PutBgr(pixel, entry.peBlue, entry.peGreen, entry.peRed);
}

uint8_t OverWhite(uint8_t channel, uint8_t alpha) {
    return static_cast<uint8_t>((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

uint8_t Expand5(unsigned value) {
    return static_cast<uint8_t>((value << 3) | (value >> 2));
}

void ConvertRow(const DibImage& source, const DibImage& target, int y, int width) {
    const uint8_t* in = DibRow(source, y);
    uint8_t* out = DibRow(target, y);
    const PictavoLibrary& pictavo = Pictavo();
    for (int x = 0; x < width; ++x) {
        uint8_t* pixel = out + 3 * x;
        switch (DibBitCount(source)) {
        case 1:
            pictavo.setpixel(target, x, y, pictavo.getpixel(source, x, y) != 0 ? 0xFFFFFF : 0);
            break;
        case 4:
            PutPaletteEntry(pixel, source.palette, x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 0x0F);
            break;
        case 8:
            PutPaletteEntry(pixel, source.palette, in[x]);
            break;
        case 16: {
            const unsigned value = in[2 * x] | (unsigned{in[2 * x + 1]} << 8);
            PutBgr(pixel, Expand5(value & 31), Expand5((value >> 5) & 31),
                   Expand5((value >> 10) & 31));
            break;
        }
        case 32: {
            const uint8_t* p = in + 4 * x;
            PutBgr(pixel, OverWhite(p[0], p[3]), OverWhite(p[1], p[3]), OverWhite(p[2], p[3]));
            break;
        }
        }
    }
}

bool IsConvertibleDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 32;
}

} // namespace

bool ConvertTo24(DibImage& image) {
    const int bits = DibBitCount(image);
    if (bits == 24)
        return true;
    if (!IsConvertibleDepth(bits) || !image.pixels || !PictavoLoaded())
        return false;
    const int width = DibWidth(image), height = DibHeight(image);
    const PictavoLibrary& pictavo = Pictavo();
    DibImage converted{};
    pictavo.newdib(&converted, width, height, 24, nullptr, 0);
    if (!converted.pixels)
        return false;
    for (int y = 0; y < height; ++y)
        ConvertRow(image, converted, y, width);
    pictavo.deldib(image);
    image = converted;
    return true;
}
