// Writes a movie whose JPEG blocks total 200 MB and compares the time with a plain fwrite of the
// same blocks, in the same run. JPEG data is referenced, never copied, so the two should be close.
//
// Usage: swf_write [blocks] [block size in bytes] [rounds]
#include "swf/swf.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double WriteMovie(const std::vector<std::vector<uint8_t>>& blocks, const std::string& path) {
    const auto start = Clock::now();
    FObjCollection movie;
    for (const auto& block : blocks) {
        movie.Add(new FDTDefineBitsJPEG2(block.data(), static_cast<uint32_t>(block.size())));
        movie.Add(new FCTShowFrame);
    }
    if (!movie.WriteMovie(path.c_str(), 1920 * 20, 1080 * 20, 5)) {
        std::fprintf(stderr, "swf_write: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return Seconds(start);
}

double WritePlain(const std::vector<std::vector<uint8_t>>& blocks, const std::string& path) {
    const auto start = Clock::now();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "swf_write: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    for (const auto& block : blocks) {
        std::fwrite(block.data(), 1, block.size(), file);
    }
    std::fclose(file);
    return Seconds(start);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const size_t blockCount = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    const size_t blockSize = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 2 * 1024 * 1024;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;

    std::vector<std::vector<uint8_t>> blocks(blockCount, std::vector<uint8_t>(blockSize));
    uint32_t seed = 12345;
    for (auto& block : blocks) {
        for (auto& byte : block) {
            seed = seed * 1664525u + 1013904223u;
            byte = static_cast<uint8_t>(seed >> 24);
        }
    }

    const auto dir = std::filesystem::temp_directory_path() /
                     ("clipmoor-swf-write-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string moviePath = (dir / "movie.swf").string();
    const std::string plainPath = (dir / "plain.bin").string();

    std::vector<double> movieTimes;
    std::vector<double> plainTimes;
    for (int round = 0; round < rounds; ++round) {
        plainTimes.push_back(WritePlain(blocks, plainPath));
        std::filesystem::remove(plainPath);
        movieTimes.push_back(WriteMovie(blocks, moviePath));
        std::filesystem::remove(moviePath);
    }
    std::filesystem::remove_all(dir);

    const double megabytes = double(blockCount) * double(blockSize) / 1e6;
    const double movieTime = Median(movieTimes);
    const double plainTime = Median(plainTimes);
    std::printf("JPEG data: %zu blocks of %zu bytes (%.0f MB), median of %d rounds\n", blockCount,
                blockSize, megabytes, rounds);
    std::printf("WriteMovie:  %.3f s (%.0f MB/s)\n", movieTime, megabytes / movieTime);
    std::printf("plain fwrite: %.3f s (%.0f MB/s)\n", plainTime, megabytes / plainTime);
    std::printf("ratio: %.2fx (goal at most 1.2x)\n", movieTime / plainTime);
    return 0;
}
