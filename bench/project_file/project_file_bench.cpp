// project_file [--frames N] [--rounds R]
//
// Saves and loads a project of N recorded frames (1000 by default: about 500 MB of pixels)
// and copies a file of the same size with plain read and write calls in the same run, once
// with and once without syncing it to disk (saving always syncs). Prints the best time of
// each over R rounds and the ratios.
#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Odd width, so that every row carries padding in memory and none in the file.
constexpr int kFrameWidth = 409;
constexpr int kFrameHeight = 407;

double Seconds(std::chrono::steady_clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

template <typename Action> double Time(Action&& action) {
    auto start = std::chrono::steady_clock::now();
    action();
    return Seconds(std::chrono::steady_clock::now() - start);
}

bool CopyFile(const std::string& from, const std::string& to, bool sync) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in < 0 || out < 0)
        return false;
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    ssize_t got;
    while (ok && (got = read(in, buffer.data(), buffer.size())) > 0)
        ok = write(out, buffer.data(), static_cast<size_t>(got)) == got;
    if (sync)
        ok = ok && fsync(out) == 0;
    close(in);
    ok = close(out) == 0 && ok;
    return ok;
}

// What any load pays before reading a byte: fresh picture memory for every frame, written once.
double FreshMemoryTime(int frames) {
    std::vector<DibImage> pictures(static_cast<size_t>(frames));
    double seconds = Time([&] {
        for (DibImage& picture : pictures) {
            Pictavo().newdib(&picture, kFrameWidth, kFrameHeight, 24, nullptr, 0);
            std::memset(picture.pixels, 1, static_cast<size_t>(picture.bytesPerRow) * kFrameHeight);
        }
    });
    for (DibImage& picture : pictures)
        Pictavo().deldib(picture);
    return seconds;
}

void FillRecording(Project& project, int frames) {
    project.MovieWidth = 1920;
    project.MovieHeight = 1080;
    for (int i = 0; i < frames; ++i) {
        DibImage picture{};
        Pictavo().newdib(&picture, kFrameWidth, kFrameHeight, 24, nullptr, 0);
        if (!picture.pixels) {
            std::fprintf(stderr, "out of memory at frame %d\n", i);
            std::exit(1);
        }
        for (int y = 0; y < kFrameHeight; ++y)
            std::memset(DibRow(picture, y), (i * 31 + y) & 0xFF, kFrameWidth * 3);
        AddRecordedFrame(project,
                         {i % 100, i % 50, i % 100 + kFrameWidth - 1, i % 50 + kFrameHeight - 1},
                         i * 200, picture);
        *project.PointerTrack.Add() = {i % 1920, i % 1080, i * 200};
    }
}

} // namespace

int main(int argc, char** argv) {
    int frames = 1000;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0)
            frames = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::atoi(argv[i + 1]);
    }
    if (!LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")) {
        std::fprintf(stderr, "%s\n", kPictavoLoadError);
        return 1;
    }

    std::string pattern =
        (std::filesystem::temp_directory_path() / "clipmoor-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = pattern;
    const std::string projectPath = folder + "/recording.fmo";
    const std::string copyPath = folder + "/copy.fmo";

    Project project;
    FillRecording(project, frames);

    double bestSave = 1e9, bestLoad = 1e9, bestCopySync = 1e9, bestCopy = 1e9, bestFresh = 1e9;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        bestSave =
            std::min(bestSave, Time([&] { ok = ok && SaveProject(project, projectPath).ok; }));
        bestCopySync =
            std::min(bestCopySync, Time([&] { ok = ok && CopyFile(projectPath, copyPath, true); }));
        std::filesystem::remove(copyPath);
        bestCopy =
            std::min(bestCopy, Time([&] { ok = ok && CopyFile(projectPath, copyPath, false); }));
        std::filesystem::remove(copyPath);
        Project loaded;
        bestLoad =
            std::min(bestLoad, Time([&] { ok = ok && LoadProject(loaded, projectPath).ok; }));
        ok = ok && loaded.Objects.Count() == frames;
        ClearObjects(loaded);
        bestFresh = std::min(bestFresh, FreshMemoryTime(frames));
    }
    uintmax_t bytes = ok ? std::filesystem::file_size(projectPath) : 0;
    ClearObjects(project);
    std::filesystem::remove_all(folder);
    if (!ok) {
        std::fprintf(stderr, "a save, load or copy failed\n");
        return 1;
    }

    double megabytes = static_cast<double>(bytes) / 1e6;
    std::printf("project file: %d frames of %d x %d, %.1f MB, best of %d rounds\n", frames,
                kFrameWidth, kFrameHeight, megabytes, rounds);
    std::printf("  save (synced)          %7.3f s  %7.1f MB/s\n", bestSave, megabytes / bestSave);
    std::printf("  load                   %7.3f s  %7.1f MB/s\n", bestLoad, megabytes / bestLoad);
    std::printf("  copy, synced           %7.3f s  %7.1f MB/s\n", bestCopySync,
                megabytes / bestCopySync);
    std::printf("  copy, not synced       %7.3f s  %7.1f MB/s\n", bestCopy, megabytes / bestCopy);
    std::printf("  fresh picture memory   %7.3f s  (newdib and one write of every frame)\n",
                bestFresh);
    std::printf("  save / synced copy     %7.2f  (goal <= 1.5)\n", bestSave / bestCopySync);
    std::printf("  load / unsynced copy   %7.2f  (goal <= 1.5)\n", bestLoad / bestCopy);
    std::printf("  save / unsynced copy   %7.2f\n", bestSave / bestCopy);
    std::printf("  load / (fresh memory + unsynced copy) %7.2f\n",
                bestLoad / (bestFresh + bestCopy));
    return 0;
}
