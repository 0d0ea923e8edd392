// The desktop program on a headless Wayland desktop (tests/wayland/with-desktop.sh): a
// native Wayland window that records through the screen-cast portal, started and stopped
// by `clipmoor --toggle-recording`.
#include "../record/cli_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const fs::path kProgram = fs::path(CLIPMOOR_PROGRAM_DIR) / "clipmoor";

TEST(WaylandWindow, ToggleRecordingStartsAndStopsARecordingThroughThePortal) {
    ASSERT_NE(std::getenv("WAYLAND_DISPLAY"), nullptr) << "run by tests/wayland/with-desktop.sh";
    const fs::path folder =
        fs::temp_directory_path() / ("clipmoor-wayland-" + std::to_string(getpid()));
    fs::create_directories(folder);
    auto toggle = [&](const std::string& name) {
        CliRun run = StartProgram(kProgram, {"--toggle-recording"}, folder / name);
        const int status = WaitFor(run, 60s);
        return std::make_pair(status, ReadFile(run.output));
    };

    EXPECT_EQ(toggle("none.txt"),
              std::make_pair(1, std::string("Clipmoor is not running: there is no recording to "
                                            "start or stop.\n")));

    const fs::path log = folder / "ui.log";
    CliRun window = StartProgram(
        kProgram, {}, folder / "window.txt",
        {"CLIPMOOR_TEST_LOG=" + log.string(),
         "CLIPMOOR_SCREENCAST_TOKEN=" + std::string(std::getenv("CLIPMOOR_TEST_SCREENCAST_TOKEN")),
         "XDG_STATE_HOME=" + (folder / "state").string()});
    auto until = std::chrono::steady_clock::now() + 60s;
    while (ReadFile(log).find("shown|") == std::string::npos &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(50ms);
    ASSERT_NE(ReadFile(log).find("shown|"), std::string::npos) << ReadFile(folder / "window.txt");

    EXPECT_EQ(toggle("start.txt"), std::make_pair(0, std::string("Clipmoor is recording.\n")))
        << ReadFile(log);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(toggle("stop.txt"), std::make_pair(0, std::string("Clipmoor is not recording.\n")));
    // The desktop's token came back through the window's cast, and no error box was shown.
    EXPECT_TRUE(fs::exists(folder / "state" / "clipmoor" / "screencast-token"));
    EXPECT_EQ(ReadFile(log).find("message|"), std::string::npos) << ReadFile(log);

    kill(window.pid, SIGTERM);
    WaitFor(window, 10s);
    fs::remove_all(folder);
}

} // namespace
