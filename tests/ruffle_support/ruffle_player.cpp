#include "tests/ruffle_support/ruffle_player.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ruffle_support {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kRunTestSh = "run ./test.sh (or tools/install-deps.sh test) to install them";

bool HasPackages(const fs::path& nodeDir) {
    std::error_code ignored;
    return fs::exists(nodeDir / "node_modules" / "@ruffle-rs" / "ruffle" / "ruffle.js", ignored) &&
           fs::exists(nodeDir / "node_modules" / "playwright-core", ignored);
}

// The test's own folder first (ctest sets CLIPMOOR_NODE_DIR), then this build's, then the
// default build folder that ./test.sh fills.
fs::path FindNodeDir() {
    std::vector<fs::path> candidates;
    if (const char* fromEnv = std::getenv("CLIPMOOR_NODE_DIR"); fromEnv && *fromEnv) {
        candidates.emplace_back(fromEnv);
    }
    candidates.emplace_back(CLIPMOOR_NODE_DIR);
    candidates.emplace_back(fs::path(CLIPMOOR_SOURCE_DIR) / "build" / "node");
    for (const auto& dir : candidates) {
        if (HasPackages(dir)) {
            return dir;
        }
    }
    return {};
}

bool ExecutableOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

struct ChildResult {
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

// Runs argv, collecting its output, and ends it (SIGTERM, then SIGKILL) past the deadline.
// SIGTERM lets the driver close the browser it started.
ChildResult RunChild(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
    ChildResult result;
    int fds[2];
    if (pipe(fds) != 0) {
        return result;
    }
    // Built before fork: the child of a threaded process must not allocate.
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        execvp(args[0], args.data());
        _exit(127);
    }
    result.started = true;
    close(fds[1]);
    const auto deadline = Clock::now() + limit;
    auto killAt = Clock::time_point::max();
    auto giveUpAt = Clock::time_point::max();
    int status = 0;
    bool reaped = false;
    bool outputOpen = true;
    for (;;) {
        const auto now = Clock::now();
        if (!result.timedOut && now >= deadline) {
            result.timedOut = true;
            if (reaped) {
                break; // only something the child left behind still holds the pipe
            }
            kill(pid, SIGTERM);
            killAt = now + std::chrono::seconds(10);
        }
        if (!reaped && now >= killAt) {
            kill(pid, SIGKILL);
            killAt = Clock::time_point::max();
            giveUpAt = now + std::chrono::seconds(2);
        }
        if (!reaped && waitpid(pid, &status, WNOHANG) == pid) {
            reaped = true;
        }
        // Done once the child has exited and its output is drained, or it was killed and
        // something it started still holds the pipe.
        if ((reaped && !outputOpen) || now >= giveUpAt) {
            break;
        }
        if (!outputOpen) {
            usleep(20000);
            continue;
        }
        pollfd waitFor{fds[0], POLLIN, 0};
        const int ready = poll(&waitFor, 1, 100);
        if (ready > 0) {
            char buffer[4096];
            const ssize_t got = read(fds[0], buffer, sizeof buffer);
            if (got > 0) {
                result.output.append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                outputOpen = false;
            }
        }
    }
    close(fds[0]);
    if (!reaped) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The last line of the driver's output that is a JSON object.
std::string ResultLine(const std::string& output) {
    size_t end = output.size();
    while (end > 0) {
        const size_t start = output.rfind('\n', end - 1);
        const size_t from = start == std::string::npos ? 0 : start + 1;
        const std::string line = output.substr(from, end - from);
        if (line.size() > 1 && line.front() == '{' && line.back() == '}') {
            return line;
        }
        if (start == std::string::npos) {
            break;
        }
        end = start;
    }
    return {};
}

// The string or number that follows "key": in a flat JSON line.
std::string JsonField(const std::string& json, const std::string& key) {
    const std::string marker = "\"" + key + "\":";
    const size_t at = json.find(marker);
    if (at == std::string::npos) {
        return {};
    }
    size_t pos = at + marker.size();
    if (pos < json.size() && json[pos] == '"') {
        std::string value;
        for (++pos; pos < json.size() && json[pos] != '"'; ++pos) {
            if (json[pos] == '\\' && pos + 1 < json.size()) {
                ++pos;
                value += json[pos] == 'n' ? '\n' : json[pos];
            } else {
                value += json[pos];
            }
        }
        return value;
    }
    const size_t end = json.find_first_of(",}", pos);
    return json.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
}

bool ReadPpm(const fs::path& file, RuffleShot& shot, std::string* error) {
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> shot.width >> shot.height >> maxValue;
    in.get(); // the single white-space byte before the pixels
    if (!in || magic != "P6" || maxValue != 255 || shot.width <= 0 || shot.height <= 0) {
        *error = "the shot " + file.string() + " is not a binary 8-bit PPM";
        return false;
    }
    shot.rgb.resize(static_cast<size_t>(shot.width) * shot.height * 3);
    in.read(reinterpret_cast<char*>(shot.rgb.data()),
            static_cast<std::streamsize>(shot.rgb.size()));
    if (in.gcount() != static_cast<std::streamsize>(shot.rgb.size())) {
        *error = "the shot " + file.string() + " is truncated";
        return false;
    }
    return true;
}

struct TempDir {
    fs::path path;
    bool keep = false;
    ~TempDir() {
        std::error_code ignored;
        if (!keep && !path.empty()) {
            fs::remove_all(path, ignored);
        }
    }
};

} // namespace

bool ColorNear(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

Rgb RuffleShot::At(int x, int y) const {
    const size_t at = (static_cast<size_t>(y) * width + x) * 3;
    return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

int RuffleShot::CountNear(Rgb colour, int tolerance) const {
    int count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            count += ColorNear(At(x, y), colour, tolerance) ? 1 : 0;
        }
    }
    return count;
}

std::optional<PixelBox> RuffleShot::BoxOf(Rgb colour, int tolerance) const {
    PixelBox box{width, height, -1, -1};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (ColorNear(At(x, y), colour, tolerance)) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
            }
        }
    }
    if (box.right < 0) {
        return std::nullopt;
    }
    return box;
}

std::optional<RufflePlayback> PlayMovie(const std::string& swfPath, int width, int height,
                                        const std::vector<int>& timesMs, std::string* error,
                                        const RuffleOptions& options) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    error->clear();
    if (timesMs.empty() || width <= 0 || height <= 0) {
        *error = "PlayMovie needs a window size and at least one time";
        return std::nullopt;
    }
    if (!ExecutableOnPath("node")) {
        *error = std::string("node is missing; ") + kRunTestSh;
        return std::nullopt;
    }
    const fs::path nodeDir = FindNodeDir();
    if (nodeDir.empty()) {
        *error =
            std::string("the npm packages @ruffle-rs/ruffle and playwright-core are missing; ") +
            kRunTestSh;
        return std::nullopt;
    }
    if (access("/usr/bin/chromium", X_OK) != 0) {
        *error = std::string("Chromium (/usr/bin/chromium) is missing; ") + kRunTestSh;
        return std::nullopt;
    }

    TempDir out;
    std::error_code failed;
    if (!options.keepDir.empty()) {
        out.path = options.keepDir;
        out.keep = true;
        fs::create_directories(out.path, failed);
    } else {
        std::string pattern = (fs::temp_directory_path(failed) / "ruffle-shots-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            *error = "cannot create a folder for the shots: " + std::string(std::strerror(errno));
            return std::nullopt;
        }
        out.path = pattern;
    }

    std::string times;
    for (int t : timesMs) {
        times += (times.empty() ? "" : ",") + std::to_string(t);
    }
    std::vector<std::string> argv = {"node",
                                     std::string(CLIPMOOR_SOURCE_DIR) +
                                         "/tools/swfplay/swfplay.mjs",
                                     options.pagePath.empty() ? "--movie" : "--page",
                                     options.pagePath.empty() ? swfPath : options.pagePath,
                                     "--width",
                                     std::to_string(width),
                                     "--height",
                                     std::to_string(height),
                                     "--at",
                                     times,
                                     "--out",
                                     out.path.string(),
                                     "--renderer",
                                     options.renderer,
                                     "--timeout-ms",
                                     std::to_string(options.timeoutMs),
                                     "--node-dir",
                                     nodeDir.string()};
    // The driver gives up by itself after three timeouts and ten seconds; this is the backstop.
    const auto limit =
        std::chrono::milliseconds(static_cast<int64_t>(options.timeoutMs) * 3 + 20000);
    const ChildResult child = RunChild(argv, limit);
    if (!child.started) {
        *error = "cannot start node: " + std::string(std::strerror(errno));
        return std::nullopt;
    }
    const std::string line = ResultLine(child.output);
    if (child.timedOut) {
        *error = "the emulator run was stopped after " + std::to_string(limit.count()) +
                 " ms; output: " + child.output;
        return std::nullopt;
    }
    if (child.exitCode == 127 && line.empty()) {
        *error = std::string("node could not be started; ") + kRunTestSh;
        return std::nullopt;
    }
    if (child.exitCode != 0 || JsonField(line, "ok") != "true") {
        const std::string reason = JsonField(line, "error");
        *error = "the emulator run failed: " + (reason.empty() ? child.output : reason);
        return std::nullopt;
    }

    RufflePlayback playback;
    playback.renderer = JsonField(line, "renderer");
    playback.movieWidth = std::atoi(JsonField(line, "movieWidth").c_str());
    playback.movieHeight = std::atoi(JsonField(line, "movieHeight").c_str());
    playback.frameRate = std::atof(JsonField(line, "frameRate").c_str());
    playback.totalMs = std::atoi(JsonField(line, "totalMs").c_str());
    for (size_t i = 0; i < timesMs.size(); ++i) {
        RuffleShot shot;
        shot.atMs = timesMs[i];
        const std::string name =
            "shot-" + std::to_string(i) + "-" + std::to_string(timesMs[i]) + "ms.ppm";
        if (!ReadPpm(out.path / name, shot, error)) {
            return std::nullopt;
        }
        playback.shots.push_back(std::move(shot));
    }
    return playback;
}

std::vector<RuffleShot> PlayInEmulator(const std::string& swfPath, int width, int height,
                                       std::vector<int> timesMs, std::string* error) {
    auto playback = PlayMovie(swfPath, width, height, timesMs, error);
    return playback ? std::move(playback->shots) : std::vector<RuffleShot>{};
}

} // namespace ruffle_support
