#include "imaging_test_support.h"

#include <fstream>
#include <ostream>
#include <sstream>

void PrintTo(const Rgb& c, std::ostream* os) {
    *os << "rgb(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

std::string FixturePath(const std::string& name) {
    return std::string(CLIPMOOR_SOURCE_DIR) + "/tests/imaging/fixtures/" + name;
}

SourcePicture ReadPlainPpm(const std::string& name) {
    std::ifstream file(FixturePath(name));
    std::stringstream words;
    for (std::string line; std::getline(file, line);)
        words << line.substr(0, line.find('#')) << ' ';
    std::string magic;
    int maxValue = 0;
    SourcePicture picture;
    words >> magic >> picture.width >> picture.height >> maxValue;
    EXPECT_EQ(magic, "P3") << name;
    for (int i = 0; i < picture.width * picture.height; ++i) {
        int r = 0, g = 0, b = 0;
        words >> r >> g >> b;
        picture.pixels.push_back(
            Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)});
    }
    EXPECT_TRUE(words) << name;
    return picture;
}

void PictavoTest::SetUpTestSuite() {
    if (!PictavoLoaded()) {
        ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/"));
    }
}

Rgb TopDownPixel(const DibImage& image, int x, int y) {
    const uint8_t* p = DibRow(image, DibHeight(image) - 1 - y) + 3 * x;
    return Rgb{p[2], p[1], p[0]};
}

DibImage MakeGradient(int width, int height) {
    DibImage image{};
    Pictavo().newdib(&image, width, height, 24, nullptr, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = DibRow(image, y) + 3 * x;
            p[0] = static_cast<uint8_t>(x * 255 / width);
            p[1] = static_cast<uint8_t>(y * 255 / height);
            p[2] = static_cast<uint8_t>((x + y) * 255 / (width + height));
        }
    return image;
}

size_t PixelBytes(const DibImage& image) {
    return static_cast<size_t>(image.bytesPerRow) * static_cast<size_t>(DibHeight(image));
}

bool PixelsAre(const DibImage& image, uint8_t value) {
    const size_t bytes = PixelBytes(image);
    for (size_t i = 0; i < bytes; ++i) {
        if (image.pixels[i] != value)
            return false;
    }
    return true;
}
