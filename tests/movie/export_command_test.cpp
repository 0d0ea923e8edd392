// clipmoor-cli export, run as a user would run it.
#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"
#include "movie/player_files.h"
#include "swf_reader.h"
#include "tests/support/object_state.h"
#include "tests/support/run_shell.h"
#include "tests/support/swf_check.h"
#include "tour_project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The stage's right and bottom edges in twips, from the header's frame rectangle.
std::pair<int32_t, int32_t> StageSize(const std::vector<uint8_t>& movie) {
    BitReader reader(movie, 8);
    const uint32_t bits = reader.Bits(5);
    reader.Signed(bits);
    const int32_t right = reader.Signed(bits);
    reader.Signed(bits);
    return {right, reader.Signed(bits)};
}

class ExportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/"));
        folder_ = fs::temp_directory_path() / ("clipmoor-export-test-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
    const std::string cli_ = CLIPMOOR_PROGRAM_DIR "/clipmoor-cli";
};

TEST_F(ExportCommandTest, EveryKindOfObjectBecomesAMovieAndAPage) {
    Project project;
    MakeTourProject(project);
    ASSERT_TRUE(SaveProject(project, (folder_ / "tour.fmo").string()));
    ClearObjects(project);

    CommandResult result = RunShell(cli_ + " export " + Quote(folder_ / "tour.fmo") + " " +
                                    Quote(folder_ / "tour.swf") + " --html --compression 10");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("tour.swf"), std::string::npos);
    EXPECT_NE(result.output.find("tour.htm"), std::string::npos);
    EXPECT_NE(result.output.find("31 frames at 10"), std::string::npos) << result.output;
    EXPECT_TRUE(IndependentParserAccepts((folder_ / "tour.swf").string()));

    std::ifstream page(folder_ / "tour.htm", std::ios::binary);
    std::stringstream text;
    text << page.rdbuf();
    const std::string html = text.str();
    size_t lines = 0;
    for (size_t at = html.find("\r\n"); at != std::string::npos; at = html.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 10u);
    EXPECT_NE(html.find("<param name=\"movie\" value=\"tour.swf\">"), std::string::npos);
    EXPECT_NE(html.find("width=\"320\" height=\"200\""), std::string::npos);
}

TEST_F(ExportCommandTest, PlayerPutsTheLoadingLineOnThePageAndThePlayerBesideIt) {
    const std::string player = CLIPMOOR_PROGRAM_DIR "/player";
    const std::vector<std::string> names = PlayerFileNames(player);
    if (names.empty())
        GTEST_SKIP() << "the browser player is not installed in the program folder";
    const std::string project = Quote(fs::path(CLIPMOOR_SOURCE_DIR) / "examples" / "tour.fmo");
    EXPECT_EQ(RunShell(cli_ + " export " + project + " " + Quote(folder_ / "a.swf") + " --player")
                  .exitCode,
              2)
        << "--player goes with --html";

    CommandResult result = RunShell(cli_ + " export " + project + " " +
                                    Quote(folder_ / "tour.swf") + " --html --player");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    std::ifstream page(folder_ / "tour.htm", std::ios::binary);
    std::string first;
    std::getline(page, first);
    EXPECT_EQ(first, PlayerScriptLine() + "\r");
    for (const std::string& name : names)
        EXPECT_EQ(FileBytes(folder_ / name), FileBytes(fs::path(player) / name)) << name;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_))
        EXPECT_NE(entry.path().extension(), ".map") << entry.path();
}

TEST_F(ExportCommandTest, TheShippedExampleExports) {
    CommandResult result = RunShell(cli_ + " export " +
                                    Quote(fs::path(CLIPMOOR_SOURCE_DIR) / "examples" / "tour.fmo") +
                                    " " + Quote(folder_ / "out.swf") + " --fps 5");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(IndependentParserAccepts((folder_ / "out.swf").string()));
    EXPECT_FALSE(fs::exists(folder_ / "out.htm"));
}

TEST_F(ExportCommandTest, FailuresGoToStandardErrorWithNonZeroExit) {
    Project project;
    MakeTourProject(project);
    ASSERT_TRUE(SaveProject(project, (folder_ / "tour.fmo").string()));
    ClearObjects(project);

    CommandResult message = RunShell(cli_ + " export " + Quote(folder_ / "tour.fmo") + " " +
                                         Quote(folder_ / "missing" / "tour.swf"),
                                     true);
    EXPECT_NE(message.exitCode, 0);
    EXPECT_EQ(message.output, "Can not create the file! (The folder does not exist.)\n");

    CommandResult noProject = RunShell(cli_ + " export " + Quote(folder_ / "nothing.fmo") + " " +
                                       Quote(folder_ / "x.swf"));
    EXPECT_NE(noProject.exitCode, 0);
    EXPECT_NE(noProject.output.find("Can not open the file!"), std::string::npos);

    EXPECT_EQ(RunShell(cli_ + " export " + Quote(folder_ / "tour.fmo")).exitCode, 2);
    EXPECT_EQ(RunShell(cli_ + " export a.fmo b.swf --fps five").exitCode, 2);
    CommandResult badRate = RunShell(cli_ + " export " + Quote(folder_ / "tour.fmo") + " " +
                                         Quote(folder_ / "x.swf") + " --fps 0",
                                     true);
    EXPECT_EQ(badRate.exitCode, 1);
    EXPECT_EQ(badRate.output, "The frame rate must be between 1 and 120 frames per second.\n");
    EXPECT_EQ(RunShell(cli_ + " export a.fmo b.swf --compression 101").exitCode, 2);

    // Without the image library next to the program nothing can be built.
    fs::create_directories(folder_ / "bin");
    fs::copy_file(cli_, folder_ / "bin" / "clipmoor-cli");
    CommandResult noLibrary =
        RunShell(Quote(folder_ / "bin" / "clipmoor-cli") + " export " +
                 Quote(folder_ / "tour.fmo") + " " + Quote(folder_ / "x.swf"));
    EXPECT_EQ(noLibrary.exitCode, 1);
    EXPECT_EQ(noLibrary.output, "Could not load file Pictavo.DLL\n");
}

// The tour project with one value set beyond what a movie holds (or just inside it). Objects 0
// to 2 are recorded frames, 3 the title, 4 the rectangle, 5 the ellipse, 6 the picture.
TEST_F(ExportCommandTest, HostileProjectsGiveSoundMoviesOrRefusalsThatKeepThePreviousMovie) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kWrapsInTwips = 53687092; // x 20 no longer fits the 31-bit fields
    const struct {
        const char* name;
        std::function<void(Project&)> change;
        const char* refusal; // part of the message, or null when the movie must be written
    } cases[] = {
        {"wide", [](Project& p) { p.MovieWidth = kWrapsInTwips; }, "The movie size"},
        {"wraps", [](Project& p) { p.MovieWidth = 107374183; }, "The movie size"},
        {"negative", [](Project& p) { p.MovieHeight = -200; }, "The movie size"},
        {"empty", [](Project& p) { p.MovieWidth = 0; }, "The movie size"},
        {"huge", [](Project& p) { p.MovieHeight = kMax; }, "The movie size"},
        {"far box", [](Project& p) { p.Objects[4].End.Left = kWrapsInTwips; },
         "Object 4 (Rectangle)"},
        {"inverted", [](Project& p) { p.Objects[5].Start.Right = kMin; }, "Object 5 (Ellipse)"},
        {"font", [](Project& p) { p.Objects[3].End.FontSize = 100000; },
         "Object 3 (Text): its font"},
        {"minus font", [](Project& p) { p.Objects[3].Start.FontSize = -5; }, "Object 3 (Text)"},
        {"enlarged", [](Project& p) { p.Objects[6].End = BoxState(0, 0, 9000000, 9000000, 3000); },
         "Object 6 (Picture)"},
        {"pointer", [](Project& p) { p.PointerTrack[3].X = kMax; }, "The pointer track"},
        {"endless", [](Project& p) { p.Objects[4].End.Time = kMax; }, "too long"},
        {"near the limit",
         [](Project& p) {
             p.MovieWidth = 10000000;
             for (int32_t i : {4, 5}) {
                 p.Objects[i].Start = BoxState(-10000000, -10000000, 10000000, 10000000, 0);
                 p.Objects[i].End.Rotation = 450;
             }
             p.Objects[3].End.Left = 10000000;
         },
         nullptr},
        {"extreme values",
         [](Project& p) {
             p.Objects[4].Start.Rotation = kMin;
             p.Objects[4].End.Rotation = kMax;
             p.Objects[5].End.Transparency = kMin;
             p.Objects[3].End.Transparency = kMax;
             p.Objects[5].Start.Time = kMin;
             p.Objects[3].End.FontSize = 3276;
         },
         nullptr},
        {"started before", [](Project& p) { p.Objects[4].Start.Time = -500; }, nullptr},
    };
    const fs::path movie = folder_ / "out.swf";
    const std::string previous = "the previous movie";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Project project;
        MakeTourProject(project);
        c.change(project);
        ASSERT_TRUE(SaveProject(project, (folder_ / "hostile.fmo").string()));
        ClearObjects(project);
        std::ofstream(movie, std::ios::binary) << previous;

        CommandResult result = RunShell(cli_ + " export " + Quote(folder_ / "hostile.fmo") + " " +
                                        Quote(movie) + " --html");
        if (c.refusal) {
            EXPECT_EQ(result.exitCode, 1) << result.output;
            EXPECT_NE(result.output.find(c.refusal), std::string::npos) << result.output;
            const std::vector<uint8_t> kept = FileBytes(movie);
            EXPECT_TRUE(std::string(kept.begin(), kept.end()) == previous) << "replaced";
            continue;
        }
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_TRUE(IndependentParserAccepts(movie.string()));
        const auto [right, bottom] = StageSize(FileBytes(movie));
        EXPECT_GT(right, 0);
        EXPECT_GT(bottom, 0);
        if (std::string(c.name) == "started before") {
            // On stage from the first frame: its shape comes before the first frame ends.
            const std::vector<std::string> tags = TagNames(ReadSwf(movie.string()));
            auto firstShow = std::find(tags.begin(), tags.end(), "Show");
            auto firstMorph = std::find_if(tags.begin(), tags.end(), [](const std::string& t) {
                return t.starts_with("Morph");
            });
            EXPECT_LT(firstMorph, firstShow);
        }
    }
}

TEST_F(ExportCommandTest, APictureThatCannotBeEncodedRefusesTheMovie) {
    Project project;
    MakeTourProject(project);
    ASSERT_TRUE(SaveProject(project, (folder_ / "tour.fmo").string()));
    ClearObjects(project);
    std::ofstream(folder_ / "out.swf") << "the previous movie";

    CommandResult result =
        RunShell("TMPDIR=" + Quote(folder_ / "missing") + " " + cli_ + " export " +
                 Quote(folder_ / "tour.fmo") + " " + Quote(folder_ / "out.swf"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("Object 0 (Picture): the picture can not be encoded"),
              std::string::npos)
        << result.output;
    std::ifstream kept(folder_ / "out.swf");
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "the previous movie");
}

} // namespace
