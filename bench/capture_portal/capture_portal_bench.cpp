// Recording costs through the screen-cast portal on the headless Wayland desktop that
// run.sh starts: whole-monitor recordings at 30 and 60 frames per second while a terminal
// scrolls and another one types, against GStreamer's plain consumer of a stream of the same
// monitor (`pipewiresrc ! fakesink`) over the same time. CPU times are of whole processes
// (every thread); the compositor's share, the same for both, is not counted.
//
//   capture_portal [--seconds S]    (10 s per case by default)
#include "bench/support/cpu_time.h"
#include "bench/support/tick_wait.h"
#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "record/core/capture_geometry.h"
#include "record/core/portal_capture.h"
#include "record/core/recorder.h"
#include "record/core/screencast_portal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

// Starts a child writing to `output`; `keepFd` (when given) stays open in it, though marked
// close-on-exec here.
pid_t Spawn(const std::vector<std::string>& args, int keepFd = -1,
            const std::string& output = "/dev/null") {
    std::fflush(stdout); // or the child would write what is buffered once more
    pid_t pid = fork();
    if (pid == 0) {
        if (keepFd >= 0)
            fcntl(keepFd, F_SETFD, 0);
        std::vector<char*> argv;
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        freopen(output.c_str(), "w", stdout);
        freopen("/dev/null", "w", stderr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void End(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// The plain consumer: GStreamer's PipeWire source into a sink that drops every buffer; with
// `copy`, the source copies each picture into memory of its own first. Its start (loading
// plug-ins, linking the stream) is not counted, as the recordings' portal and stream set-up
// is not: the clock starts once it has streamed for a while.
double PlainConsumerCpuSeconds(const std::string& token, double seconds, bool copy,
                               std::string& next) {
    ScreenCastRequest request;
    request.restoreToken = token;
    ScreenCastPortal portal(request);
    next = portal.RestoreToken();
    int fd = portal.OpenPipeWireRemote();
    // Verbose, it says which pictures the sink agreed to take (once, not per picture).
    const std::string said = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/plain-consumer.txt";
    pid_t gst = Spawn({"gst-launch-1.0", "-v", "pipewiresrc", "fd=" + std::to_string(fd),
                       "path=" + std::to_string(portal.PipeWireNode()),
                       copy ? "always-copy=true" : "always-copy=false", "!", "video/x-raw", "!",
                       "fakesink", "sync=false"},
                      fd, said);
    close(fd);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double start = ProcessCpuSeconds(gst);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double spent = ProcessCpuSeconds(gst) - start;
    End(gst);
    std::ifstream lines(said);
    std::string line, caps;
    constexpr const char* kSinkCaps = "fakesink0.GstPad:sink: caps = ";
    while (caps.empty() && std::getline(lines, line))
        if (size_t at = line.find(kSinkCaps); at != std::string::npos)
            caps = line.substr(at + std::strlen(kSinkCaps));
    if (caps.empty())
        throw CaptureError("the plain consumer never linked to the stream");
    std::printf("consumer's stream: %s\n", caps.c_str());
    std::printf("consumer's start, not counted: %.2f s CPU\n", start);
    return start < 0 ? -1 : spent;
}

struct RecordingRun {
    int64_t ticks = 0, skipped = 0, frames = 0;
    double cpuSeconds = 0;
};

// The same loop as clipmoor-cli record: precise sleeps to the next due tick.
RecordingRun Record(const std::string& token, int fps, double seconds, std::string& next) {
    ScreenCastRequest request;
    request.restoreToken = token;
    PortalCapture capture(request);
    next = capture.RestoreToken();
    Project project;
    SteadyRecorderClock clock;
    Recorder recorder(project, capture, clock);
    RecordingRun run;
    const double cpuStart = ProcessCpuSeconds();
    recorder.Start(FullScreenArea(capture.ScreenWidth(), capture.ScreenHeight()),
                   capture.QueryPointer(), fps);
    const int64_t deadline = clock.NowMs() + int64_t(seconds * 1000);
    while (recorder.Recording()) {
        const int64_t now = clock.NowMs();
        if (now >= deadline)
            break;
        const int64_t due = recorder.NextTickDueMs();
        if (now < due) {
            SleepUntilMs(std::min(due, deadline));
            continue;
        }
        if (recorder.Tick() == TickOutcome::Stopped)
            std::printf("  stopped: %s\n", recorder.StopMessage().c_str());
        ++run.ticks;
    }
    recorder.Stop();
    run.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    run.skipped = recorder.SkippedTicks();
    run.frames = recorder.FramesRecorded();
    ClearObjects(project);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
    const char* approved = std::getenv("CLIPMOOR_TEST_SCREENCAST_TOKEN");
    if (!approved || !LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")) {
        std::fprintf(stderr, "capture_portal: run by run.sh (a desktop and a token are needed)\n");
        return 1;
    }
    // What changes: a terminal that scrolls a line every 16 ms, another typing 10 characters a
    // second.
    pid_t scrolling =
        Spawn({"foot", "sh", "-c", "while :; do echo $RANDOM$RANDOM$RANDOM; sleep 0.016; done"});
    pid_t typing = Spawn({"foot", "sh", "-c", "while :; do printf x; sleep 0.1; done"});
    std::this_thread::sleep_for(std::chrono::seconds(2));

    std::string token = approved;
    try {
        const double plain = PlainConsumerCpuSeconds(token, seconds, false, token);
        std::printf("plain consumer (gst pipewiresrc ! fakesink): %.2f s CPU in %.0f s (%.1f %%)\n",
                    plain, seconds, 100.0 * plain / seconds);
        const double copying = PlainConsumerCpuSeconds(token, seconds, true, token);
        std::printf("copying consumer (the same, always-copy=true): %.2f s CPU (%.1f %%)\n",
                    copying, 100.0 * copying / seconds);
        for (int fps : {30, 60}) {
            RecordingRun run = Record(token, fps, seconds, token);
            std::printf("%3d fps: ticks %lld, skipped %lld, frames %lld, CPU %.2f s (%.1f %%, "
                        "%.2f ms a tick), %.2fx the plain consumer, %.2fx the copying one\n",
                        fps, (long long)run.ticks, (long long)run.skipped, (long long)run.frames,
                        run.cpuSeconds, 100.0 * run.cpuSeconds / seconds,
                        run.ticks ? 1000.0 * run.cpuSeconds / double(run.ticks) : 0.0,
                        plain > 0 ? run.cpuSeconds / plain : 0.0,
                        copying > 0 ? run.cpuSeconds / copying : 0.0);
        }
    } catch (const CaptureError& error) {
        std::fprintf(stderr, "capture_portal: %s\n", error.what());
        End(scrolling);
        End(typing);
        return 1;
    }
    End(scrolling);
    End(typing);
    return 0;
}
