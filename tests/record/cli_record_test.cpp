#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"
#include "test_drawing.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct CliRun {
    pid_t pid;
    fs::path output;
};

// Starts `program` with stdout and stderr into one file.
CliRun StartProgram(const fs::path& program, const std::vector<std::string>& args,
                    const fs::path& output) {
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        dup2(fd, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return {pid, output};
}

// Exit status, or -1 when the program had to be killed after `limit`.
int WaitFor(const CliRun& run, std::chrono::seconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(run.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(run.pid, SIGKILL);
            waitpid(run.pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(20ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class CliRecord : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("clipmoor-record-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override {
        ClearObjects(project);
        fs::remove_all(folder);
    }
    CliRun Record(const std::vector<std::string>& args) {
        std::vector<std::string> all{"record"};
        all.insert(all.end(), args.begin(), args.end());
        return StartProgram(cli, all, folder / "output.txt");
    }

    fs::path cli = fs::path(CLIPMOOR_PROGRAM_DIR) / "clipmoor-cli";
    fs::path folder;
    Project project;
};

TEST_F(CliRecord, RecordsChangesAndPointerIntoAProjectThatLoadsBack) {
    TestDrawing drawing;
    unsigned long window = drawing.Window(40, 30, 200, 100, 0x336699);
    fs::path file = folder / "screen.fmo";
    CliRun run = Record({"--area", "239,129,40,30", "--fps", "20", "--seconds", "3",
                         "--compression", "40", file.string()});
    // Drawing starts once the recorder runs and has taken its first picture.
    auto until = std::chrono::steady_clock::now() + 15s;
    while (ReadFile(run.output).find("Recording") == std::string::npos &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(300ms);
    for (int i = 0; i < 5; ++i) {
        drawing.Fill(window, 20 * i, 10, 10, 10, 0xFF0000);
        std::system("xdotool mousemove_relative -- 7 3");
        std::this_thread::sleep_for(200ms);
    }
    ASSERT_EQ(WaitFor(run, 20s), 0) << ReadFile(run.output);
    drawing.Destroy(window);

    std::string output = ReadFile(run.output);
    EXPECT_NE(output.find("Recording Area: ( 40,30 ) - ( 239,129 ) "), std::string::npos) << output;
    EXPECT_NE(output.find("Skipped ticks: "), std::string::npos) << output;
    EXPECT_NE(output.find("Bytes held: "), std::string::npos) << output;

    Result loaded = LoadProject(project, file.string());
    ASSERT_TRUE(loaded) << loaded.message;
    EXPECT_EQ(project.MovieWidth, 200);
    EXPECT_EQ(project.MovieHeight, 100);
    EXPECT_EQ(project.FramesPerSecond, 20);
    EXPECT_EQ(project.Compression, 40);
    // The whole area first, then the drawn squares (a late tick may catch two at once).
    ASSERT_GE(project.Objects.Count(), 2) << output;
    const AnimObject& first = project.Objects[0];
    EXPECT_EQ(first.Start.Right - first.Start.Left, 200);
    EXPECT_EQ(first.Start.Time, 0);
    for (int32_t i = 1; i < project.Objects.Count(); ++i) {
        const AnimObject& square = project.Objects[i];
        EXPECT_EQ(square.Start.Top, 11) << i;
        EXPECT_EQ(square.Start.Bottom, 21) << i;
        EXPECT_GT(square.Start.Time, project.Objects[i - 1].Start.Time) << i;
        EXPECT_EQ(DibRow(square.Image, 0)[2], 0xFF) << i; // red at the lower left
    }
    EXPECT_EQ(project.Objects[1].Start.Left, 1);
    EXPECT_EQ(project.Objects[project.Objects.Count() - 1].Start.Right, 91);
    EXPECT_GE(project.PointerTrack.Count(), 3) << "the mouse hook saw no movement\n" << output;
}

TEST_F(CliRecord, InterruptStopsAndSaves) {
    fs::path file = folder / "interrupted.fmo";
    CliRun run = Record({"--area", "full", "--fps", "5", "--seconds", "600", file.string()});
    std::this_thread::sleep_for(1500ms);
    kill(run.pid, SIGINT);
    ASSERT_EQ(WaitFor(run, 10s), 0) << ReadFile(run.output);
    Result loaded = LoadProject(project, file.string());
    ASSERT_TRUE(loaded) << loaded.message;
    EXPECT_GE(project.Objects.Count(), 1);
    EXPECT_EQ(project.FramesPerSecond, 5);
    EXPECT_EQ(project.Compression, kDefaultCompression);
    EXPECT_GE(project.PointerTrack.Count(), 1);
}

TEST_F(CliRecord, RefusesBadArgumentsAndAMissingImageLibrary) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--area", "full", "--fps", "0", "--seconds", "1", "x.fmo"},
             {"--area", "1,2,3", "--fps", "5", "--seconds", "1", "x.fmo"},
             {"--area", "full", "--fps", "5", "--seconds", "-1", "x.fmo"},
             {"--area", "full", "--fps", "5", "--seconds", "1"},
             {"--area", "full", "--fps", "5", "--seconds", "1", "--compression", "101", "x.fmo"},
         }) {
        CliRun run = Record(args);
        EXPECT_EQ(WaitFor(run, 10s), 2) << ReadFile(run.output);
    }
    EXPECT_FALSE(fs::exists(folder / "x.fmo"));

    // A program folder without libPictavo.so.
    fs::path lonely = folder / "clipmoor-cli";
    fs::copy_file(cli, lonely);
    CliRun run = StartProgram(
        lonely,
        {"record", "--area", "full", "--fps", "5", "--seconds", "1", (folder / "y.fmo").string()},
        folder / "output.txt");
    EXPECT_EQ(WaitFor(run, 10s), 1);
    EXPECT_EQ(ReadFile(run.output), "Could not load file Pictavo.DLL\n");
    EXPECT_FALSE(fs::exists(folder / "y.fmo"));
}

} // namespace
