#include "record/core/capture_choice.h"
#include "record/core/screencast_permission.h"
#include "record/core/stream_pixels.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

TEST(StreamPixels, EveryLayoutLandsAsBgrxInsideTheBoxOnly) {
    // Two pixels a row and padding: the stream's stride is its own.
    const uint8_t source[] = {1, 2,  3,  4,  5,  6,  7,  8,  0xEE, 0xEE, //
                              9, 10, 11, 12, 13, 14, 15, 16, 0xEE, 0xEE};
    const struct {
        StreamPixelLayout layout;
        uint8_t firstPixel[4];
    } cases[] = {
        {StreamPixelLayout::BGRx, {1, 2, 3, 4}},
        {StreamPixelLayout::BGRA, {1, 2, 3, 4}},
        {StreamPixelLayout::RGBx, {3, 2, 1, 4}},
        {StreamPixelLayout::RGBA, {3, 2, 1, 4}},
    };
    for (const auto& c : cases) {
        uint8_t target[16] = {};
        CopyStreamBox(source, 10, c.layout, target, 8, {1, 1, 1, 1});
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(target[i], 0) << "outside the box, byte " << i;
        CopyStreamBox(source, 10, c.layout, target, 8, {0, 0, 1, 1});
        EXPECT_EQ(std::vector<uint8_t>(target, target + 4),
                  std::vector<uint8_t>(c.firstPixel, c.firstPixel + 4));
        // Row 1, pixel 1 comes from the source's second row, past its padding.
        const bool swapped = c.firstPixel[0] == 3;
        EXPECT_EQ(target[12], swapped ? 15 : 13);
        EXPECT_EQ(target[14], swapped ? 13 : 15);
    }
}

TEST(StreamPixels, BoxesSharingRowsAreJoinedAndClipped) {
    using Boxes = std::vector<PixelBox>;
    const struct {
        Boxes in, out;
    } cases[] = {
        {{}, {}},
        {{{0, 10, 5, 12}, {50, 0, 60, 3}}, {{50, 0, 60, 3}, {0, 10, 5, 12}}},
        // A chain: the second touches the first, the third the joined pair.
        {{{0, 0, 1, 4}, {10, 4, 11, 8}, {20, 8, 21, 9}}, {{0, 0, 21, 9}}},
        {{{0, 0, 1, 1}, {5, 2, 6, 2}}, {{0, 0, 1, 1}, {5, 2, 6, 2}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinBoxesSharingRows(c.in), c.out);

    EXPECT_EQ(ClipBox({-5, -5, 3, 200}, 10, 100), (PixelBox{0, 0, 3, 99}));
    EXPECT_EQ(ClipBox({10, 0, 12, 5}, 10, 100), std::nullopt);
}

TEST(CaptureChoice, TheSessionDecidesUnlessAskedOtherwise) {
    using B = CaptureBackend;
    const struct {
        std::optional<B> requested;
        const char* sessionType;
        const char* wayland;
        bool x11Opens;
        B expected;
    } cases[] = {
        {std::nullopt, "x11", "", true, B::X11},
        {std::nullopt, "wayland", "wayland-0", true, B::Portal}, // XWayland shows no desktop
        {std::nullopt, "", "wayland-0", false, B::Portal},
        {std::nullopt, "", "wayland-0", true, B::X11},
        {std::nullopt, "tty", "", false, B::X11}, // the X error is the message then
        {B::X11, "wayland", "wayland-0", true, B::X11},
        {B::Portal, "x11", "", true, B::Portal},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseCaptureBackend(c.requested, c.sessionType, c.wayland, c.x11Opens),
                  c.expected)
            << c.sessionType << " " << c.wayland;
    EXPECT_EQ(ParseCaptureBackend("portal"), B::Portal);
    EXPECT_EQ(ParseCaptureBackend("x11"), B::X11);
    EXPECT_EQ(ParseCaptureBackend("X11"), std::nullopt);
}

TEST(CaptureChoice, PointerMetadataIsPreferredToDrawnPointers) {
    EXPECT_EQ(ChooseCursorMode(7), PortalCursor::Metadata);
    EXPECT_EQ(ChooseCursorMode(3), PortalCursor::Embedded);
    EXPECT_EQ(ChooseCursorMode(1), PortalCursor::Hidden);
}

TEST(ScreenCastToken, LivesInTheStateFolderForTheUserOnly) {
    EXPECT_EQ(ScreenCastTokenPath("/s", "/h"), "/s/clipmoor/screencast-token");
    EXPECT_EQ(ScreenCastTokenPath("relative", "/h"), "/h/.local/state/clipmoor/screencast-token");
    EXPECT_EQ(ScreenCastTokenPath(nullptr, nullptr), "");

    const fs::path state =
        fs::temp_directory_path() / ("clipmoor-token-" + std::to_string(getpid()));
    const std::string path = ScreenCastTokenPath(state.c_str(), nullptr);
    EXPECT_EQ(LoadScreenCastToken(path), "");
    ASSERT_TRUE(StoreScreenCastToken(path, "first"));
    ASSERT_TRUE(StoreScreenCastToken(path, "second"));
    EXPECT_EQ(LoadScreenCastToken(path), "second");
    struct stat file {
    }, folder{};
    ASSERT_EQ(stat(path.c_str(), &file), 0);
    ASSERT_EQ(stat((state / "clipmoor").c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    fs::remove_all(state);
}

// A session bus of the test's own that knows no services at all.
struct PrivateBus {
    pid_t pid = -1;
    fs::path folder;
    std::string address;
    explicit PrivateBus() {
        folder = fs::temp_directory_path() / ("clipmoor-bus-" + std::to_string(getpid()));
        fs::create_directories(folder);
        std::ofstream(folder / "bus.conf")
            << "<busconfig><type>session</type><listen>unix:path=" << (folder / "socket").string()
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
               "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
               "<allow own=\"*\"/></policy></busconfig>";
        address = "unix:path=" + (folder / "socket").string();
        pid = fork();
        if (pid == 0) {
            std::string config = "--config-file=" + (folder / "bus.conf").string();
            freopen("/dev/null", "w", stderr); // its notes on file limits
            execlp("dbus-daemon", "dbus-daemon", "--nofork", config.c_str(), nullptr);
            _exit(127);
        }
        for (int i = 0; i < 100 && !fs::exists(folder / "socket"); ++i)
            std::this_thread::sleep_for(50ms);
    }
    ~PrivateBus() {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        fs::remove_all(folder);
    }
};

TEST(ScreenCastPortal, NoBusOrNoPortalIsSaidPlainly) {
    PrivateBus bus;
    ASSERT_TRUE(fs::exists(bus.folder / "socket")) << "dbus-daemon did not start";
    const struct {
        std::string address;
        const char* message;
    } cases[] = {
        {"unix:path=/nonexistent/bus", "the session bus cannot be reached"},
        {bus.address, "This desktop offers no screen-cast portal"},
    };
    for (const auto& c : cases) {
        setenv("DBUS_SESSION_BUS_ADDRESS", c.address.c_str(), 1);
        try {
            StartPortalCapture("", "", 2s);
            ADD_FAILURE() << "a capture started on " << c.address;
        } catch (const CaptureError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("Nothing was recorded."), std::string::npos);
        }
    }
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

} // namespace
