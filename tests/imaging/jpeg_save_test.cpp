#include "imaging_test_support.h"

#include <turbojpeg.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

namespace fs = std::filesystem;

struct DecodedJpeg {
    int width = 0, height = 0, subsampling = -1;
    std::vector<uint8_t> bgr; // bottom-up rows without padding
};

DecodedJpeg DecodeJpeg(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(file)), {});
    DecodedJpeg out;
    tjhandle decoder = tjInitDecompress();
    int colorspace = 0;
    if (tjDecompressHeader3(decoder, data.data(), data.size(), &out.width, &out.height,
                            &out.subsampling, &colorspace) == 0) {
        out.bgr.resize(size_t(out.width) * out.height * 3);
        if (tjDecompress2(decoder, data.data(), data.size(), out.bgr.data(), out.width, 0,
                          out.height, TJPF_BGR, TJFLAG_BOTTOMUP) != 0)
            out.bgr.clear();
    }
    tjDestroy(decoder);
    return out;
}

class JpegSaveTest : public PictavoTest {
protected:
    std::string Scratch(const std::string& name) {
        const fs::path dir = fs::path(CLIPMOOR_BINARY_DIR) / "tests" / "imaging-scratch";
        fs::create_directories(dir);
        return (dir / name).string();
    }

    // Largest difference of any channel between the decoded JPEG and the picture's pixels.
    static int MaxError(const DecodedJpeg& jpeg, const DibImage& image) {
        int worst = 0;
        for (int y = 0; y < jpeg.height; ++y)
            for (int i = 0; i < jpeg.width * 3; ++i) {
                const int a = jpeg.bgr[(size_t(y) * jpeg.width * 3) + i];
                worst = std::max(worst, std::abs(a - DibRow(image, y)[i]));
            }
        return worst;
    }
};

TEST_F(JpegSaveTest, WritesAFullColourJpegOfTheSamePixels) {
    DibImage image = MakeGradient(61, 37); // 183 bytes of pixels in 184-byte rows
    const std::string path = Scratch("gradient.jpg");
    lib().SetJPEGQual(95);
    EXPECT_NE(lib().SaveDib(image, path.c_str(), kDibFormatJpeg, nullptr), 0);
    const DecodedJpeg jpeg = DecodeJpeg(path);
    ASSERT_EQ(jpeg.width, 61);
    ASSERT_EQ(jpeg.height, 37);
    ASSERT_FALSE(jpeg.bgr.empty());
    EXPECT_EQ(jpeg.subsampling, TJSAMP_444);
    EXPECT_LE(MaxError(jpeg, image), 12);
    lib().deldib(image);
}

TEST_F(JpegSaveTest, HigherQualityGivesALargerFile) {
    DibImage image = MakeGradient(64, 48);
    uintmax_t previous = 0;
    for (int quality : {5, 40, 75, 100}) {
        const std::string path = Scratch("q" + std::to_string(quality) + ".jpg");
        lib().SetJPEGQual(quality);
        ASSERT_NE(lib().SaveDib(image, path.c_str(), kDibFormatJpeg, nullptr), 0);
        const uintmax_t size = fs::file_size(path);
        EXPECT_GT(size, previous) << "quality " << quality;
        previous = size;
    }
    lib().deldib(image);
}

// Threads encoding at their own qualities while the shared setting keeps changing each get
// exactly the bytes of a lone encode at their quality.
TEST_F(JpegSaveTest, QualityPerCallHoldsWhileOthersEncodeAndSetTheQuality) {
    ASSERT_NE(lib().SaveDibAtQuality, nullptr);
    DibImage image = MakeGradient(96, 64);
    const std::vector<int> qualities = {10, 50, 90};
    std::vector<uintmax_t> expected;
    for (int quality : qualities) {
        const std::string path = Scratch("alone" + std::to_string(quality) + ".jpg");
        ASSERT_NE(lib().SaveDibAtQuality(image, path.c_str(), kDibFormatJpeg, quality), 0);
        expected.push_back(fs::file_size(path));
    }
    std::atomic<bool> done{false};
    std::thread setter([&] {
        for (int q = 0; !done; q = (q + 37) % 101)
            lib().SetJPEGQual(q);
    });
    std::vector<std::thread> encoders;
    std::atomic<int> mismatches{0};
    for (size_t t = 0; t < qualities.size(); ++t)
        encoders.emplace_back([&, t] {
            const std::string path = Scratch("thread" + std::to_string(t) + ".jpg");
            for (int round = 0; round < 20; ++round)
                if (!lib().SaveDibAtQuality(image, path.c_str(), kDibFormatJpeg, qualities[t]) ||
                    fs::file_size(path) != expected[t])
                    ++mismatches;
        });
    for (std::thread& encoder : encoders)
        encoder.join();
    done = true;
    setter.join();
    EXPECT_EQ(mismatches, 0);
    lib().deldib(image);
}

TEST_F(JpegSaveTest, ReplacesALargerFileCompletely) {
    const std::string path = Scratch("replaced.jpg");
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(100000, 'x'); // longer than the picture's JPEG
    }
    DibImage image = MakeGradient(16, 16);
    lib().SetJPEGQual(75);
    ASSERT_NE(lib().SaveDib(image, path.c_str(), kDibFormatJpeg, nullptr), 0);
    EXPECT_LT(fs::file_size(path), 100000u);
    const DecodedJpeg jpeg = DecodeJpeg(path);
    EXPECT_EQ(jpeg.width, 16);
    EXPECT_FALSE(jpeg.bgr.empty());
    lib().deldib(image);
}

TEST_F(JpegSaveTest, WritesASubRectangleInPlace) {
    DibImage whole = MakeGradient(64, 40);
    BitmapInfo part = *whole.info;
    part.bmiHeader.biWidth = 21;
    part.bmiHeader.biHeight = 9;
    DibImage view = whole;
    view.info = &part;
    view.pixels = DibRow(whole, 5) + 3 * 30; // rows 5..13, columns 30..50, stride of the whole

    const std::string path = Scratch("part.jpg");
    lib().SetJPEGQual(100);
    ASSERT_NE(lib().SaveDib(view, path.c_str(), kDibFormatJpeg, nullptr), 0);
    const DecodedJpeg jpeg = DecodeJpeg(path);
    ASSERT_EQ(jpeg.width, 21);
    ASSERT_EQ(jpeg.height, 9);
    EXPECT_LE(MaxError(jpeg, view), 6);
    lib().deldib(whole);
}

TEST_F(JpegSaveTest, FailuresAreReportedAndLeaveNoFile) {
    DibImage image = MakeGradient(8, 8);
    EXPECT_EQ(lib().SaveDib(image, "/nonexistent-folder/x.jpg", kDibFormatJpeg, nullptr), 0);
    const std::string path = Scratch("never.jpg");
    fs::remove(path);
    EXPECT_EQ(lib().SaveDib(image, path.c_str(), 3, nullptr), 0); // only JPEG is written
    EXPECT_EQ(lib().SaveDib(DibImage{}, path.c_str(), kDibFormatJpeg, nullptr), 0);
    EXPECT_FALSE(fs::exists(path));
    if (fs::exists("/dev/full")) { // a full disk: the write itself fails
        EXPECT_EQ(lib().SaveDib(image, "/dev/full", kDibFormatJpeg, nullptr), 0);
    }
    lib().deldib(image);
}

TEST_F(JpegSaveTest, PalettePicturesAreWrittenInTheirColours) {
    BitmapInfo colors{};
    colors.bmiColors[1] = RgbQuad{0, 0, 255, 0}; // red
    DibImage image{};
    lib().newdib(&image, 16, 16, 8, &colors, 256);
    for (int y = 0; y < 16; ++y)
        for (int x = 8; x < 16; ++x)
            lib().setpixel(image, x, y, 1);
    const std::string path = Scratch("palette.jpg");
    lib().SetJPEGQual(100);
    ASSERT_NE(lib().SaveDib(image, path.c_str(), kDibFormatJpeg, nullptr), 0);
    const DecodedJpeg jpeg = DecodeJpeg(path);
    ASSERT_EQ(jpeg.bgr.size(), 16u * 16 * 3);
    const uint8_t* left = &jpeg.bgr[3 * 2];
    const uint8_t* right = &jpeg.bgr[3 * 13];
    EXPECT_LT(left[0] + left[1] + left[2], 30);
    EXPECT_GT(right[2], 230);
    EXPECT_LT(right[0] + right[1], 30);
    lib().deldib(image);
}

} // namespace
