#include "imaging/dib_block.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace pictavo {
namespace {

constexpr size_t kPixelAlignment = 16;

size_t PixelOffset() {
    const size_t headerBytes = sizeof(BitmapInfo) + sizeof(LogPalette);
    return (headerBytes + kPixelAlignment - 1) / kPixelAlignment * kPixelAlignment;
}

bool IsSupportedDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Large pictures (whole-screen frames) are backed by huge pages where the kernel allows it:
// first-touch page faults dominate the cost of filling fresh picture memory otherwise.
void AdviseHugePages(void* block, size_t bytes) {
    constexpr uintptr_t kHugePage = 2u << 20;
    const auto begin = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

void FillGreyRamp(RgbQuad* colors, int count) {
    for (int i = 0; i < count; ++i) {
        const auto level = static_cast<uint8_t>(count > 1 ? i * 255 / (count - 1) : 0);
        colors[i] = RgbQuad{level, level, level, 0};
    }
}

} // namespace

int64_t DibStride(int width, int bitsPerPixel) {
    if (width <= 0 || !IsSupportedDepth(bitsPerPixel))
        return -1;
    const int64_t rowBits = int64_t{width} * bitsPerPixel;
    return (rowBits + 31) / 32 * 4;
}

bool AllocateDib(DibImage* target, int width, int height, int bitsPerPixel, const RgbQuad* colors,
                 int colorCount) {
    if (!target)
        return false;
    std::memset(target, 0, sizeof(DibImage));
    const int64_t stride = DibStride(width, bitsPerPixel);
    if (stride < 0 || height <= 0 || stride > kMaxPixelBytes / height)
        return false;
    const int64_t pixelBytes = stride * height;

    const size_t blockBytes = PixelOffset() + static_cast<size_t>(pixelBytes);
    void* block = std::calloc(1, blockBytes);
    if (!block)
        return false;
    AdviseHugePages(block, blockBytes);
    auto* bytes = static_cast<uint8_t*>(block);
    auto* info = new (bytes) BitmapInfo{};
    auto* palette = new (bytes + sizeof(BitmapInfo)) LogPalette{};

    BitmapInfoHeader& header = info->bmiHeader;
    header.biSize = sizeof(BitmapInfoHeader);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<uint16_t>(bitsPerPixel);
    header.biSizeImage = static_cast<uint32_t>(pixelBytes);

    target->info = info;
    target->memoryHandle = block;
    target->memoryHandle2 = block;
    target->pixels = bytes + PixelOffset();
    target->bytesPerRow = static_cast<int32_t>(stride);

    if (bitsPerPixel <= 8) {
        const int tableSize = 1 << bitsPerPixel;
        int count = colorCount > 0 && colorCount < tableSize ? colorCount : tableSize;
        if (colors) {
            std::memcpy(info->bmiColors, colors, sizeof(RgbQuad) * count);
        } else {
            count = tableSize;
            FillGreyRamp(info->bmiColors, count);
        }
        header.biClrUsed = static_cast<uint32_t>(count);
        palette->palVersion = 0x300;
        palette->palNumEntries = static_cast<uint16_t>(count);
        for (int i = 0; i < count; ++i) {
            const RgbQuad& c = info->bmiColors[i];
            palette->palPalEntry[i] = PaletteEntry{c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
        }
        target->palette = *palette;
        // The palette object lives in the picture's block and goes away with it.
        target->paletteHandle = palette;
        target->hasPalette = 1;
    }
    return true;
}

void ReleaseDib(const DibImage& image) {
    if (image.memoryHandle2 && image.memoryHandle2 != image.memoryHandle)
        std::free(image.memoryHandle2);
    std::free(image.memoryHandle);
}

bool DibIsUsable(const DibImage& image) {
    if (!image.info || !image.pixels)
        return false;
    const BitmapInfoHeader& header = image.info->bmiHeader;
    const int64_t stride = DibStride(header.biWidth, header.biBitCount);
    return stride > 0 && header.biHeight > 0 && image.bytesPerRow >= stride;
}

} // namespace pictavo
