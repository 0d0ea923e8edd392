// clipmoor-cli export PROJECT.fmo OUT.swf|.mp4|.webm|.gif [--format F] [--fps N]
// [--compression C] [--html [--player]]: builds the project's movie or video without a window
// and, for a movie, optionally the page that embeds it; with --player the page loads the
// browser player, copied next to it, and plays without Flash.
#include "cli_command.h"

#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"
#include "movie/movie_builder.h"
#include "movie/player_files.h"
#include "movie/publish.h"
#include "movie/timeline.h"
#include "video/video_export.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

namespace {

constexpr const char* kUsage =
    "clipmoor-cli export PROJECT.fmo OUT.swf|.mp4|.webm|.gif [--format swf|mp4|webm|gif] "
    "[--fps N] [--compression C] [--html [--player]]";

volatile std::sig_atomic_t interrupted = 0;

int Usage(const std::string& problem) {
    std::cerr << "clipmoor-cli export: " << problem << "\n"
              << "Usage: " << kUsage << "\n";
    return 2;
}

// Releases the project's objects however the command ends.
struct ProjectHolder {
    Project project;
    ~ProjectHolder() { ClearObjects(project); }
};

int WriteVideo(Project& project, const std::string& path, const VideoExportSettings& settings) {
    // Ctrl+C stops the video between frames, which removes its unfinished file and says so.
    const auto previousInt = std::signal(SIGINT, [](int) { interrupted = 1; });
    const auto previousTerm = std::signal(SIGTERM, [](int) { interrupted = 1; });
    const Result written =
        ExportVideo(project, path, settings, [](int32_t, int32_t) { return !interrupted; });
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    if (!written) {
        std::cerr << written.message << "\n";
        return 1;
    }
    std::cout << "Wrote " << path << " (" << project.MovieWidth << " x " << project.MovieHeight
              << " pixels, " << MovieTimeline::FrameCountOf(project, settings.framesPerSecond)
              << " frames at " << settings.framesPerSecond << " frames per second)\n";
    return 0;
}

int RunExport(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::optional<int32_t> fps;
    std::optional<int32_t> compression;
    bool html = false;
    bool player = false;
    std::string format;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--html") {
            html = true;
        } else if (arg == "--player") {
            player = true;
        } else if (arg == "--format") {
            if (i + 1 >= args.size())
                return Usage(arg + " needs a value");
            format = args[++i];
            if (format != "swf" && !VideoFormatNamed(format))
                return Usage("--format must be swf, mp4, webm or gif");
        } else if (arg == "--fps" || arg == "--compression") {
            if (i + 1 >= args.size())
                return Usage(arg + " needs a value");
            std::optional<int32_t> value = WholeNumber(args[++i]);
            if (arg == "--fps") {
                // Its range is the builder's to check, as for the project's own rate.
                if (!value)
                    return Usage("--fps must be a whole number");
                fps = value;
            } else {
                if (!value || *value < kMinCompression || *value > kMaxCompression)
                    return Usage("--compression must be a whole number from 0 to 100");
                compression = value;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2)
        return Usage("give the project file and the movie or video file");
    if (player && !html)
        return Usage("--player goes with --html");
    const std::string& projectPath = files[0];
    const std::string& moviePath = files[1];
    // The extension decides unless --format does; anything but a video's is a movie.
    const std::optional<VideoFormat> video =
        format.empty() ? VideoFormatNamed(moviePath) : VideoFormatNamed(format);
    if (video && html)
        return Usage("--html goes with a Flash movie, not a video");

    if (!LoadPictavo(ExecutableFolder())) {
        std::cerr << kPictavoLoadError << "\n";
        return 1;
    }
    ProjectHolder holder;
    Project& project = holder.project;
    project.ProgramFolder = ExecutableFolder();
    if (Result loaded = LoadProject(project, projectPath); !loaded) {
        std::cerr << loaded.message << "\n";
        return 1;
    }
    const int32_t framesPerSecond = fps.value_or(project.FramesPerSecond);
    if (video)
        return WriteVideo(project, moviePath,
                          {*video, static_cast<double>(framesPerSecond),
                           compression.value_or(project.Compression)});
    const MovieSettings settings{static_cast<double>(framesPerSecond),
                                 JpegQuality(compression.value_or(project.Compression))};

    int32_t frames = 0;
    Result built =
        BuildMovie(project, moviePath, settings, [&](int32_t, int32_t total) { frames = total; });
    if (!built) {
        std::cerr << built.message << "\n";
        return 1;
    }
    std::cout << "Wrote " << moviePath << " (" << project.MovieWidth << " x " << project.MovieHeight
              << " pixels, " << frames << " frames at " << framesPerSecond
              << " frames per second)\n";

    if (html) {
        if (player) {
            std::string error;
            const std::string folder = std::filesystem::absolute(moviePath).parent_path();
            if (!CopyPlayerFiles(ExecutableFolder() + kPlayerFolderName, folder, &error)) {
                std::cerr << error << "\n";
                return 1;
            }
            std::cout << "Copied the browser player to " << folder << "\n";
        }
        const std::string page = HtmlPageName(moviePath);
        auto lines = PublishedPageLines(FileNamePart(moviePath), project.MovieWidth,
                                        project.MovieHeight, player);
        if (Result saved = SaveHtmlPage(page, lines); !saved) {
            std::cerr << saved.message << "\n";
            return 1;
        }
        std::cout << "Wrote " << page << "\n";
    }
    return 0;
}

CliCommandRegistration reg({"export", kUsage + std::strlen("clipmoor-cli "),
                            "Build the project's Flash movie (and with --html the page that "
                            "embeds it, named after the movie with the extension .htm; with "
                            "--player the page plays without Flash, the browser player copied "
                            "beside it), or with the extension (or --format) mp4, webm or gif "
                            "the video of the same frames.",
                            RunExport});

} // namespace
