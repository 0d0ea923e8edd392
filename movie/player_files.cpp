#include "movie/player_files.h"

#include "movie/publish.h"

#include <algorithm>
#include <filesystem>
#include <regex>
#include <system_error>

namespace fs = std::filesystem;

bool IsPlayerFileName(const std::string& name) {
    static const std::regex pattern(R"(ruffle\.js|core\.ruffle\.[0-9a-f]+\.js|[0-9a-f]+\.wasm)");
    return std::regex_match(name, pattern);
}

std::vector<std::string> PlayerFileNames(const std::string& playerFolder) {
    std::error_code error;
    if (playerFolder.empty() || !fs::is_regular_file(fs::path(playerFolder) / kPlayerScriptName))
        return {};
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(playerFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) &&
            (IsPlayerFileName(name) || name.rfind("LICENSE", 0) == 0))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool CopyPlayerFiles(const std::string& playerFolder, const std::string& targetFolder,
                     std::string* error) {
    const std::vector<std::string> names = PlayerFileNames(playerFolder);
    if (names.empty()) {
        *error = "The browser player is not installed next to the program.";
        return false;
    }
    for (const std::string& name : names) {
        const fs::path source = fs::path(playerFolder) / name;
        const fs::path target = fs::path(targetFolder) / name;
        std::error_code failed;
        if (fs::is_regular_file(target, failed) &&
            fs::file_size(target, failed) == fs::file_size(source, failed) && !failed)
            continue;
        // Written under a temporary name first, so no half-copied file takes the real name.
        fs::path partial = target;
        partial += ".part";
        fs::remove(partial, failed);
        failed.clear();
        fs::copy_file(source, partial, failed);
        if (!failed)
            fs::rename(partial, target, failed);
        if (failed) {
            fs::remove(partial, failed);
            *error = "Can not copy the browser player to " + target.string();
            return false;
        }
    }
    return true;
}

std::string PlayerScriptLine() {
    // The movies have no sound: they start at once, without a play button or sound overlay.
    return std::string("<script>window.RufflePlayer=window.RufflePlayer||{};"
                       "window.RufflePlayer.config={\"autoplay\":\"on\","
                       "\"unmuteOverlay\":\"hidden\"};</script><script src=\"") +
           kPlayerScriptName + "\"></script>";
}

std::vector<std::string> PublishedPageLines(const std::string& movieName, int width, int height,
                                            bool withPlayer) {
    std::vector<std::string> lines = MovieHtmlLines(movieName, width, height);
    if (withPlayer)
        lines.insert(lines.begin(), PlayerScriptLine());
    return lines;
}
