// clipmoor-cli export, run as a user would run it.
#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"
#include "tests/support/swf_check.h"
#include "tour_project.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and standard error
};

// Runs a shell command and collects its standard error, and its standard output too unless
// errorsOnly is set.
CommandResult RunShell(const std::string& command, bool errorsOnly = false) {
    CommandResult result;
    std::FILE* pipe = popen((command + (errorsOnly ? " 2>&1 >/dev/null" : " 2>&1")).c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
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
    EXPECT_EQ(message.output, "Can not create the file!\n");

    CommandResult noProject = RunShell(cli_ + " export " + Quote(folder_ / "nothing.fmo") + " " +
                                       Quote(folder_ / "x.swf"));
    EXPECT_NE(noProject.exitCode, 0);
    EXPECT_NE(noProject.output.find("Can not open the file!"), std::string::npos);

    EXPECT_EQ(RunShell(cli_ + " export " + Quote(folder_ / "tour.fmo")).exitCode, 2);
    EXPECT_EQ(RunShell(cli_ + " export a.fmo b.swf --fps 0").exitCode, 2);
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

} // namespace
