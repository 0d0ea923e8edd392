// Builds the movie of 300 recorded full-HD frames plus a few overlays, encoding on one thread
// and on every core, and compares the times with encoding the same pictures alone with
// TurboJPEG on one thread at the same quality.
#include "bench/support/recording_project.h"
#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "movie/jpeg_encode_pool.h"
#include "movie/movie_builder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <time.h>
#include <utility>
#include <vector>

namespace {

constexpr int32_t kWidth = kBenchWidth;
constexpr int32_t kHeight = kBenchHeight;
constexpr int32_t kFrames = kBenchFrames;
constexpr int32_t kCompression = 25;

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Processor time of this process (user and system), which other programs on a busy
// machine do not inflate.
double ProcessorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// The best wall and processor times over the rounds of one way of working, and every
// round's wall time.
struct Best {
    double wall = 1e30;
    double processor = 1e30;
    std::vector<double> walls;
    void Add(double wallSeconds, double processorSeconds) {
        wall = std::min(wall, wallSeconds);
        processor = std::min(processor, processorSeconds);
        walls.push_back(wallSeconds);
    }
};

// The smallest and largest ratio of a round's time to the same round's baseline: how much
// other work on the machine moved the result.
std::pair<double, double> RatioSpread(const Best& measured, const Best& baseline) {
    std::pair<double, double> spread{1e30, 0};
    for (size_t i = 0; i < measured.walls.size() && i < baseline.walls.size(); ++i) {
        const double ratio = measured.walls[i] / baseline.walls[i];
        spread = {std::min(spread.first, ratio), std::max(spread.second, ratio)};
    }
    return spread;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    if (argc == 3 && std::strcmp(argv[1], "--rounds") == 0)
        rounds = std::max(1, std::atoi(argv[2]));
    if (!LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")) {
        std::fprintf(stderr, "%s\n", kPictavoLoadError);
        return 1;
    }
    const int quality = JpegQuality(kCompression);

    Project project;
    MakeRecordingProject(project);

    // Baseline: the same pictures encoded alone, as the image library encodes them. The two
    // are measured alternately and the best round of each counts: other work on the machine
    // then disturbs both alike.
    // The movie goes next to the program, on the disk where users keep their movies.
    const std::string movie =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "build_movie_bench.swf")
            .string();
    const int cores = MachineThreads();
    Best baseline, oneThread, allCores;
    size_t baselineBytes = 0;
    uintmax_t movieBytes = 0;
    // The movie of each way, timed into `best`; false when the build failed.
    auto buildMovie = [&](int32_t threads, Best& best) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ProcessorSeconds();
        Result result =
            BuildMovie(project, movie, {double(project.FramesPerSecond), quality, threads});
        best.Add(Seconds(std::chrono::steady_clock::now() - start), ProcessorSeconds() - cpuStart);
        if (!result) {
            std::fprintf(stderr, "build failed: %s\n", result.message.c_str());
            return false;
        }
        movieBytes = std::filesystem::file_size(movie);
        std::filesystem::remove(movie);
        return true;
    };
    for (int round = 0; round < rounds; ++round) {
        tjhandle encoder = tjInitCompress();
        baselineBytes = 0;
        auto baselineStart = std::chrono::steady_clock::now();
        double cpuStart = ProcessorSeconds();
        for (const AnimObject& object : project.Objects) {
            if (object.Kind != KindPicture || DibWidth(object.Image) != kWidth)
                continue;
            unsigned char* jpeg = nullptr;
            unsigned long size = 0;
            tjCompress2(encoder, object.Image.pixels, DibWidth(object.Image),
                        object.Image.bytesPerRow, DibHeight(object.Image), TJPF_BGR, &jpeg, &size,
                        TJSAMP_444, quality, TJFLAG_BOTTOMUP);
            baselineBytes += size;
            tjFree(jpeg);
        }
        baseline.Add(Seconds(std::chrono::steady_clock::now() - baselineStart),
                     ProcessorSeconds() - cpuStart);
        tjDestroy(encoder);
        if (!buildMovie(1, oneThread) || !buildMovie(cores, allCores))
            return 1;
    }
    ClearObjects(project);

    std::printf("build_movie: %d recorded frames of %d x %d plus 4 overlays, quality %d, "
                "best of %d rounds, %d cores\n",
                kFrames, kWidth, kHeight, quality, rounds, cores);
    std::printf("  TurboJPEG alone, 1 thread: %.3f s wall, %.3f s processor (%.1f MB of JPEG)\n",
                baseline.wall, baseline.processor, baselineBytes / 1e6);
    std::printf("  BuildMovie, 1 thread:      %.3f s wall, %.3f s processor (movie %.1f MB)\n",
                oneThread.wall, oneThread.processor, movieBytes / 1e6);
    std::printf("  BuildMovie, %2d threads:    %.3f s wall, %.3f s processor\n", cores,
                allCores.wall, allCores.processor);
    std::printf("  ratio, 1 thread:           %.3fx wall, %.3fx processor (goal: at most 1.15x)\n",
                oneThread.wall / baseline.wall, oneThread.processor / baseline.processor);
    std::printf("  ratio, %2d threads:         %.3fx wall (goal on 2 cores: at most 0.6x)\n", cores,
                allCores.wall / baseline.wall);
    const auto [lowest, highest] = RatioSpread(allCores, baseline);
    std::printf(
        "  rounds, %2d threads:        %.3fx to %.3fx wall (each against its own baseline)\n",
        cores, lowest, highest);
    return 0;
}
