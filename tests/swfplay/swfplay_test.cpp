// Plays hand-made SWF movies in the browser emulator and checks the pixels it shows.  The movies
// are put together byte by byte here so that this test depends on nothing but the harness.
#include "tests/ruffle_support/ruffle_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ruffle_support::PixelBox;
using ruffle_support::Rgb;
using ruffle_support::RuffleOptions;

// Bits are written most significant first and the last byte is padded with zeros.
class BitWriter {
public:
    void Unsigned(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used_ % 8 == 0) {
                bytes_.push_back(0);
            }
            if ((value >> i) & 1) {
                bytes_.back() |= static_cast<uint8_t>(0x80 >> (used_ % 8));
            }
            ++used_;
        }
    }
    void Signed(int32_t value, int bits) {
        Unsigned(static_cast<uint32_t>(value) & ((1u << bits) - 1), bits);
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 0;
};

// Bits a signed field needs to hold every value.
int SignedBits(std::initializer_list<int32_t> values) {
    int bits = 1;
    for (int32_t v : values) {
        while (v < -(1 << (bits - 1)) || v >= (1 << (bits - 1))) {
            ++bits;
        }
    }
    return bits;
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

void AppendU16(std::vector<uint8_t>& to, uint16_t v) {
    to.push_back(static_cast<uint8_t>(v & 0xff));
    to.push_back(static_cast<uint8_t>(v >> 8));
}

std::vector<uint8_t> Rect(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax) {
    BitWriter bits;
    const int n = SignedBits({xMin, xMax, yMin, yMax});
    bits.Unsigned(n, 5);
    for (int32_t v : {xMin, xMax, yMin, yMax}) {
        bits.Signed(v, n);
    }
    return bits.Bytes();
}

std::vector<uint8_t> Tag(uint16_t code, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> tag;
    if (body.size() < 0x3f) {
        AppendU16(tag, static_cast<uint16_t>(code << 6 | body.size()));
    } else {
        AppendU16(tag, static_cast<uint16_t>(code << 6 | 0x3f));
        const uint32_t length = static_cast<uint32_t>(body.size());
        for (int i = 0; i < 4; ++i) {
            tag.push_back(static_cast<uint8_t>(length >> (8 * i)));
        }
    }
    Append(tag, body);
    return tag;
}

constexpr int kTwips = 20;

// DefineShape (code 2) of one solid rectangle given in pixels, drawn as four straight edges.
std::vector<uint8_t> DefineRectangle(uint16_t id, int x, int y, int w, int h, Rgb colour) {
    const int32_t left = x * kTwips, top = y * kTwips, width = w * kTwips, height = h * kTwips;
    std::vector<uint8_t> body;
    AppendU16(body, id);
    Append(body, Rect(left, left + width, top, top + height));
    Append(body, {1, 0x00, colour.r, colour.g, colour.b}); // one solid fill
    body.push_back(0);                                     // no line styles
    BitWriter records;
    records.Unsigned(1, 4); // fill index bits
    records.Unsigned(0, 4); // line index bits
    // Style change: move to the top left corner and select fill 1 on the right of the edges.
    records.Unsigned(0b000101, 6);
    const int moveBits = SignedBits({left, top});
    records.Unsigned(moveBits, 5);
    records.Signed(left, moveBits);
    records.Signed(top, moveBits);
    records.Unsigned(1, 1);
    const int32_t edges[4][2] = {{width, 0}, {0, height}, {-width, 0}, {0, -height}};
    for (const auto& edge : edges) {
        const bool vertical = edge[0] == 0;
        const int32_t delta = vertical ? edge[1] : edge[0];
        const int n = std::max(2, SignedBits({delta}));
        records.Unsigned(0b11, 2); // edge, straight
        records.Unsigned(n - 2, 4);
        records.Unsigned(0, 1); // not a general line
        records.Unsigned(vertical ? 1 : 0, 1);
        records.Signed(delta, n);
    }
    records.Unsigned(0, 6); // end of shape
    Append(body, records.Bytes());
    return Tag(2, body);
}

std::vector<uint8_t> PlaceObject2(uint16_t id, uint16_t depth) {
    std::vector<uint8_t> body{0x02}; // has character
    AppendU16(body, depth);
    AppendU16(body, id);
    return Tag(26, body);
}

std::vector<uint8_t> RemoveObject2(uint16_t depth) {
    std::vector<uint8_t> body;
    AppendU16(body, depth);
    return Tag(28, body);
}

std::vector<uint8_t> ShowFrame() {
    return Tag(1, {});
}

std::vector<uint8_t> SetBackground(Rgb colour) {
    return Tag(9, {colour.r, colour.g, colour.b});
}

// An uncompressed version 4 file around the tags; the End tag is added here.
std::vector<uint8_t> Movie(int width, int height, int framesPerSecond, uint16_t frames,
                           const std::vector<uint8_t>& tags) {
    std::vector<uint8_t> rest = Rect(0, width * kTwips, 0, height * kTwips);
    AppendU16(rest, static_cast<uint16_t>(framesPerSecond << 8));
    AppendU16(rest, frames);
    Append(rest, tags);
    Append(rest, Tag(0, {}));
    std::vector<uint8_t> file{'F', 'W', 'S', 4};
    const uint32_t length = static_cast<uint32_t>(8 + rest.size());
    for (int i = 0; i < 4; ++i) {
        file.push_back(static_cast<uint8_t>(length >> (8 * i)));
    }
    Append(file, rest);
    return file;
}

constexpr Rgb kBackground{0x33, 0x66, 0x99};
constexpr Rgb kRed{0xff, 0x00, 0x00};
constexpr Rgb kGreen{0x00, 0xc8, 0x00};
constexpr int kWidth = 200, kHeight = 150;
// Pixel edges of the test rectangle; its right and bottom edges are exclusive.
constexpr PixelBox kRectangle{50, 40, 129, 99};

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() /
            ("swfplay-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) {
            fs::remove_all(dir_);
        }
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const fs::path file = dir_ / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return file.string();
    }
    // The red rectangle on the background, one frame.
    std::string StillMovie(const std::string& name) {
        std::vector<uint8_t> tags = SetBackground(kBackground);
        Append(tags, DefineRectangle(1, 50, 40, 80, 60, kRed));
        Append(tags, PlaceObject2(1, 1));
        Append(tags, ShowFrame());
        return Write(name, Movie(kWidth, kHeight, 12, 1, tags));
    }
    // The page the program writes next to a movie, lines ending in CR LF.
    std::string Page(const std::string& name, const std::string& movieName) {
        const std::string size =
            "width=\"" + std::to_string(kWidth) + "\" height=\"" + std::to_string(kHeight) + "\"";
        const std::vector<std::string> lines = {
            "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=",
            "\"http://player.invalid/download/player.cab#version=4,0,2,0\"",
            size + ">",
            "<param name=\"movie\" value=\"" + movieName + "\">",
            "<param name=\"quality\" value=\"high\">",
            "<embed src=\"" + movieName + "\" quality=\"high\" pluginspage=",
            "\"http://player.invalid/plugin/\"",
            "type=\"application/x-shockwave-flash\" " + size + ">",
            "</embed>",
            "</object>"};
        std::string text;
        for (const auto& line : lines) {
            text += line + "\r\n";
        }
        return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    // Keeps the shots of a failing test next to its movie for a look.
    RuffleOptions Options() const {
        RuffleOptions options;
        options.keepDir = (dir_ / "shots").string();
        return options;
    }

    fs::path dir_;
};

void ExpectRectangleOnBackground(const ruffle_support::RuffleShot& shot, Rgb fill) {
    ASSERT_EQ(shot.width, kWidth);
    ASSERT_EQ(shot.height, kHeight);
    const auto box = shot.BoxOf(fill, 8);
    ASSERT_TRUE(box.has_value()) << "no pixel of the rectangle's colour at " << shot.atMs << " ms";
    EXPECT_EQ(*box, kRectangle) << "box " << box->left << "," << box->top << " - " << box->right
                                << "," << box->bottom << " at " << shot.atMs << " ms";
    EXPECT_EQ(shot.CountNear(fill, 8), kRectangle.Width() * kRectangle.Height());
    // Everything outside the rectangle is background, right up to its edges.
    for (auto [x, y] : {std::pair{0, 0},
                        {kWidth - 1, kHeight - 1},
                        {49, 70},
                        {130, 70},
                        {90, 39},
                        {90, 100},
                        {kWidth - 1, 0},
                        {0, kHeight - 1}}) {
        EXPECT_TRUE(ruffle_support::ColorNear(shot.At(x, y), kBackground, 8))
            << "(" << x << "," << y << ") at " << shot.atMs << " ms";
    }
}

TEST_F(EmulatorTest, StillMovieShowsItsBackgroundAndRectangleAtTheirPixels) {
    const std::string movie = StillMovie("still.swf");
    std::string error;
    const auto started = std::chrono::steady_clock::now();
    const auto playback =
        ruffle_support::PlayMovie(movie, kWidth, kHeight, {0, 400}, &error, Options());
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    ASSERT_TRUE(playback.has_value()) << error;
    std::printf("one emulator run with two shots took %lld ms (renderer %s)\n",
                static_cast<long long>(elapsed.count()), playback->renderer.c_str());
    EXPECT_EQ(playback->movieWidth, kWidth);
    EXPECT_EQ(playback->movieHeight, kHeight);
    EXPECT_DOUBLE_EQ(playback->frameRate, 12.0);
    ASSERT_EQ(playback->shots.size(), 2u);
    for (const auto& shot : playback->shots) {
        ExpectRectangleOnBackground(shot, kRed);
    }
}

// Frame k shows from k / frameRate on, whatever the machine's speed; the movie loops.
TEST_F(EmulatorTest, ShotsFollowTheFrameRateAndComeBackInTheRequestedOrder) {
    std::vector<uint8_t> tags = SetBackground(kBackground);
    Append(tags, DefineRectangle(1, 50, 40, 80, 60, kRed));
    Append(tags, DefineRectangle(2, 50, 40, 80, 60, kGreen));
    Append(tags, PlaceObject2(1, 1));
    Append(tags, ShowFrame());
    Append(tags, RemoveObject2(1));
    Append(tags, PlaceObject2(2, 1));
    Append(tags, ShowFrame());
    const std::string movie = Write("two.swf", Movie(kWidth, kHeight, 10, 2, tags));

    std::string error;
    const std::vector<int> times = {150, 0, 50, 250, 350};
    const auto playback =
        ruffle_support::PlayMovie(movie, kWidth, kHeight, times, &error, Options());
    ASSERT_TRUE(playback.has_value()) << error;
    ASSERT_EQ(playback->shots.size(), times.size());
    const Rgb expected[] = {kGreen, kRed, kRed, kRed, kGreen};
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_EQ(playback->shots[i].atMs, times[i]);
        ExpectRectangleOnBackground(playback->shots[i], expected[i]);
    }
}

TEST_F(EmulatorTest, PageWrittenForTheMovieGetsThePlayerAndShowsTheMovie) {
    StillMovie("tour.swf");
    RuffleOptions options = Options();
    options.pagePath = Page("tour.htm", "tour.swf");
    std::string error;
    const auto playback = ruffle_support::PlayMovie("", kWidth, kHeight, {100}, &error, options);
    ASSERT_TRUE(playback.has_value()) << error;
    ExpectRectangleOnBackground(playback->shots.at(0), kRed);
}

// Missing files fail at once with a message that names them, not after the load timeout.
TEST_F(EmulatorTest, MissingMovieFailsQuicklyWithAClearMessage) {
    std::string error;
    EXPECT_TRUE(
        ruffle_support::PlayInEmulator((dir_ / "absent.swf").string(), kWidth, kHeight, {0}, &error)
            .empty());
    EXPECT_NE(error.find("absent.swf"), std::string::npos) << error;

    RuffleOptions options = Options();
    options.pagePath = Page("lost.htm", "lost.swf");
    options.timeoutMs = 60000;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(ruffle_support::PlayMovie("", kWidth, kHeight, {0}, &error, options).has_value());
    EXPECT_NE(error.find("lost.swf"), std::string::npos) << error;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(50));
}

} // namespace
