#include "imaging_test_support.h"

#include "imaging/convert_to_24.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

using DibMemoryTest = PictavoTest;

bool IsAllZero(const DibImage& image) {
    DibImage zero{};
    return std::memcmp(&image, &zero, sizeof(DibImage)) == 0;
}

TEST_F(DibMemoryTest, NewPicturesHavePaddedZeroedRowsAndAPaletteForSmallDepths) {
    struct Case {
        int bits, stride, colors;
    } cases[] = {{1, 4, 2}, {4, 8, 16}, {8, 16, 256}, {16, 28, 0}, {24, 40, 0}, {32, 52, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        DibImage image{};
        EXPECT_NE(lib().newdib(&image, 13, 7, c.bits, nullptr, 0), 0);
        ASSERT_NE(image.pixels, nullptr);
        EXPECT_NE(image.memoryHandle, nullptr);
        EXPECT_EQ(DibWidth(image), 13);
        EXPECT_EQ(DibHeight(image), 7);
        EXPECT_EQ(DibBitCount(image), c.bits);
        EXPECT_EQ(image.bytesPerRow, c.stride);
        EXPECT_EQ(image.info->bmiHeader.biSizeImage, uint32_t(c.stride * 7));
        EXPECT_EQ(image.palette.palNumEntries, c.colors);
        EXPECT_EQ(image.hasPalette != 0, c.colors > 0);
        EXPECT_EQ(image.paletteHandle != nullptr, c.colors > 0);
        for (int i = 0; i < c.stride * 7; ++i)
            ASSERT_EQ(image.pixels[i], 0);
        if (c.colors > 0) { // without a colour source: black first, white last
            const PaletteEntry& last = image.palette.palPalEntry[c.colors - 1];
            EXPECT_EQ(image.palette.palPalEntry[0].peRed, 0);
            EXPECT_EQ(last.peRed + last.peGreen + last.peBlue, 3 * 255);
        }
        lib().deldib(image);
    }
}

TEST_F(DibMemoryTest, ColourSourceIsCopiedIntoTableAndLogicalPalette) {
    BitmapInfo source{};
    for (int i = 0; i < 16; ++i)
        source.bmiColors[i] = RgbQuad{uint8_t(i), uint8_t(100 + i), uint8_t(200 + i), 0};
    DibImage image{};
    lib().newdib(&image, 5, 3, 4, &source, 16);
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.info->bmiHeader.biClrUsed, 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(std::memcmp(&image.info->bmiColors[i], &source.bmiColors[i], 4), 0);
        EXPECT_EQ(image.palette.palPalEntry[i].peRed, 200 + i);
        EXPECT_EQ(image.palette.palPalEntry[i].peBlue, i);
    }
    lib().deldib(image);
    // A 24-bit copy with a colour source and no colours, as picture scaling makes them.
    lib().newdib(&image, 5, 3, 24, &source, 0);
    EXPECT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.hasPalette, 0);
    lib().deldib(image);
}

TEST_F(DibMemoryTest, ImpossiblePicturesLeaveAnAllZeroRecord) {
    const int sizes[][3] = {{0, 5, 24}, {5, 0, 24},           {-3, 5, 24},
                            {5, 5, 7},  {100000, 100000, 24}, {0x7FFFFFFF, 2, 32}};
    for (const auto& s : sizes) {
        DibImage image{};
        image.bytesPerRow = 99; // stale contents must not survive
        EXPECT_EQ(lib().newdib(&image, s[0], s[1], s[2], nullptr, 0), 0);
        EXPECT_TRUE(IsAllZero(image)) << s[0] << " x " << s[1] << " x " << s[2];
    }
    lib().deldib(DibImage{}); // an all-zero record is released without complaint
}

// Recorded frames: many pictures in sequence, spread over several shared memory regions.
std::vector<DibImage> MakeFrames(const PictavoLibrary& lib, int count, int width, int height) {
    std::vector<DibImage> frames(static_cast<size_t>(count));
    for (DibImage& frame : frames)
        EXPECT_NE(lib.newdib(&frame, width, height, 24, nullptr, 0), 0);
    return frames;
}

bool PageIsResident(const void* address) {
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    unsigned char resident = 0;
    const auto start = reinterpret_cast<uintptr_t>(address) & ~(page - 1);
    EXPECT_EQ(mincore(reinterpret_cast<void*>(start), page, &resident), 0);
    return resident & 1;
}

TEST_F(DibMemoryTest, PicturesNeverShareBytesAndReusedMemoryIsZeroed) {
    for (int round = 0; round < 2; ++round) { // the second round reuses what the first freed
        SCOPED_TRACE(round);
        std::vector<DibImage> frames = MakeFrames(lib(), 150, 409, 407); // about 75 MB
        DibImage large{}; // larger than a quarter of a shared region
        ASSERT_NE(lib().newdib(&large, 3000, 2000, 24, nullptr, 0), 0);
        frames.push_back(large);
        for (size_t i = 0; i < frames.size(); ++i) {
            ASSERT_TRUE(PixelsAre(frames[i], 0)) << i;
            std::memset(frames[i].pixels, static_cast<int>(i % 250 + 1), PixelBytes(frames[i]));
            std::memset(frames[i].info->bmiColors, 0xEE, sizeof frames[i].info->bmiColors);
        }
        for (size_t i = 0; i < frames.size(); ++i) {
            ASSERT_EQ(DibWidth(frames[i]), i < 150 ? 409 : 3000) << i; // header not overwritten
            ASSERT_TRUE(PixelsAre(frames[i], static_cast<uint8_t>(i % 250 + 1))) << i;
        }
        for (const DibImage& frame : frames)
            lib().deldib(frame);
    }
    // One picture made and dropped again and again gets zeroed memory every time.
    for (int i = 0; i < 3; ++i) {
        DibImage image{};
        ASSERT_NE(lib().newdib(&image, 64, 64, 32, nullptr, 0), 0);
        ASSERT_TRUE(PixelsAre(image, 0)) << i;
        std::memset(image.pixels, 0x5A, PixelBytes(image));
        lib().deldib(image);
    }
}

TEST_F(DibMemoryTest, DeletingSinglePicturesGivesTheirMemoryBackAndKeepsTheirNeighbours) {
    SKIP_WITHOUT_PICTURE_POOL();
    std::vector<DibImage> frames = MakeFrames(lib(), 200, 409, 407); // several regions
    for (size_t i = 0; i < frames.size(); ++i)
        std::memset(frames[i].pixels, static_cast<int>(i % 250 + 1), PixelBytes(frames[i]));
    // Every other frame of the first regions goes, as when a user deletes frames.
    for (size_t i = 0; i < 100; i += 2) {
        const uint8_t* middle = frames[i].pixels + PixelBytes(frames[i]) / 2;
        lib().deldib(frames[i]);
        EXPECT_FALSE(PageIsResident(middle)) << i;
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        if (i < 100 && i % 2 == 0)
            continue; // deleted above
        ASSERT_TRUE(PixelsAre(frames[i], static_cast<uint8_t>(i % 250 + 1))) << i;
        lib().deldib(frames[i]);
    }
}

TEST_F(DibMemoryTest, ThreadsMakeAndDropPicturesIndependently) {
    SKIP_WITHOUT_PICTURE_POOL();
    // The second round keeps a small reserve, so regions are prepared and taken while the
    // threads allocate.
    for (int64_t reserve : {int64_t{0}, int64_t{1} << 20}) {
        SCOPED_TRACE(reserve);
        ASSERT_NE(lib().ReserveDibMemory(reserve), 0);
        std::vector<std::thread> threads;
        std::atomic<int> failures{0};
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                std::vector<DibImage> kept;
                for (int i = 0; i < 400; ++i) {
                    DibImage image{};
                    if (!lib().newdib(&image, 100 + t, 50 + i % 7 + (i % 50 == 0 ? 3000 : 0), 24,
                                      nullptr, 0) ||
                        !PixelsAre(image, 0))
                        ++failures;
                    std::memset(image.pixels, t + 1, PixelBytes(image));
                    kept.push_back(image);
                    if (i % 3 == 0) { // drop some at once, keep the rest for a while
                        lib().deldib(kept.back());
                        kept.pop_back();
                    }
                }
                for (const DibImage& image : kept) {
                    if (!PixelsAre(image, static_cast<uint8_t>(t + 1)))
                        ++failures;
                    lib().deldib(image);
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        EXPECT_EQ(failures.load(), 0);
    }
    ASSERT_NE(lib().ReserveDibMemory(0), 0);
}

TEST_F(DibMemoryTest, PixelsAreAddressedInStorageRowsAtEveryDepth) {
    DibImage mono{}, nibble{}, byte{}, rgb{};
    lib().newdib(&mono, 17, 3, 1, nullptr, 0);
    lib().newdib(&nibble, 5, 3, 4, nullptr, 0);
    lib().newdib(&byte, 5, 3, 8, nullptr, 0);
    lib().newdib(&rgb, 5, 3, 24, nullptr, 0);

    lib().setpixel(mono, 9, 2, 255); // 255 means the last entry at any depth
    EXPECT_EQ(DibRow(mono, 2)[1], 0x40);
    EXPECT_EQ(lib().getpixel(mono, 9, 2), 1u);
    EXPECT_EQ(lib().getpixel(mono, 8, 2), 0u);

    lib().setpixel(nibble, 2, 1, 0xA);
    lib().setpixel(nibble, 3, 1, 255);
    EXPECT_EQ(DibRow(nibble, 1)[1], 0xAF); // even columns in the high half
    EXPECT_EQ(lib().getpixel(nibble, 2, 1), 0xAu);

    lib().setpixel(byte, 4, 0, 200);
    EXPECT_EQ(lib().getpixel(byte, 4, 0), 200u);

    lib().setpixel(rgb, 1, 2, 0x00332211); // 0x00BBGGRR
    const uint8_t* p = DibRow(rgb, 2) + 3;
    EXPECT_EQ((p[0] << 16) | (p[1] << 8) | p[2], 0x332211);
    EXPECT_EQ(lib().getpixel(rgb, 1, 2), 0x00332211u);

    // Outside the picture nothing is written and 0 comes back.
    for (int at : {-1, 5, 1000}) {
        lib().setpixel(rgb, at, 0, 0xFFFFFF);
        lib().setpixel(rgb, 0, at, 0xFFFFFF);
        EXPECT_EQ(lib().getpixel(rgb, at, 1), 0u);
    }
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(lib().getpixel(rgb, x, y) != 0, x == 1 && y == 2);
    EXPECT_EQ(lib().getpixel(DibImage{}, 0, 0), 0u);
    lib().setpixel(DibImage{}, 0, 0, 1);

    for (const DibImage& image : {mono, nibble, byte, rgb})
        lib().deldib(image);
}

TEST_F(DibMemoryTest, ConvertTo24UsesTheRuleOfEachDepth) {
    BitmapInfo colors{};
    colors.bmiColors[1] = RgbQuad{10, 20, 30, 0};
    colors.bmiColors[2] = RgbQuad{40, 50, 60, 0};
    colors.bmiColors[15] = RgbQuad{70, 80, 90, 0};
    DibImage nibble{};
    lib().newdib(&nibble, 3, 2, 4, &colors, 16);
    DibRow(nibble, 0)[0] = 0x12; // columns 0 and 1
    DibRow(nibble, 0)[1] = 0xF0; // column 2
    ASSERT_TRUE(ConvertTo24(nibble));
    ASSERT_EQ(DibBitCount(nibble), 24);
    const uint8_t* row = DibRow(nibble, 0);
    const uint8_t expected[] = {10, 20, 30, 40, 50, 60, 70, 80, 90};
    EXPECT_EQ(std::memcmp(row, expected, 9), 0); // blue, green, red
    lib().deldib(nibble);

    DibImage alpha{};
    lib().newdib(&alpha, 3, 1, 32, nullptr, 0);
    const uint8_t bgra[] = {0, 0, 200, 255, 0, 0, 200, 0, 100, 0, 0, 128};
    std::memcpy(DibRow(alpha, 0), bgra, sizeof bgra);
    ASSERT_TRUE(ConvertTo24(alpha));
    const uint8_t overWhite[] = {0, 0, 200, 255, 255, 255, 177, 127, 127};
    EXPECT_EQ(std::memcmp(DibRow(alpha, 0), overWhite, 9), 0);
    lib().deldib(alpha);

    DibImage rgb = MakeGradient(4, 4);
    const uint8_t* before = rgb.pixels;
    ASSERT_TRUE(ConvertTo24(rgb));
    EXPECT_EQ(rgb.pixels, before); // 24 bits stay as they are
    lib().deldib(rgb);
}

TEST_F(DibMemoryTest, ConvertTo24RejectsUnknownDepthsAndLeavesThePicture) {
    DibImage image{};
    lib().newdib(&image, 4, 4, 8, nullptr, 0);
    const uint16_t realBits = image.info->bmiHeader.biBitCount;
    image.info->bmiHeader.biBitCount = 2;
    const DibImage before = image;
    EXPECT_FALSE(ConvertTo24(image));
    EXPECT_EQ(std::memcmp(&image, &before, sizeof(DibImage)), 0);
    image.info->bmiHeader.biBitCount = realBits;
    lib().deldib(image);

    DibImage empty{};
    EXPECT_FALSE(ConvertTo24(empty));
}

} // namespace
