#include "record/core/screencast_permission.h"

#include "model/byte_stream.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

std::string ScreenCastTokenPath(const char* xdgStateHome, const char* home) {
    std::string base;
    if (xdgStateHome && xdgStateHome[0] == '/')
        base = xdgStateHome;
    else if (home && home[0] == '/')
        base = std::string(home) + "/.local/state";
    else
        return {};
    return base + "/clipmoor/screencast-token";
}

std::string LoadScreenCastToken(const std::string& path) {
    std::ifstream in(path);
    std::string token;
    std::getline(in, token);
    return token;
}

bool StoreScreenCastToken(const std::string& path, const std::string& token) {
    if (path.empty())
        return false;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!std::filesystem::exists(folder, error)) {
        std::filesystem::create_directories(folder.parent_path(), error);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    // Written beside and renamed over, so that a reader never sees half a token; only the
    // user may read it.
    std::unique_ptr<FileWriter> file = FileWriter::CreateReplacing(path, nullptr, 0600);
    if (!file)
        return false;
    const std::string line = token + "\n";
    file->Write(line.data(), line.size());
    return file->Commit() == 0;
}

std::unique_ptr<PortalCapture> StartPortalCapture(const std::string& tokenPath,
                                                  const char* overrideToken,
                                                  std::chrono::milliseconds answerTimeout) {
    ScreenCastRequest request;
    request.restoreToken =
        overrideToken && *overrideToken ? overrideToken : LoadScreenCastToken(tokenPath);
    request.answerTimeout = answerTimeout;
    auto capture = std::make_unique<PortalCapture>(request);
    // A token is good for one cast: the desktop hands out the next one each time.
    if (!capture->RestoreToken().empty())
        StoreScreenCastToken(tokenPath, capture->RestoreToken());
    return capture;
}

std::unique_ptr<PortalCapture> StartPortalCaptureForUser() {
    std::chrono::seconds timeout{60};
    if (const char* text = std::getenv("CLIPMOOR_SCREENCAST_TIMEOUT")) {
        char* end = nullptr;
        long seconds = std::strtol(text, &end, 10);
        if (end != text && *end == 0 && seconds >= 1 && seconds <= 3600)
            timeout = std::chrono::seconds(seconds);
    }
    return StartPortalCapture(
        ScreenCastTokenPath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME")),
        std::getenv("CLIPMOOR_SCREENCAST_TOKEN"), timeout);
}
