// Shared helpers of the image library tests: the library loaded from the program folder,
// fixture paths, the plain-text source pictures and pixel access in top-down order.
#pragma once

#include "imaging/dib_image.h"
#include "imaging/pictavo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Under AddressSanitizer the library gives every picture a heap block of its own, so there
// is no picture pool: no regions, no reserves, no pages given back.
#ifdef CLIPMOOR_SANITIZER
constexpr bool kPicturePool = std::string_view(CLIPMOOR_SANITIZER) != "address";
#else
constexpr bool kPicturePool = true;
#endif
#define SKIP_WITHOUT_PICTURE_POOL()                                                                \
    if (!kPicturePool)                                                                             \
    GTEST_SKIP() << "no picture pool under AddressSanitizer"

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};
void PrintTo(const Rgb& c, std::ostream* os);

struct SourcePicture {
    int width = 0, height = 0;
    std::vector<Rgb> pixels; // top-down, left to right
    Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

std::string FixturePath(const std::string& name);
SourcePicture ReadPlainPpm(const std::string& name);

// Loads build/bin/libPictavo.so once for the whole test program.
class PictavoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static const PictavoLibrary& lib() { return Pictavo(); }
};

// Bytes of a picture's pixel rows, and whether every one of them is `value`.
size_t PixelBytes(const DibImage& image);
bool PixelsAre(const DibImage& image, uint8_t value);

// Pixel (x, y) of a 24-bit picture with y counted from the top line.
Rgb TopDownPixel(const DibImage& image, int x, int y);

// A 24-bit picture with a smooth pattern that JPEG keeps well.
DibImage MakeGradient(int width, int height);
