#include "record/core/capture_geometry.h"
#include "record/core/frame_compare.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A picture filled with a pattern, with its own stride (padding bytes set to junk).
struct TestPicture {
    int32_t width, height, bpp;
    int64_t stride;
    std::vector<uint8_t> bytes;

    TestPicture(int32_t w, int32_t h, int32_t bytesPerPixel, int64_t extraPerRow = 0)
        : width(w), height(h), bpp(bytesPerPixel), stride(int64_t(w) * bytesPerPixel + extraPerRow),
          bytes(static_cast<size_t>(stride * h), 0xEE) {
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                Set(x, y, uint8_t(x * 7 + y), uint8_t(x ^ y), uint8_t(y * 3));
    }
    uint8_t* At(int32_t x, int32_t y) { return bytes.data() + y * stride + int64_t(x) * bpp; }
    void Set(int32_t x, int32_t y, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* p = At(x, y);
        p[0] = b;
        p[1] = g;
        p[2] = r;
        if (bpp == 4)
            p[3] = 0;
    }
    PixelPlane Plane() const { return {bytes.data(), stride, width, height, bpp}; }
};

class FindChangedBoxTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(FindChangedBoxTest, SamePictureHasNoBox) {
    TestPicture a(37, 9, GetParam()), b(37, 9, GetParam(), 12);
    EXPECT_FALSE(FindChangedBox(a.Plane(), b.Plane()));
}

TEST_P(FindChangedBoxTest, FindsSinglePixelsEverywhere) {
    // First and last rows and columns, and positions on both sides of the 8-byte words.
    const int32_t w = 41, h = 7;
    for (int32_t y : {0, 3, h - 1}) {
        for (int32_t x : {0, 1, 2, 7, 10, 21, w - 2, w - 1}) {
            for (int channel = 0; channel < 3; ++channel) {
                TestPicture a(w, h, GetParam()), b(w, h, GetParam(), 4);
                b.At(x, y)[channel] ^= 0x01;
                auto box = FindChangedBox(a.Plane(), b.Plane());
                ASSERT_TRUE(box) << x << "," << y << " channel " << channel;
                EXPECT_EQ(*box, (PixelBox{x, y, x, y})) << x << "," << y << " channel " << channel;
            }
        }
    }
}

TEST_P(FindChangedBoxTest, SpansEveryChange) {
    TestPicture a(64, 40, GetParam()), b(64, 40, GetParam(), 8);
    b.Set(30, 5, 1, 2, 3);  // top-most
    b.Set(12, 20, 1, 2, 3); // left-most, in a middle row
    b.Set(50, 21, 1, 2, 3); // right-most, in a row that also needs no new left edge
    b.Set(40, 33, 1, 2, 3); // lowest
    auto box = FindChangedBox(a.Plane(), b.Plane());
    ASSERT_TRUE(box);
    EXPECT_EQ(*box, (PixelBox{12, 5, 50, 33}));
    EXPECT_EQ(box->Width(), 39);
    EXPECT_EQ(box->Height(), 29);
}

INSTANTIATE_TEST_SUITE_P(BytesPerPixel, FindChangedBoxTest, ::testing::Values(3, 4));

TEST(FindChangedBox, IgnoresTheUnusedFourthByteAndRowPadding) {
    TestPicture a(20, 4, 4), b(20, 4, 4, 16);
    b.At(3, 1)[3] = 0x77; // unused byte only
    b.At(19, 2)[3] = 0x55;
    b.bytes[b.stride * 3 + 20 * 4 + 5] = 0x11; // padding past the row's pixels
    EXPECT_FALSE(FindChangedBox(a.Plane(), b.Plane()));
    b.At(19, 2)[2] ^= 0x80;
    auto box = FindChangedBox(a.Plane(), b.Plane());
    ASSERT_TRUE(box);
    EXPECT_EQ(*box, (PixelBox{19, 2, 19, 2}));
}

TEST(FindChangedBox, RefusesPicturesOfDifferentShape) {
    TestPicture a(10, 10, 4), b(11, 10, 4), c(10, 10, 3);
    EXPECT_THROW(FindChangedBox(a.Plane(), b.Plane()), std::invalid_argument);
    EXPECT_THROW(FindChangedBox(a.Plane(), c.Plane()), std::invalid_argument);
}

TEST(CopyBoxToBottomUpBgr, TurnsScreenRowsIntoBottomUpPictureRows) {
    // Widths on both sides of the vector loop's limits.
    for (int32_t boxWidth : {1, 3, 5, 6, 7, 13, 33}) {
        TestPicture screen(40, 12, 4, 4);
        PixelBox box{2, 3, 2 + boxWidth - 1, 8};
        int64_t stride = (int64_t(boxWidth) * 3 + 3) / 4 * 4;
        std::vector<uint8_t> target(static_cast<size_t>(stride * box.Height() + 16), 0xCD);
        CopyBoxToBottomUpBgr(screen.Plane(), box, target.data(), stride);
        for (int32_t i = 0; i < box.Height(); ++i) {
            const uint8_t* row = target.data() + (box.Height() - 1 - i) * stride;
            for (int32_t x = 0; x < boxWidth; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(row[3 * x + c], screen.At(box.x0 + x, box.y0 + i)[c])
                        << "width " << boxWidth << " line " << i << " column " << x;
            // Row padding is left alone: nothing is written past the pixels.
            for (int64_t pad = int64_t(boxWidth) * 3; pad < stride; ++pad)
                ASSERT_EQ(row[pad], 0xCD) << "width " << boxWidth;
        }
        EXPECT_EQ(target[static_cast<size_t>(stride * box.Height())], 0xCD);
    }
}

TEST(CaptureGeometry, AreaRulesAndLabel) {
    EXPECT_EQ(CaptureAreaLabelText(FullScreenArea(1024, 768)), " Area: ( 0,0 ) - ( 1023,767 ) ");

    CaptureArea reversed{300, 200, 100, 50};
    NormaliseArea(reversed);
    EXPECT_EQ(CaptureAreaLabelText(reversed), " Area: ( 100,50 ) - ( 300,200 ) ");

    CaptureArea click{10, 10, 10, 10};
    NormaliseArea(click);
    EXPECT_EQ(CaptureAreaLabelText(click), " Area: ( 10,10 ) - ( 11,11 ) ");
    EXPECT_EQ(AreaWidth(click), 2);

    CaptureArea negative{-5, -7, -20, 3};
    NormaliseArea(negative);
    EXPECT_EQ(CaptureAreaLabelText(negative), " Area: ( -20,-7 ) - ( -5,3 ) ");
}

TEST(CaptureGeometry, ClipsAreasToTheScreen) {
    auto inside = ClipAreaToScreen({10, 20, 30, 40}, 100, 100);
    ASSERT_TRUE(inside);
    EXPECT_EQ(CaptureAreaLabelText(*inside), " Area: ( 10,20 ) - ( 30,40 ) ");

    auto beyond = ClipAreaToScreen({-50, 90, 60, 300}, 100, 100);
    ASSERT_TRUE(beyond);
    EXPECT_EQ(CaptureAreaLabelText(*beyond), " Area: ( 0,90 ) - ( 60,99 ) ");

    EXPECT_FALSE(ClipAreaToScreen({100, 0, 200, 50}, 100, 100));
    EXPECT_FALSE(ClipAreaToScreen({-30, -30, -1, 50}, 100, 100));
}

TEST(CaptureGeometry, RecordingIntervalTruncates) {
    EXPECT_EQ(RecordingIntervalMs(5), 200);
    EXPECT_EQ(RecordingIntervalMs(7), 142);
    EXPECT_EQ(RecordingIntervalMs(3), 333);
    EXPECT_EQ(RecordingIntervalMs(120), 8);
    EXPECT_EQ(RecordingIntervalMs(0), 1000); // out of range: nearest bound
    EXPECT_EQ(RecordingIntervalMs(500), 8);
}

} // namespace
