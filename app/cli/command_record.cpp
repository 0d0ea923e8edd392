// clipmoor-cli record: records an area of the screen into a project without windows,
// for automation and screencasts on machines without a desktop (Xvfb will do). On a
// Wayland desktop the screen comes through the screen-cast portal.
#include "cli_command.h"

#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"
#include "record/core/capture_choice.h"
#include "record/core/capture_geometry.h"
#include "record/core/recorder.h"
#include "record/core/screen_capture.h"
#include "record/core/screencast_permission.h"
#include "record/hooks/display_loss.h"
#include "record/hooks/ras_win_god.h"
#include "record/hooks/xlib_hook_host.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "record --area L,T,R,B|full --fps N --seconds S [--compression C] [--capture x11|portal] "
    "PROJECT.fmo";

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t saving = 0;

// Ctrl+C or a termination request ends the recording; once the save runs, nothing may cut
// it short (a second Ctrl+C used to lose the whole recording).
void RequestStop(int) {
    stopRequested = 1;
    if (saving) {
        static const char kNotice[] = "Still saving the recording; please wait.\n";
        ssize_t ignored = write(STDERR_FILENO, kNotice, sizeof kNotice - 1);
        (void)ignored;
    }
}

// Where a recording goes when its own file cannot be written: the home folder, else the
// temporary folder, under a name that is not taken yet.
std::vector<std::string> FallbackPaths() {
    char stamp[32] = "recording";
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local))
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::vector<std::string> paths;
    std::error_code error;
    std::string temporary = std::filesystem::temp_directory_path(error).string();
    const char* folders[] = {std::getenv("HOME"), temporary.empty() ? "/tmp" : temporary.c_str()};
    for (const char* folder : folders) {
        if (!folder || !*folder)
            continue;
        std::string base = std::string(folder) + "/clipmoor-recording-" + stamp;
        std::string path = base + ".fmo";
        for (int n = 2; std::filesystem::exists(path, error) && n < 1000; ++n)
            path = base + "-" + std::to_string(n) + ".fmo";
        paths.push_back(path);
    }
    return paths;
}

// Saves to the requested file or, failing that, to a fallback file; a recording is never
// dropped while there is a folder to put it in. Returns the exit code.
int SaveRecording(Project& project, const std::string& path) {
    Result saved = SaveProject(project, path);
    if (saved) {
        std::cout << "Saved " << path << "\n";
        return 0;
    }
    std::cerr << saved.message << "\n";
    for (const std::string& fallback : FallbackPaths()) {
        if (SaveProject(project, fallback)) {
            std::cerr << "The recording was saved to " << fallback << " instead.\n";
            return 1;
        }
    }
    std::cerr << "The recording could not be saved anywhere.\n";
    return 1;
}

struct RecordOptions {
    std::optional<CaptureArea> area; // none: the whole screen
    int32_t framesPerSecond = kDefaultFramesPerSecond;
    double seconds = 0;
    int32_t compression = kDefaultCompression;
    std::optional<CaptureBackend> capture; // none: chosen from the session
    std::string projectPath;
};

bool ParseArea(const std::string& text, std::optional<CaptureArea>& area) {
    if (text == "full") {
        area.reset();
        return true;
    }
    int32_t values[4];
    size_t from = 0;
    for (int i = 0; i < 4; ++i) {
        size_t comma = i < 3 ? text.find(',', from) : text.size();
        if (comma == std::string::npos)
            return false;
        std::optional<int32_t> value =
            WholeNumber(text.substr(from, comma - from), -1000000, 1000000);
        if (!value)
            return false;
        values[i] = *value;
        from = comma + 1;
    }
    if (from != text.size() + 1)
        return false;
    area = CaptureArea{values[0], values[1], values[2], values[3]};
    NormaliseArea(*area);
    return true;
}

// Returns an error text, empty when the arguments are complete and valid.
std::string ParseOptions(const std::vector<std::string>& args, RecordOptions& options) {
    bool haveArea = false, haveFps = false, haveSeconds = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool isOption = arg == "--area" || arg == "--fps" || arg == "--seconds" ||
                        arg == "--compression" || arg == "--capture";
        if (isOption && i + 1 >= args.size())
            return arg + " needs a value";
        if (arg == "--area") {
            if (!ParseArea(args[++i], options.area))
                return "--area takes L,T,R,B (screen pixels, both ends inclusive) or full";
            haveArea = true;
        } else if (arg == "--fps") {
            std::optional<int32_t> fps =
                WholeNumber(args[++i], kMinFramesPerSecond, kMaxFramesPerSecond);
            if (!fps)
                return "--fps takes a whole number from 1 to 120";
            options.framesPerSecond = *fps;
            haveFps = true;
        } else if (arg == "--seconds") {
            try {
                size_t used = 0;
                options.seconds = std::stod(args[++i], &used);
                if (used != args[i].size() || !(options.seconds > 0) || options.seconds > 1e7)
                    throw std::invalid_argument("seconds");
            } catch (const std::exception&) {
                return "--seconds takes a positive number of seconds";
            }
            haveSeconds = true;
        } else if (arg == "--compression") {
            std::optional<int32_t> compression =
                WholeNumber(args[++i], kMinCompression, kMaxCompression);
            if (!compression)
                return "--compression takes a whole number from 0 to 100";
            options.compression = *compression;
        } else if (arg == "--capture") {
            options.capture = ParseCaptureBackend(args[++i]);
            if (!options.capture)
                return "--capture takes x11 or portal";
        } else if (!arg.empty() && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (options.projectPath.empty()) {
            options.projectPath = arg;
        } else {
            return "only one project file can be written";
        }
    }
    if (!haveArea || !haveFps || !haveSeconds || options.projectPath.empty())
        return "--area, --fps, --seconds and the project file are required";
    return {};
}

// The mouse hook, when its library loads and the display lets it listen.
struct PointerTrackHook {
    std::unique_ptr<XlibHookHost> host;
    std::unique_ptr<TrasWinGod> hooks;

    void Install(Recorder& recorder) {
        try {
            host = std::make_unique<XlibHookHost>();
            hooks = std::make_unique<TrasWinGod>(*host, ExecutableFolder());
            hooks->OnMouseMsg = [&recorder](int32_t, uint32_t mesId, const MouseHookStruct& at) {
                if (mesId == MouseMove)
                    recorder.AddPointerSample({at.x, at.y});
            };
            hooks->InstallMouseHook();
        } catch (const HookError& error) {
            std::cerr << error.what() << " The recording has no pointer track.\n";
            hooks.reset();
            host.reset();
        }
    }
    void Remove() {
        if (hooks)
            hooks->RemoveMouseHook();
    }
    // Waits up to `ms`, handling pointer messages meanwhile.
    void Wait(int64_t ms) {
        if (host)
            host->WaitAndProcessEvents(std::chrono::milliseconds(ms));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

void RunRecordingLoop(Recorder& recorder, RecorderClock& clock, PointerTrackHook& pointer,
                      int64_t deadline) {
    while (!stopRequested && !DisplayLost() && recorder.Recording()) {
        int64_t now = clock.NowMs();
        if (now >= deadline)
            return;
        int64_t due = recorder.NextTickDueMs();
        if (now >= due) {
            if (recorder.Tick() == TickOutcome::Stopped)
                return;
            continue;
        }
        pointer.Wait(std::min(due, deadline) - now);
    }
}

// The X screen or the screen-cast portal, as chosen; sets where the pointer is now (none
// when the pictures carry it) and whether it is the X screen. Throws CaptureError.
std::unique_ptr<FrameSource> OpenScreen(std::optional<CaptureBackend> requested,
                                        std::optional<ScreenPoint>& pointer, bool& x11) {
    auto text = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    std::unique_ptr<ScreenCapture> screen;
    const std::string sessionType = text("XDG_SESSION_TYPE"), wayland = text("WAYLAND_DISPLAY");
    // Only where the choice depends on it: whether an X display opens.
    if (!requested && sessionType != "wayland" && !wayland.empty()) {
        try {
            screen = std::make_unique<ScreenCapture>();
        } catch (const CaptureError&) {
        }
    }
    x11 = ChooseCaptureBackend(requested, sessionType, wayland, screen != nullptr) ==
          CaptureBackend::X11;
    if (x11) {
        if (!screen)
            screen = std::make_unique<ScreenCapture>();
        pointer = screen->PointerPosition();
        return screen;
    }
    std::cout << "Asking the desktop to share the screen\n" << std::flush;
    std::unique_ptr<PortalCapture> cast = StartPortalCaptureForUser();
    pointer = cast->QueryPointer();
    if (cast->PointerInPictures())
        std::cerr << kPointerInPicturesNote << "\n";
    return cast;
}

int RunRecord(const std::vector<std::string>& args) {
    RecordOptions options;
    std::string problem = ParseOptions(args, options);
    if (!problem.empty()) {
        std::cerr << "clipmoor-cli record: " << problem << "\nUsage: clipmoor-cli " << kUsage
                  << "\n";
        return 2;
    }
    // Found out now, not after an hour of recording.
    if (Result writable = CheckProjectCanBeSaved(options.projectPath); !writable) {
        std::cerr << "clipmoor-cli record: " << writable.message << "\n";
        return 1;
    }
    if (!LoadPictavo(ExecutableFolder())) {
        std::cerr << kPictavoLoadError << "\n";
        return 1;
    }

    if (!options.capture) {
        if (const char* requested = std::getenv("CLIPMOOR_CAPTURE"); requested && *requested) {
            options.capture = ParseCaptureBackend(requested);
            if (!options.capture) {
                std::cerr << "clipmoor-cli record: CLIPMOOR_CAPTURE takes x11 or portal\n";
                return 2;
            }
        }
    }

    Project project;
    project.ProgramFolder = ExecutableFolder();
    project.FramesPerSecond = options.framesPerSecond;
    project.Compression = options.compression;

    std::unique_ptr<FrameSource> capture;
    std::optional<ScreenPoint> startPointer;
    bool x11 = false;
    try {
        capture = OpenScreen(options.capture, startPointer, x11);
    } catch (const CaptureError& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    CaptureArea area =
        options.area.value_or(FullScreenArea(capture->ScreenWidth(), capture->ScreenHeight()));

    SteadyRecorderClock clock;
    Recorder recorder(project, *capture, clock);
    // On Wayland the stream's cursor metadata gives the pointer at every tick.
    PointerTrackHook pointer;
    if (x11)
        pointer.Install(recorder);

    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    try {
        recorder.Start(area, startPointer, options.framesPerSecond);
    } catch (const CaptureError& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    const CaptureArea& recorded = recorder.RecordedArea();
    std::cout << "Recording" << CaptureAreaLabelText(recorded) << "at " << options.framesPerSecond
              << " frames per second (one capture every " << recorder.IntervalMs() << " ms)\n"
              << std::flush;
    int64_t started = clock.NowMs();
    RunRecordingLoop(recorder, clock, pointer,
                     started + static_cast<int64_t>(options.seconds * 1000.0));
    int64_t elapsed = clock.NowMs() - started;
    saving = 1;
    pointer.Remove();
    recorder.Stop();

    if (!recorder.StopMessage().empty())
        std::cerr << recorder.StopMessage() << "\n";
    else if (DisplayLost())
        std::cerr << kDisplayLostMessage << " " << kRecordingStoppedNote << "\n";
    std::cout << "Frames recorded: " << recorder.FramesRecorded() << " in " << elapsed
              << " ms\nSkipped ticks: " << recorder.SkippedTicks()
              << "\nBytes held: " << recorder.PictureBytes()
              << "\nPointer samples: " << project.PointerTrack.Count() << "\n";

    // The handlers stay to the end: an interrupt after the save would still turn the exit
    // status into a failure.
    int exitCode = SaveRecording(project, options.projectPath);
    ClearObjects(project);
    return exitCode;
}

CliCommandRegistration reg({"record", kUsage,
                            "Record an area of the screen into a project until the time is "
                            "up or the program is interrupted (Ctrl+C), then save it.",
                            RunRecord});

} // namespace
