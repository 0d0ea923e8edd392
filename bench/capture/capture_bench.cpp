// Screen recording costs on the X display in $DISPLAY: the parts of one tick (capture
// through shared memory and plain requests, comparison, conversion of the changed box)
// and whole recordings at 30, 60 and 120 frames per second while a window moves and while
// characters are typed, with the CPU time of ffmpeg's x11grab capturing the same display at
// the same rate as the baseline. CPU times are of the whole process (every thread), and, when the X
// server's process id is in CLIPMOOR_BENCH_SERVER_PID, also with the server's share added: with
// shared memory the server does the copying for its client.
//
//   capture [--seconds S] [--long] [--whole-area]
//     --long: 10 s per rate (default 3 s); --whole-area: recordings read and compare the
//     whole area every tick instead of only what the server reports as drawn.
#include "bench/support/cpu_time.h"
#include "bench/support/tick_wait.h"
#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "record/core/recorder.h"
#include "record/core/screen_capture.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
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

// What changes on the screen during a recording, drawn by a child process so that its
// CPU time is not ours.
enum class Activity {
    // A 400 x 300 window moves across the screen at 60 Hz: every tick has a changed box
    // of a few hundred pixels square.
    MovingWindow,
    // A character cell is filled in ten times a second on a still screen, as when typing.
    Typing,
};

const char* Describe(Activity activity) {
    return activity == Activity::MovingWindow ? "a 400 x 300 window moves at 60 Hz"
                                              : "ten characters a second are typed";
}

class ScreenActivity {
public:
    explicit ScreenActivity(Activity activity) : child_(fork()) {
        if (child_ == 0)
            _exit(activity == Activity::MovingWindow ? MoveWindow() : Type());
    }
    ~ScreenActivity() {
        if (child_ > 0) {
            kill(child_, SIGTERM);
            waitpid(child_, nullptr, 0);
        }
    }

private:
    static Window MakeWindow(Display* display, int x, int y, int width, int height,
                             unsigned long rgb) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = rgb;
        Window window =
            XCreateWindow(display, DefaultRootWindow(display), x, y, unsigned(width),
                          unsigned(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(display, window);
        return window;
    }

    static int MoveWindow() {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return 1;
        Window window = MakeWindow(display, 0, 0, 400, 300, 0xC04020);
        int width = DisplayWidth(display, DefaultScreen(display)) - 400;
        for (int step = 0;; ++step) {
            XMoveWindow(display, window, (step * 7) % width, 100 + (step * 3) % 300);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::microseconds(16667));
        }
    }

    static int Type() {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return 1;
        Window page = MakeWindow(display, 200, 150, 800, 440, 0xFFFFFF);
        GC gc = XCreateGC(display, page, 0, nullptr);
        XSetForeground(display, gc, 0x202020);
        XSync(display, False);
        for (int character = 0;; ++character) {
            int column = character % 70, line = character / 70 % 20;
            if (column == 0 && line == 0)
                XClearWindow(display, page);
            XFillRectangle(display, page, gc, 20 + column * 11, 20 + line * 20, 8, 14);
            XSync(display, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    pid_t child_;
};

// CPU seconds of the X server so far, or -1 when its process is not known.
double ServerCpuSeconds() {
    const char* pid = std::getenv("CLIPMOOR_BENCH_SERVER_PID");
    if (!pid || !*pid)
        return -1;
    std::ifstream stat(std::string("/proc/") + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return -1;
    // Fields after the command name (which may hold spaces): state is field 3, utime 14.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14)
            utime = std::stoll(field);
        else if (number == 15)
            stime = std::stoll(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

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
    double cpuSeconds = 0;       // this process
    double serverSeconds = -1;   // the X server during the recording
    double startMs = 0;          // Start(): buffers, picture memory and the whole first frame
    double tickMedianMs = 0;     // wall time of one Tick()
    double firstTickMs = 0;      // the first after the start
    double tickSlowestMs = 0;    // of the later ticks
    double newMemorySeconds = 0; // CPU that as much fresh memory as the frames hold costs
};

// CPU seconds this process spends getting `bytes` of fresh memory and writing it once, as
// picture memory is made (2 MB aligned, huge pages advised). Recorded frames need it and
// an x11grab to a null output does not; on virtual machines that hand freed memory back
// to the host it can cost more than the capture itself.
double NewMemoryCpuSeconds(int64_t bytes) {
    const size_t huge = size_t{2} << 20;
    const size_t size = (size_t(bytes) + huge - 1) / huge * huge;
    if (size == 0)
        return 0;
    void* raw =
        mmap(nullptr, size + huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return 0;
    auto* base = reinterpret_cast<volatile char*>((reinterpret_cast<uintptr_t>(raw) + huge - 1) &
                                                  ~(uintptr_t(huge) - 1));
    madvise(const_cast<char*>(base), size, MADV_HUGEPAGE);
    double start = ProcessCpuSeconds();
    for (size_t offset = 0; offset < size; offset += 4096)
        base[offset] = 0;
    double spent = ProcessCpuSeconds() - start;
    munmap(raw, size + huge);
    return spent;
}

// The same loop as clipmoor-cli record: precise sleeps to the next due tick.
RecordingRun Record(ScreenCapture& capture, const CaptureArea& area, int fps, double seconds) {
    Project project;
    SteadyRecorderClock clock;
    Recorder recorder(project, capture, clock);
    RecordingRun run;
    std::vector<double> tickMs;
    tickMs.reserve(size_t(fps * seconds) + 16);
    double cpuStart = ProcessCpuSeconds();
    double serverStart = ServerCpuSeconds();
    double startBegan = NowSeconds(CLOCK_MONOTONIC);
    recorder.Start(area, capture.PointerPosition(), fps);
    run.startMs = (NowSeconds(CLOCK_MONOTONIC) - startBegan) * 1000.0;
    int64_t deadline = clock.NowMs() + int64_t(seconds * 1000);
    while (recorder.Recording()) {
        int64_t now = clock.NowMs();
        if (now >= deadline)
            break;
        int64_t due = recorder.NextTickDueMs();
        if (now < due) {
            SleepUntilMs(std::min(due, deadline));
            continue;
        }
        double tickStart = NowSeconds(CLOCK_MONOTONIC);
        if (recorder.Tick() == TickOutcome::Stopped)
            std::printf("  stopped: %s\n", recorder.StopMessage().c_str());
        tickMs.push_back((NowSeconds(CLOCK_MONOTONIC) - tickStart) * 1000.0);
        ++run.ticks;
    }
    recorder.Stop();
    run.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    if (serverStart >= 0)
        run.serverSeconds = ServerCpuSeconds() - serverStart;
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
    // Measured while the frames are still held, so their memory cannot be handed out again.
    run.newMemorySeconds = NewMemoryCpuSeconds(run.bytes);
    ClearObjects(project);
    return run;
}

bool FfmpegInstalled() {
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

struct FfmpegRun {
    bool ran = false;
    double cpuSeconds = 0;
    double serverSeconds = -1;
    int64_t frames = 0;
};

// ffmpeg grabbing the screen into a null output: its CPU time (user + system), the
// server's, and the frames it reports.
FfmpegRun RunFfmpeg(int width, int height, int fps, double seconds) {
    const char* display = std::getenv("DISPLAY");
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::string rate = std::to_string(fps);
    std::string duration = std::to_string(seconds);
    char progress[] = "/tmp/capture-bench-progress-XXXXXX";
    int progressFile = mkstemp(progress);
    if (progressFile < 0)
        return {};
    close(progressFile);
    FfmpegRun run;
    double serverStart = ServerCpuSeconds();
    pid_t pid = fork();
    if (pid == 0) {
        // ffmpeg complains about the null muxer's timestamps even at -loglevel error.
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execlp("ffmpeg", "ffmpeg", "-nostdin", "-loglevel", "error", "-progress", progress, "-f",
               "x11grab", "-draw_mouse", "0", "-framerate", rate.c_str(), "-video_size",
               size.c_str(), "-i", display, "-t", duration.c_str(), "-f", "null", "-",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (serverStart >= 0)
        run.serverSeconds = ServerCpuSeconds() - serverStart;
    std::ifstream report(progress);
    for (std::string line; std::getline(report, line);)
        if (line.rfind("frame=", 0) == 0)
            run.frames = std::stoll(line.substr(6));
    unlink(progress);
    run.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0 && run.frames > 0;
    run.cpuSeconds = CpuSeconds(usage);
    return run;
}

std::string Milliseconds(double seconds, int64_t count) {
    char text[32] = "-";
    if (seconds >= 0 && count > 0)
        std::snprintf(text, sizeof text, "%.3f", seconds * 1000.0 / double(count));
    return text;
}

std::string Ratio(double ours, int64_t ourCount, double theirs, int64_t theirCount) {
    char text[32] = "-";
    if (ours >= 0 && theirs > 0 && ourCount > 0 && theirCount > 0)
        std::snprintf(text, sizeof text, "%.2fx",
                      (ours / double(ourCount)) / (theirs / double(theirCount)));
    return text;
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
        bool server = ServerCpuSeconds() >= 0;
        if (!ffmpeg)
            std::printf("ffmpeg not installed: no x11grab comparison\n");
        if (!server)
            std::printf("CLIPMOOR_BENCH_SERVER_PID not set: the X server's CPU is left out\n");
        for (Activity activity : {Activity::MovingWindow, Activity::Typing}) {
            std::printf("Recording the full screen for %.0f s while %s (%s):\n", seconds,
                        Describe(activity),
                        tracking == ScreenCapture::ChangeTracking::ReadWholeArea
                            ? "whole area every tick"
                            : "reading only what was drawn");
            std::printf("  %4s %6s %7s %6s %7s %8s %8s %8s %8s\n", "fps", "ticks", "skipped",
                        "frames", "MB held", "start ms", "first ms", "tick ms", "slowest");
            std::vector<std::string> cpuRows;
            ScreenActivity drawing(activity);
            for (int fps : {30, 60, 120}) {
                RecordingRun run = Record(capture, area, fps, seconds);
                FfmpegRun baseline = ffmpeg ? RunFfmpeg(width, height, fps, seconds) : FfmpegRun{};
                std::printf("  %4d %6lld %7lld %6lld %7.1f %8.1f %8.2f %8.3f %8.2f\n", fps,
                            static_cast<long long>(run.ticks), static_cast<long long>(run.skipped),
                            static_cast<long long>(run.frames), double(run.bytes) / (1 << 20),
                            run.startMs, run.firstTickMs, run.tickMedianMs, run.tickSlowestMs);
                double ourTotal = run.serverSeconds >= 0 ? run.cpuSeconds + run.serverSeconds : -1;
                double theirCpu = baseline.ran ? baseline.cpuSeconds : -1;
                double theirTotal = baseline.ran && baseline.serverSeconds >= 0
                                        ? baseline.cpuSeconds + baseline.serverSeconds
                                        : -1;
                char row[256];
                std::snprintf(row, sizeof row, "  %4d %8lld %8s %8s %8s %7s %8s %10s %10s %7s", fps,
                              static_cast<long long>(baseline.frames),
                              Milliseconds(run.cpuSeconds, run.ticks).c_str(),
                              Milliseconds(run.newMemorySeconds, run.ticks).c_str(),
                              Milliseconds(theirCpu, baseline.frames).c_str(),
                              Ratio(run.cpuSeconds, run.ticks, theirCpu, baseline.frames).c_str(),
                              Ratio(run.cpuSeconds - run.newMemorySeconds, run.ticks, theirCpu,
                                    baseline.frames)
                                  .c_str(),
                              Milliseconds(ourTotal, run.ticks).c_str(),
                              Milliseconds(theirTotal, baseline.frames).c_str(),
                              Ratio(ourTotal, run.ticks, theirTotal, baseline.frames).c_str());
                cpuRows.push_back(row);
            }
            std::printf("  CPU per tick (ms), against ffmpeg -f x11grab at the same rate per "
                        "frame; \"new memory\" is what fresh memory for the frames alone costs:\n");
            std::printf("  %4s %8s %8s %8s %8s %7s %8s %10s %10s %7s\n", "fps", "ffmpeg", "ours",
                        "new", "ffmpeg", "ratio", "ratio", "ours + X", "ffmpeg + X", "ratio");
            std::printf("  %4s %8s %8s %8s %8s %7s %8s\n", "", "frames", "", "memory", "", "",
                        "w/o mem.");
            for (const std::string& row : cpuRows)
                std::printf("%s\n", row.c_str());
        }
    } catch (const CaptureError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
