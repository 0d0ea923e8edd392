// Screen recording costs on the X display in $DISPLAY: the parts of one tick (capture
// through shared memory and plain requests, comparison, conversion of the changed box)
// and whole recordings at 30, 60 and 120 frames per second while a window moves, with
// the CPU time of ffmpeg's x11grab capturing the same display at the same rate as the
// baseline.
//
//   capture [--seconds S] [--long] [--whole-area]
//     --long: 10 s per rate (default 3 s); --whole-area: recordings read and compare the
//     whole area every tick instead of only what the server reports as drawn.
#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "record/core/recorder.h"
#include "record/core/screen_capture.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

double NowSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Median milliseconds of `runs` calls.
template <typename Work> double MedianMs(int runs, Work work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double start = NowSeconds(CLOCK_MONOTONIC);
        work();
        times.push_back((NowSeconds(CLOCK_MONOTONIC) - start) * 1000.0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Moves a window across the screen at 60 Hz on its own connection, so that every
// tick has a changed box of a few hundred pixels square.
class MovingWindow {
public:
    MovingWindow() : thread_([this] { Run(); }) {}
    ~MovingWindow() {
        stop_ = true;
        thread_.join();
    }

private:
    void Run() {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return;
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = 0xC04020;
        Window window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 400, 300, 0,
                                      CopyFromParent, InputOutput, CopyFromParent,
                                      CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(display, window);
        int width = DisplayWidth(display, DefaultScreen(display)) - 400;
        for (int step = 0; !stop_; ++step) {
            XMoveWindow(display, window, (step * 7) % width, 100 + (step * 3) % 300);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::microseconds(16667));
        }
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void MeasureTickParts(const CaptureArea& area) {
    ScreenCapture capture(nullptr, ScreenCapture::Transfer::SharedMemoryIfAvailable,
                          ScreenCapture::ChangeTracking::ReadWholeArea);
    capture.Begin(area);
    if (!capture.UsesSharedMemory())
        std::printf("  (the server offers no shared memory: plain requests in both rows)\n");
    PixelPlane previous = capture.Capture();
    PixelPlane current = capture.Capture();
    double shm = MedianMs(100, [&] { capture.Capture(); });
    double compareStill = MedianMs(100, [&] { FindChangedBox(previous, current); });
    PixelBox whole{0, 0, current.width - 1, current.height - 1};
    int64_t stride = (int64_t(current.width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> picture(size_t(stride * current.height));
    double convert =
        MedianMs(50, [&] { CopyBoxToBottomUpBgr(current, whole, picture.data(), stride); });
    // Every row differs in its middle pixel: each row is read about twice over.
    std::vector<uint8_t> changed(size_t(current.bytesPerRow * current.height));
    std::memcpy(changed.data(), current.pixels, changed.size());
    for (int32_t y = 0; y < current.height; ++y) {
        changed[size_t(y * current.bytesPerRow + current.width / 2 * 4)] ^= 1;
    }
    PixelPlane moving = current;
    moving.pixels = changed.data();
    double compareMoving = MedianMs(50, [&] { FindChangedBox(current, moving); });
    capture.End();

    ScreenCapture plain(nullptr, ScreenCapture::Transfer::PlainRequests);
    plain.Begin(area);
    double plainMs = MedianMs(30, [&] { plain.Capture(); });
    plain.End();

    // A still screen when only what was drawn is read: one round trip, no pixels.
    ScreenCapture tracked;
    tracked.Begin(area);
    tracked.Capture();
    double trackedStill = MedianMs(100, [&] { tracked.Capture(); });
    bool tracking = tracked.TracksChanges();
    tracked.End();

    std::printf("  capture, shared memory (XShmGetImage)   %7.3f ms\n", shm);
    std::printf("  capture, plain requests (XGetImage)     %7.3f ms\n", plainMs);
    std::printf("  compare, still screen                   %7.3f ms\n", compareStill);
    std::printf("  compare, every row changed              %7.3f ms\n", compareMoving);
    std::printf("  convert whole area to bottom-up BGR     %7.3f ms\n", convert);
    std::printf("  tick, still screen (capture + compare)  %7.3f ms\n", shm + compareStill);
    if (tracking)
        std::printf("  tick, still screen, reading only drawn  %7.3f ms\n", trackedStill);
    else
        std::printf("  (the server offers no DAMAGE: every tick reads the whole area)\n");
}

struct RecordingRun {
    int64_t ticks = 0;
    int64_t skipped = 0;
    int64_t frames = 0;
    int64_t bytes = 0;
    double cpuSeconds = 0;
    double wallSeconds = 0;
    double tickMedianMs = 0;  // wall time of one Tick()
    double firstTickMs = 0;   // stores the whole area
    double tickSlowestMs = 0; // of the later ticks
};

// The same loop as clipmoor-cli record: precise sleeps to the next due tick.
RecordingRun Record(ScreenCapture& capture, const CaptureArea& area, int fps, double seconds) {
    Project project;
    SteadyRecorderClock clock;
    Recorder recorder(project, capture, clock);
    RecordingRun run;
    std::vector<double> tickMs;
    tickMs.reserve(size_t(fps * seconds) + 16);
    double cpuStart = NowSeconds(CLOCK_THREAD_CPUTIME_ID);
    int64_t start = clock.NowMs();
    int64_t deadline = start + int64_t(seconds * 1000);
    recorder.Start(area, capture.PointerPosition(), fps);
    while (recorder.Recording()) {
        int64_t now = clock.NowMs();
        if (now >= deadline)
            break;
        int64_t due = recorder.NextTickDueMs();
        if (now < due) {
            timespec until{};
            until.tv_sec = std::min(due, deadline) / 1000;
            until.tv_nsec = (std::min(due, deadline) % 1000) * 1000000;
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
            continue;
        }
        double tickStart = NowSeconds(CLOCK_MONOTONIC);
        if (recorder.Tick() == TickOutcome::Stopped)
            std::printf("  stopped: %s\n", recorder.StopMessage().c_str());
        tickMs.push_back((NowSeconds(CLOCK_MONOTONIC) - tickStart) * 1000.0);
        ++run.ticks;
    }
    run.wallSeconds = double(clock.NowMs() - start) / 1000.0;
    recorder.Stop();
    run.cpuSeconds = NowSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
    run.skipped = recorder.SkippedTicks();
    run.frames = recorder.FramesRecorded();
    if (!tickMs.empty()) {
        run.firstTickMs = tickMs.front();
        tickMs.erase(tickMs.begin());
    }
    if (!tickMs.empty()) {
        std::sort(tickMs.begin(), tickMs.end());
        run.tickMedianMs = tickMs[tickMs.size() / 2];
        run.tickSlowestMs = tickMs.back();
    }
    run.bytes = recorder.PictureBytes();
    ClearObjects(project);
    return run;
}

bool FfmpegInstalled() {
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

// CPU seconds (user + system) of ffmpeg grabbing the screen into a null output.
double FfmpegCpuSeconds(int width, int height, int fps, double seconds) {
    const char* display = std::getenv("DISPLAY");
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::string rate = std::to_string(fps);
    std::string duration = std::to_string(seconds);
    pid_t pid = fork();
    if (pid == 0) {
        // ffmpeg complains about the null muxer's timestamps even at -loglevel error.
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execlp("ffmpeg", "ffmpeg", "-nostdin", "-loglevel", "error", "-f", "x11grab", "-draw_mouse",
               "0", "-framerate", rate.c_str(), "-video_size", size.c_str(), "-i", display, "-t",
               duration.c_str(), "-f", "null", "-", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 3;
    auto tracking = ScreenCapture::ChangeTracking::DamageIfAvailable;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--long") == 0)
            seconds = 10;
        else if (std::strcmp(argv[i], "--whole-area") == 0)
            tracking = ScreenCapture::ChangeTracking::ReadWholeArea;
        else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else {
            std::fprintf(stderr, "usage: capture [--seconds S] [--long] [--whole-area]\n");
            return 2;
        }
    }
    if (!LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")) {
        std::fprintf(stderr, "%s\n", kPictavoLoadError);
        return 1;
    }
    try {
        ScreenCapture capture(nullptr, ScreenCapture::Transfer::SharedMemoryIfAvailable, tracking);
        int width = capture.ScreenWidth(), height = capture.ScreenHeight();
        CaptureArea area{0, 0, width - 1, height - 1};
        std::printf("Screen %d x %d on %s\n", width, height, std::getenv("DISPLAY"));
        std::printf("One tick, full screen (median):\n");
        MeasureTickParts(area);

        bool ffmpeg = FfmpegInstalled();
        std::printf("Recording the full screen for %.0f s while a 400 x 300 window moves (%s):\n",
                    seconds,
                    tracking == ScreenCapture::ChangeTracking::ReadWholeArea
                        ? "whole area every tick"
                        : "reading only what was drawn");
        if (!ffmpeg)
            std::printf("  ffmpeg not installed: no x11grab comparison\n");
        std::printf("  %4s %7s %7s %7s %10s %10s %12s %9s %9s %9s\n", "fps", "ticks", "skipped",
                    "frames", "MB held", "CPU s", "ffmpeg CPU s", "first ms", "tick ms", "slowest");
        MovingWindow mover;
        for (int fps : {30, 60, 120}) {
            RecordingRun run = Record(capture, area, fps, seconds);
            double baseline = ffmpeg ? FfmpegCpuSeconds(width, height, fps, seconds) : -1;
            char baselineText[32] = "-";
            if (baseline >= 0)
                std::snprintf(baselineText, sizeof baselineText, "%.2f", baseline);
            std::printf("  %4d %7lld %7lld %7lld %10.1f %10.2f %12s %9.2f %9.3f %9.2f\n", fps,
                        static_cast<long long>(run.ticks), static_cast<long long>(run.skipped),
                        static_cast<long long>(run.frames), double(run.bytes) / (1 << 20),
                        run.cpuSeconds, baselineText, run.firstTickMs, run.tickMedianMs,
                        run.tickSlowestMs);
        }
    } catch (const CaptureError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
