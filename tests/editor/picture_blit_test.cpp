#include "editor/picture_blit.h"

#include "geometry/outline_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A 24-bit bottom-up picture in memory, as the image library keeps them.
struct TestPicture {
    BitmapInfo info{};
    std::vector<uint8_t> bytes;
    DibImage image{};

    TestPicture(int width, int height) {
        info.bmiHeader.biSize = sizeof(BitmapInfoHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        image.info = &info;
        image.bytesPerRow = (width * 3 + 3) / 4 * 4;
        bytes.assign(static_cast<size_t>(image.bytesPerRow) * height, 0);
        image.pixels = bytes.data();
        // Every pixel its own colour: red = column, green = row (top-down), blue = 7.
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                Set(x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7);
        }
    }
    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = DibRow(image, DibHeight(image) - 1 - y) + 3 * x;
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    uint32_t At(int x, int y) const {
        const uint8_t* p = DibRow(image, DibHeight(image) - 1 - y) + 3 * x;
        return 0xFF000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    }
};

constexpr uint32_t kUntouched = 0xFF123456u;

struct TestTarget {
    int width, height;
    std::vector<uint32_t> pixels;
    TestTarget(int w, int h) : width(w), height(h), pixels(size_t(w) * h, kUntouched) {}
    PixelTarget Target() { return {pixels.data(), width, height, ptrdiff_t(width) * 4}; }
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// The inverse mapping pixel by pixel over the whole turned box, without tables or clipping
// shortcuts: what the fast drawing must match.
TestTarget ReferenceDraw(int targetWidth, int targetHeight, const TestPicture& picture,
                         PictureBox box, int32_t rotation) {
    TestTarget out(targetWidth, targetHeight);
    const int64_t pw = DibWidth(picture.image), ph = DibHeight(picture.image);
    const int64_t w = box.right - box.left, h = box.bottom - box.top;
    const int64_t hw = w / 2, hh = h / 2;
    const RotationTermsResult f = RotationTerms(rotation);
    int64_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (auto [cx, cy] : {std::pair{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}}) {
        int64_t x = (cx * f.C - cy * f.S) / 65536, y = (cx * f.S + cy * f.C) / 65536;
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    const RotationTermsResult inv = RotationTerms((rotation / 10) * -10);
    for (int64_t x = minX; x <= maxX; ++x) {
        for (int64_t y = minY; y <= maxY; ++y) {
            int64_t u = (x * inv.C - y * inv.S) / 65536, v = (x * inv.S + y * inv.C) / 65536;
            int64_t sx = u * pw / w + pw / 2, sy = v * ph / h + ph / 2;
            int64_t tx = box.left + hw + x, ty = box.top + hh + y;
            if (sx >= 0 && sx < pw && sy >= 0 && sy < ph && tx >= 0 && tx < targetWidth &&
                ty >= 0 && ty < targetHeight)
                out.pixels[size_t(ty) * targetWidth + tx] = picture.At(int(sx), int(sy));
        }
    }
    return out;
}

TEST(FitPictureBox, KeepsThePicturesAspectRatioAtTheTopLeft) {
    PictureBox wide = FitPictureBox(10, 20, 110, 120, 200, 100);
    EXPECT_EQ(wide.left, 10);
    EXPECT_EQ(wide.top, 20);
    EXPECT_EQ(wide.right, 110);
    EXPECT_EQ(wide.bottom, 70);
    PictureBox tall = FitPictureBox(0, 0, 100, 100, 50, 100);
    EXPECT_EQ(tall.right, 50);
    EXPECT_EQ(tall.bottom, 100);
}

TEST(DrawRotatedPicture, UnturnedPictureIsScaledIntoItsBox) {
    TestPicture picture(200, 100);
    TestTarget target(300, 200);
    DrawRotatedPicture(target.Target(), picture.image, {10, 20, 110, 70}, 0);
    EXPECT_EQ(target.At(10, 20), picture.At(0, 0));
    EXPECT_EQ(target.At(109, 69), picture.At(198, 98));
    EXPECT_EQ(target.At(60, 45), picture.At(100, 50));
    EXPECT_EQ(target.At(9, 20), kUntouched);
    EXPECT_EQ(target.At(110, 20), kUntouched);
    EXPECT_EQ(target.At(10, 70), kUntouched);
}

TEST(DrawRotatedPicture, MatchesThePixelByPixelMappingWhenTurnedOrClipped) {
    TestPicture picture(61, 37);
    const struct {
        PictureBox box;
        int32_t rotation;
    } cases[] = {
        {{-10, 5, 51, 42}, 0},        // at the picture's own size, partly outside
        {{20, 30, 121, 90}, 300},     // 30 degrees
        {{20, 30, 121, 90}, -455},    // -45.5 degrees: whole degrees count
        {{40, 40, 90, 75}, 900},      // a quarter turn
        {{40, 40, 90, 75}, 1800},     // half a turn
        {{-30, -20, 60, 50}, 150},    // partly outside the target
        {{150, 100, 260, 190}, 2700}, // reaching past the right and bottom edges
        {{90, 80, 20, 30}, 100},      // inside out
    };
    for (const auto& c : cases) {
        TestTarget fast(200, 150);
        DrawRotatedPicture(fast.Target(), picture.image, c.box, c.rotation);
        TestTarget expected = ReferenceDraw(200, 150, picture, c.box, c.rotation);
        int differences = 0, drawn = 0;
        for (size_t i = 0; i < fast.pixels.size(); ++i) {
            differences += fast.pixels[i] != expected.pixels[i];
            drawn += expected.pixels[i] != kUntouched;
        }
        EXPECT_EQ(differences, 0) << "rotation " << c.rotation << " box " << c.box.left;
        EXPECT_GT(drawn, 500) << "rotation " << c.rotation << " box " << c.box.left;
    }
}

TEST(DrawRotatedPicture, DrawsNothingForEmptyBoxesAndOtherDepths) {
    TestPicture picture(8, 8);
    TestTarget target(20, 20);
    DrawRotatedPicture(target.Target(), picture.image, {5, 5, 5, 15}, 0);
    DrawRotatedPicture(target.Target(), picture.image, {-100, -100, -50, -50}, 450);
    picture.info.bmiHeader.biBitCount = 8;
    DrawRotatedPicture(target.Target(), picture.image, {0, 0, 20, 20}, 0);
    DrawRotatedPicture(target.Target(), DibImage{}, {0, 0, 20, 20}, 0);
    for (uint32_t pixel : target.pixels)
        ASSERT_EQ(pixel, kUntouched);
}

} // namespace
