#include "imaging_test_support.h"

#include "imaging/convert_to_24.h"
#include "imaging/picture_import.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

struct Fixture {
    const char* file;
    int bits;           // depth OpenDib delivers
    const char* source; // the plain-text picture it was made from
    int tolerance;      // per channel, after conversion to 24 bits
};

// Every kind the program offers, at the depths the files declare.
const Fixture kColourFixtures[] = {
    {"pal4.bmp", 4, "colors12.ppm", 0},    {"pal8.bmp", 8, "colors20.ppm", 0},
    {"pal8.rle", 8, "colors20.ppm", 0},    {"pal4.rle", 4, "colors12.ppm", 0},
    {"rgb16.bmp", 24, "colors20.ppm", 8},  {"rgb24.dib", 24, "colors20.ppm", 0},
    {"pal4.pcx", 4, "colors12.ppm", 0},    {"pal8.pcx", 8, "colors20.ppm", 0},
    {"pal8.gif", 8, "colors20.ppm", 0},    {"pal4.png", 4, "colors12.ppm", 0},
    {"pal8.png", 8, "colors20.ppm", 0},    {"rgb24.tga", 24, "colors20.ppm", 0},
    {"pal8.tga", 8, "colors20.ppm", 0},    {"rgb24.tif", 24, "colors20.ppm", 0},
    {"pal8.iff", 8, "colors20.ppm", 0},    {"pal4.lbm", 4, "colors12.ppm", 0},
    {"rgb24.jpg", 24, "colors20.ppm", 48}, {"rgb24.jif", 24, "colors20.ppm", 48},
};

// Two-colour pictures (neither colour black nor white) stored at 1 bit.
const char* const kOneBitFixtures[] = {"one1.bmp", "one1.pcx", "one1.gif", "one1.png", "one1.iff"};

using OpenDibTest = PictavoTest;

DibImage Open(const std::string& path) {
    DibImage image{};
    Pictavo().OpenDib(&image, path.c_str(), 0, nullptr);
    return image;
}

Rgb PaletteColour(const DibImage& image, uint32_t index) {
    const PaletteEntry& e = image.palette.palPalEntry[index];
    return Rgb{e.peRed, e.peGreen, e.peBlue};
}

int ChannelError(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

TEST_F(OpenDibTest, EveryKindDecodesToItsSourcePixels) {
    for (const Fixture& f : kColourFixtures) {
        SCOPED_TRACE(f.file);
        const SourcePicture source = ReadPlainPpm(f.source);
        DibImage image = Open(FixturePath(f.file));
        ASSERT_NE(image.pixels, nullptr);
        ASSERT_EQ(DibWidth(image), source.width);
        ASSERT_EQ(DibHeight(image), source.height);
        EXPECT_EQ(DibBitCount(image), f.bits);
        ASSERT_TRUE(ConvertTo24(image));
        int worst = 0;
        for (int y = 0; y < source.height; ++y)
            for (int x = 0; x < source.width; ++x) {
                const int error = ChannelError(TopDownPixel(image, x, y), source.At(x, y));
                if (f.tolerance == 0) {
                    ASSERT_EQ(TopDownPixel(image, x, y), source.At(x, y)) << x << ", " << y;
                }
                worst = std::max(worst, error);
            }
        EXPECT_LE(worst, f.tolerance);
        lib().deldib(image);
    }
}

TEST_F(OpenDibTest, OneBitPicturesKeepTheirPaletteButConvertToBlackAndWhite) {
    const SourcePicture source = ReadPlainPpm("two.ppm");
    const Rgb white{255, 255, 255}, black{0, 0, 0};
    for (const char* file : kOneBitFixtures) {
        SCOPED_TRACE(file);
        DibImage image = Open(FixturePath(file));
        ASSERT_NE(image.pixels, nullptr);
        ASSERT_EQ(DibBitCount(image), 1);
        EXPECT_EQ(image.palette.palNumEntries, 2);
        std::vector<uint32_t> indices; // top-down
        for (int y = 0; y < source.height; ++y)
            for (int x = 0; x < source.width; ++x) {
                const uint32_t index = lib().getpixel(image, x, source.height - 1 - y);
                ASSERT_EQ(PaletteColour(image, index), source.At(x, y)) << x << ", " << y;
                indices.push_back(index);
            }
        ASSERT_TRUE(ConvertTo24(image));
        for (int y = 0; y < source.height; ++y)
            for (int x = 0; x < source.width; ++x)
                ASSERT_EQ(TopDownPixel(image, x, y),
                          indices[size_t(y) * source.width + x] ? white : black);
        lib().deldib(image);
    }
}

TEST_F(OpenDibTest, TransparencyShowsTheWhiteBackground) {
    // Alpha by column: transparent, half, opaque.
    const SourcePicture source = ReadPlainPpm("colors12.ppm");
    DibImage image = Open(FixturePath("alpha.png"));
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(DibBitCount(image), 32);
    ASSERT_TRUE(ConvertTo24(image));
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x) {
            const Rgb s = source.At(x, y), got = TopDownPixel(image, x, y);
            if (x % 3 == 0)
                EXPECT_EQ(got, (Rgb{255, 255, 255}));
            else if (x % 3 == 2)
                EXPECT_EQ(got, s);
            else
                EXPECT_LE(ChannelError(got, Rgb{uint8_t((s.r + 256) / 2), uint8_t((s.g + 256) / 2),
                                                uint8_t((s.b + 256) / 2)}),
                          1);
        }
    lib().deldib(image);
}

class HostileFileTest : public PictavoTest {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path dir = fs::path(CLIPMOOR_BINARY_DIR) / "tests" / "imaging-scratch";
        fs::create_directories(dir);
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }
    static std::string ReadFixture(const char* name) {
        std::ifstream file(FixturePath(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), {});
    }
};

TEST_F(HostileFileTest, UnreadableFilesLeaveNoPicture) {
    std::string hugeBmp = ReadFixture("pal8.bmp");
    hugeBmp.replace(18, 8, std::string("\xA0\x86\x01\x00\xA0\x86\x01\x00", 8)); // 100000 x 100000
    std::string lyingPcx = ReadFixture("pal8.pcx");
    lyingPcx[8] = '\xFF', lyingPcx[9] = '\x7F'; // right edge far beyond the data
    const std::string cases[] = {
        Write("empty.bmp", ""),
        Write("noise.png", std::string(300, '\x5A')),
        Write("cut.bmp", ReadFixture("pal8.bmp").substr(0, 70)),
        Write("cut.gif", ReadFixture("pal8.gif").substr(0, 40)),
        Write("huge.bmp", hugeBmp),
        Write("lying.pcx", lyingPcx),
        Write("tga.dat", ReadFixture("rgb24.tga")), // TGA is known by its extension only
        FixturePath("no-such-file.png"),
        CLIPMOOR_SOURCE_DIR, // a folder
    };
    for (const std::string& path : cases) {
        DibImage image{};
        std::memset(&image, 0xCD, sizeof image); // OpenDib must not rely on a clean record
        const int result = lib().OpenDib(&image, path.c_str(), 0, nullptr);
        if (image.pixels) { // a decoder may still make sense of a damaged file
            EXPECT_NE(result, 0) << path;
            EXPECT_GT(DibWidth(image), 0);
            lib().deldib(image);
        } else {
            EXPECT_EQ(result, 0) << path;
        }
    }
    DibImage image{};
    EXPECT_EQ(
        lib().OpenDib(&image, Write("again.dat", ReadFixture("rgb24.tga")).c_str(), 0, nullptr), 0);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST_F(OpenDibTest, ImportGivesA24BitPictureOrTheMessageToShow) {
    PictureImport ok = ImportPictureFile(FixturePath("pal8.gif"));
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(DibBitCount(ok.image), 24);
    EXPECT_EQ(DibWidth(ok.image), 13);
    lib().deldib(ok.image);

    PictureImport missing = ImportPictureFile(FixturePath("missing.bmp"));
    EXPECT_FALSE(missing.ok());
    EXPECT_STREQ(missing.error, "Can not open picture!");
    EXPECT_EQ(missing.image.pixels, nullptr);
}

} // namespace
