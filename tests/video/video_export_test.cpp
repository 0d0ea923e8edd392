// Videos written by clipmoor-cli export, checked with Debian's ffprobe and ffmpeg: codec, size,
// frame count, duration and the colours of decoded frames.
#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"
#include "tests/support/object_state.h"
#include "tests/support/run_shell.h"
#include "video/video_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

class VideoExportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }

    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("clipmoor-video-test-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        // Two seconds at 10 frames a second: a red square throughout, a blue one from 1 s on, a
        // green picture throughout.
        project_.MovieWidth = kWidth;
        project_.MovieHeight = kHeight;
        project_.FramesPerSecond = 10;
        AddSquare(BoxState(20, 20, 100, 100, 0, 0x0000FF));
        AddSquare(BoxState(40, 140, 120, 220, 1000, 0xFF0000));
        DibImage green{};
        Pictavo().newdib(&green, 100, 100, 24, nullptr, 0);
        for (int32_t y = 0; y < 100; ++y)
            for (int32_t x = 0; x < 100; ++x)
                DibRow(green, y)[3 * x + 1] = 200;
        AnimObject* picture = AddPictureObject(project_, green);
        picture->Start = BoxState(200, 20, 300, 120, 0);
        picture->End = BoxState(200, 20, 300, 120, 2000);
        ASSERT_TRUE(SaveProject(project_, ProjectPath()).ok);
    }
    void TearDown() override {
        ClearObjects(project_);
        fs::remove_all(folder_);
    }

    void AddSquare(const ObjectState& state) {
        AnimObject* square = AddVectorObject(project_);
        square->Start = square->End = state;
        square->RemoveWhenFinished = false;
    }
    std::string ProjectPath() const { return (folder_ / "project.fmo").string(); }

    // ffprobe's answers for the first video stream and the file.
    static std::map<std::string, std::string> Probe(const std::string& path) {
        const CommandResult probe =
            RunShell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                     "stream=codec_name,width,height,nb_read_frames:format=duration -of "
                     "default=nw=1 '" +
                     path + "'");
        std::map<std::string, std::string> values;
        std::istringstream lines(probe.output);
        for (std::string line; std::getline(lines, line);)
            if (const size_t eq = line.find('='); eq != std::string::npos)
                values[line.substr(0, eq)] = line.substr(eq + 1);
        return values;
    }

    // Frame k decoded to 8-bit RGB.
    static std::string DecodedFrame(const std::string& path, int k) {
        return RunShell("ffmpeg -v error -i '" + path + "' -vf 'select=eq(n\\," +
                            std::to_string(k) + ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 - " +
                            "2>/dev/null",
                        false)
            .output;
    }

    Project project_;
    fs::path folder_;
    const std::string cli_ = CLIPMOOR_PROGRAM_DIR "/clipmoor-cli";
};

testing::AssertionResult ColorAt(const std::string& rgb, int x, int y, int r, int g, int b) {
    const size_t at = 3 * (static_cast<size_t>(y) * kWidth + x);
    if (rgb.size() != 3u * kWidth * kHeight)
        return testing::AssertionFailure() << "decoded " << rgb.size() << " bytes";
    const int got[3] = {static_cast<uint8_t>(rgb[at]), static_cast<uint8_t>(rgb[at + 1]),
                        static_cast<uint8_t>(rgb[at + 2])};
    const int want[3] = {r, g, b};
    for (int c = 0; c < 3; ++c)
        if (std::abs(got[c] - want[c]) > 40)
            return testing::AssertionFailure()
                   << "(" << x << ", " << y << ") is " << got[0] << " " << got[1] << " " << got[2];
    return testing::AssertionSuccess();
}

TEST_F(VideoExportTest, EveryFormatHoldsTheMovieFrameForFrame) {
    struct Case {
        const char* file;
        const char* options;
        const char* codec;
    };
    for (const Case& c : {Case{"out.mp4", "", "h264"}, Case{"out.webm", "", "vp9"},
                          Case{"out.gif", "", "gif"}, Case{"out.video", "--format webm", "vp9"}}) {
        SCOPED_TRACE(c.file);
        const std::string path = (folder_ / c.file).string();
        const CommandResult run =
            RunShell(cli_ + " export '" + ProjectPath() + "' '" + path + "' " + c.options);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        auto probe = Probe(path);
        EXPECT_EQ(probe["codec_name"], c.codec);
        EXPECT_EQ(probe["width"], std::to_string(kWidth));
        EXPECT_EQ(probe["height"], std::to_string(kHeight));
        EXPECT_EQ(probe["nb_read_frames"], "21");
        EXPECT_NEAR(std::stod(probe["duration"]), 2.1, 0.011);

        const std::string early = DecodedFrame(path, 5);
        EXPECT_TRUE(ColorAt(early, 60, 60, 255, 0, 0)) << "red square";
        EXPECT_TRUE(ColorAt(early, 80, 180, 255, 255, 255)) << "no blue square yet";
        EXPECT_TRUE(ColorAt(early, 250, 70, 0, 200, 0)) << "green picture";
        EXPECT_TRUE(ColorAt(DecodedFrame(path, 15), 80, 180, 0, 0, 255)) << "blue square";
    }
    // With MP4 the index comes first, so that the video plays while it loads.
    const CommandResult atoms =
        RunShell("grep -boa -e moov -e mdat '" + (folder_ / "out.mp4").string() + "' | head -1");
    EXPECT_NE(atoms.output.find("moov"), std::string::npos) << atoms.output;
}

TEST_F(VideoExportTest, FailedAndCancelledExportsLeaveNoFile) {
    const CommandResult unwritable = RunShell(cli_ + " export '" + ProjectPath() + "' '" +
                                              (folder_ / "no/out.mp4").string() + "'");
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.output.find("Can not create the file"), std::string::npos)
        << unwritable.output;
    // A read-only file of that name stays as it was, as a movie save leaves it.
    const fs::path readOnly = folder_ / "kept.mp4";
    { std::ofstream(readOnly) << "old"; }
    fs::permissions(readOnly, fs::perms::owner_read);
    const CommandResult refused =
        RunShell(cli_ + " export '" + ProjectPath() + "' '" + readOnly.string() + "'");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find("read-only"), std::string::npos) << refused.output;
    EXPECT_EQ(fs::file_size(readOnly), 3u);
    fs::remove(readOnly);

    for (VideoFormat format : {VideoFormat::Mp4, VideoFormat::Gif}) {
        const Result cancelled =
            ExportVideo(project_, (folder_ / "cancelled").string(), {format, 10, 25},
                        [](int32_t done, int32_t) { return done < 5; });
        EXPECT_EQ(cancelled.message, kVideoCancelledMessage);
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder_))
        left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"project.fmo"});
}

} // namespace
