#include "cli_run.h"
#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"
#include "record/core/screen_capture.h"
#include "test_drawing.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// An X server of the test's own, to be killed under a recording.
struct PrivateXServer {
    pid_t pid = -1;
    std::string display; // ":N"

    PrivateXServer() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24",
                   "-nolisten", "tcp", "+extension", "XInputExtension", nullptr);
            _exit(127);
        }
        close(fds[1]);
        std::string number; // written with a line end once the server listens
        char c = 0;
        while (number.find('\n') == std::string::npos) {
            ssize_t got = read(fds[0], &c, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            number += c;
        }
        close(fds[0]);
        if (!number.empty() && number.back() == '\n')
            display = ":" + std::to_string(std::atoi(number.c_str()));
    }
    void Kill() {
        if (pid <= 0)
            return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
        std::string number = display.substr(1);
        unlink(("/tmp/.X" + number + "-lock").c_str());
        unlink(("/tmp/.X11-unix/X" + number).c_str());
    }
    ~PrivateXServer() { Kill(); }
};

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
    CliRun Record(const std::vector<std::string>& args,
                  const std::vector<std::string>& environment = {}) {
        std::vector<std::string> all{"record"};
        all.insert(all.end(), args.begin(), args.end());
        return StartProgram(cli, all, folder / "output.txt", environment);
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

TEST_F(CliRecord, AnUnusableFileIsRefusedBeforeRecording) {
    fs::path readOnly = folder / "read-only.fmo";
    std::ofstream(readOnly) << "old";
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    const struct {
        fs::path path;
        std::string reason;
    } cases[] = {
        {folder / "missing" / "x.fmo", "The folder does not exist."},
        {folder, "A folder has this name."},
        {readOnly, kReadOnlyFileReason},
    };
    for (const auto& c : cases) {
        CliRun run = Record({"--area", "full", "--fps", "5", "--seconds", "600", c.path.string()});
        EXPECT_EQ(WaitFor(run, 10s), 1) << c.path;
        std::string output = ReadFile(run.output);
        EXPECT_NE(output.find(CannotCreateFileMessage(c.reason)), std::string::npos) << output;
        EXPECT_EQ(output.find("Recording"), std::string::npos) << output;
    }
    EXPECT_EQ(ReadFile(readOnly), "old");
}

TEST_F(CliRecord, FurtherInterruptsDuringTheSaveDoNotCutItShort) {
    fs::path file = folder / "kept.fmo";
    CliRun run = Record({"--area", "full", "--fps", "30", "--seconds", "600", file.string()});
    ASSERT_TRUE(WaitForOutput(run, "Recording", 15s)) << ReadFile(run.output);
    std::this_thread::sleep_for(500ms);
    // Ctrl+C held down: interrupts keep coming while the recording is saved.
    int status = 0;
    auto until = std::chrono::steady_clock::now() + 30s;
    while (waitpid(run.pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < until) {
        kill(run.pid, SIGINT);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal\n" << ReadFile(run.output);
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadFile(run.output);
    Result loaded = LoadProject(project, file.string());
    ASSERT_TRUE(loaded) << loaded.message;
    EXPECT_GE(project.Objects.Count(), 1);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"kept.fmo", "output.txt"})) << "a temporary file";
}

TEST_F(CliRecord, ASaveThatFailsGoesToAFileInTheHomeFolder) {
    fs::path home = folder / "home";
    fs::path gone = folder / "gone";
    fs::create_directories(home);
    fs::create_directories(gone);
    CliRun run =
        Record({"--area", "full", "--fps", "5", "--seconds", "600", (gone / "x.fmo").string()},
               {"HOME=" + home.string()});
    ASSERT_TRUE(WaitForOutput(run, "Recording", 15s)) << ReadFile(run.output);
    std::this_thread::sleep_for(500ms);
    fs::remove_all(gone);
    kill(run.pid, SIGINT);
    EXPECT_EQ(WaitFor(run, 20s), 1);
    std::string output = ReadFile(run.output);
    EXPECT_NE(output.find(CannotCreateFileMessage("The folder does not exist.")), std::string::npos)
        << output;
    std::vector<fs::path> saved(fs::directory_iterator(home), fs::directory_iterator{});
    ASSERT_EQ(saved.size(), 1u) << output;
    EXPECT_EQ(saved[0].filename().string().rfind("clipmoor-recording-", 0), 0u);
    EXPECT_NE(output.find("The recording was saved to " + saved[0].string() + " instead."),
              std::string::npos)
        << output;
    Result loaded = LoadProject(project, saved[0].string());
    ASSERT_TRUE(loaded) << loaded.message;
    EXPECT_GE(project.Objects.Count(), 1);
}

TEST_F(CliRecord, TheXServerGoingAwayStopsTheRecordingAndSavesIt) {
    PrivateXServer server;
    ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";
    fs::path file = folder / "cut.fmo";
    CliRun run = Record({"--area", "full", "--fps", "10", "--seconds", "600", file.string()},
                        {"DISPLAY=" + server.display});
    ASSERT_TRUE(WaitForOutput(run, "Recording", 15s)) << ReadFile(run.output);
    std::this_thread::sleep_for(500ms);
    server.Kill();
    EXPECT_EQ(WaitFor(run, 20s), 0) << ReadFile(run.output);
    std::string output = ReadFile(run.output);
    EXPECT_NE(output.find(kDisplayLostMessage), std::string::npos) << output;
    Result loaded = LoadProject(project, file.string());
    ASSERT_TRUE(loaded) << loaded.message << "\n" << output;
    EXPECT_EQ(project.MovieWidth, 640);
    EXPECT_GE(project.Objects.Count(), 1);
}

} // namespace
