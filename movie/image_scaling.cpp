#include "movie/image_scaling.h"

#include "imaging/pictavo.h"

#include <cstring>

DibImage ScaleImageNearest(const DibImage& source, int32_t width, int32_t height) {
    DibImage result{};
    const int32_t sourceWidth = DibWidth(source);
    const int32_t sourceHeight = DibHeight(source);
    const int32_t bitCount = DibBitCount(source);
    if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0 || !source.pixels ||
        bitCount < 8 || bitCount % 8 != 0)
        return result;

    const int64_t xStep = int64_t{sourceWidth} * 1024 / width;
    const int64_t yStep = int64_t{sourceHeight} * 1024 / height;
    const int colorCount = bitCount <= 8 ? (1 << bitCount) : 0;
    Pictavo().newdib(&result, width, height, bitCount, source.info, colorCount);
    if (!result.pixels)
        return DibImage{};

    const size_t pixelBytes = static_cast<size_t>(bitCount / 8);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* sourceRow = DibRow(source, static_cast<int32_t>((y * yStep) >> 10));
        uint8_t* targetRow = DibRow(result, y);
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* pixel =
                sourceRow + ((x * xStep) >> 10) * static_cast<int64_t>(pixelBytes);
            std::memcpy(targetRow + x * pixelBytes, pixel, pixelBytes);
        }
    }
    return result;
}
