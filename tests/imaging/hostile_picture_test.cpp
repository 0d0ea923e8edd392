// Hostile picture files generated from the fixtures: each must give a sane picture or the
// failure result within the decoder's time limit, and never take the test process down.
#include "imaging_test_support.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// The decoder helper's time limit during these tests.
constexpr int kTimeoutMs = 500;

std::string ReadFixture(const char* name) {
    std::ifstream file(FixturePath(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

void PutBe16(std::string& bytes, size_t at, unsigned value) {
    bytes[at] = char(value >> 8), bytes[at + 1] = char(value);
}
void PutLe16(std::string& bytes, size_t at, unsigned value) {
    bytes[at] = char(value), bytes[at + 1] = char(value >> 8);
}

struct Hostile {
    std::string name;
    std::string bytes;
};

// IFF and LBM files declaring bit plane counts the decoders cannot handle.
std::vector<Hostile> PlaneCounts() {
    std::vector<Hostile> files;
    for (const char* fixture : {"pal8.iff", "pal4.lbm"}) {
        const std::string original = ReadFixture(fixture);
        const size_t planes = original.find("BMHD") + 8 + 8;
        for (int count : {0, 9, 24, 25, 255}) {
            std::string bytes = original;
            bytes[planes] = char(count);
            files.push_back({std::to_string(count) + "-planes-" + fixture, bytes});
        }
    }
    return files;
}

// GIF files whose image data starts with a damaged LZW code size.
std::vector<Hostile> GifCodeSizes() {
    const std::string original = ReadFixture("pal8.gif");
    const size_t descriptor = original.find('\x2C', 13 + 3 * 32);
    const auto packed = uint8_t(original[descriptor + 9]);
    const size_t codeSize = descriptor + 10 + ((packed & 0x80) ? 3u << ((packed & 7) + 1) : 0);
    std::vector<Hostile> files;
    for (int value : {0, 9, 11, 12, 13, 0x80, 0xFF}) {
        std::string bytes = original;
        bytes[codeSize] = char(value);
        files.push_back({"lzw-" + std::to_string(value) + ".gif", bytes});
    }
    return files;
}

// Headers declaring far more pixels than the file could hold.
std::vector<Hostile> HugeSizes() {
    std::string tiff = ReadFixture("rgb24.tif"); // 538 bytes
    const size_t directory = uint8_t(tiff[4]) | (uint8_t(tiff[5]) << 8);
    for (size_t entry = directory + 2; entry + 12 <= tiff.size(); entry += 12) {
        const unsigned tag = uint8_t(tiff[entry]) | (uint8_t(tiff[entry + 1]) << 8);
        if (tag == 256 || tag == 257)
            PutLe16(tiff, entry + 8, 8192); // SHORT values
    }
    std::string png = ReadFixture("pal8.png");
    png.replace(16, 8, std::string("\x00\x00\xFF\xFF\x00\x00\xFF\xFF", 8));
    std::string gif = ReadFixture("pal8.gif");
    PutLe16(gif, 6, 0xFFFF), PutLe16(gif, 8, 0xFFFF);
    std::string iff = ReadFixture("pal8.iff");
    const size_t bmhd = iff.find("BMHD") + 8;
    PutBe16(iff, bmhd, 0xFFFF), PutBe16(iff, bmhd + 2, 0xFFFF);
    std::string tga = ReadFixture("rgb24.tga");
    PutLe16(tga, 12, 0xFFFF), PutLe16(tga, 14, 0xFFFF);
    return {{"8192.tif", tiff},
            {"65535.png", png},
            {"65535.gif", gif},
            {"65535.iff", iff},
            {"65535.tga", tga}};
}

// Truncations of a small PNG with alpha; on many of them (58 bytes, for one) Debian's
// SDL2_image 2.6.3 loops for ever. Every fourth length, or every one with
// CLIPMOOR_LONG_TESTS set.
std::vector<Hostile> PngTruncations() {
    const std::string original = ReadFixture("alpha.png");
    const size_t step = std::getenv("CLIPMOOR_LONG_TESTS") ? 1 : 4;
    std::vector<Hostile> files;
    for (size_t size = 1; size < original.size(); size += step)
        files.push_back({"cut-" + std::to_string(size) + ".png", original.substr(0, size)});
    return files;
}

// The soft value of one line of /proc/PID/limits.
std::string SoftLimit(const std::string& limits, const std::string& name) {
    const size_t line = limits.find("\n" + name + "  ");
    if (line == std::string::npos)
        return {};
    std::istringstream values(limits.substr(line + 1 + name.size()));
    std::string soft;
    values >> soft;
    return soft;
}

class HostilePictureTest : public PictavoTest {
protected:
    static void SetUpTestSuite() {
        PictavoTest::SetUpTestSuite();
        setenv("PICTAVO_DECODE_TIMEOUT_MS", std::to_string(kTimeoutMs).c_str(), 1);
    }

    static std::string Write(const Hostile& file) {
        const fs::path dir = fs::path(CLIPMOOR_BINARY_DIR) / "tests" / "hostile-pictures";
        fs::create_directories(dir);
        std::ofstream(dir / file.name, std::ios::binary) << file.bytes;
        return (dir / file.name).string();
    }

    struct Outcome {
        bool decoded = false;
        std::chrono::milliseconds took{};
    };

    // Opens the file; a picture it gives must be consistent with itself.
    static Outcome Open(const std::string& path) {
        const auto start = Clock::now();
        DibImage image{};
        const int result = lib().OpenDib(&image, path.c_str(), 0, nullptr);
        Outcome outcome{
            image.pixels != nullptr,
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
        EXPECT_EQ(result != 0, outcome.decoded) << path;
        if (outcome.decoded) {
            EXPECT_GT(DibWidth(image), 0) << path;
            EXPECT_GT(DibHeight(image), 0) << path;
            EXPECT_GE(image.bytesPerRow, (int64_t{DibWidth(image)} * DibBitCount(image) + 7) / 8);
            lib().deldib(image);
        }
        return outcome;
    }

    // Opens every file, four at a time; each must finish within the time limit and slack.
    static std::vector<Outcome> OpenAll(const std::vector<Hostile>& files) {
        std::vector<std::string> paths;
        for (const Hostile& file : files)
            paths.push_back(Write(file));
        std::vector<Outcome> outcomes(paths.size());
        std::atomic<size_t> next{0};
        std::vector<std::thread> workers;
        for (int i = 0; i < 4; ++i)
            workers.emplace_back([&] {
                for (size_t at; (at = next++) < paths.size();)
                    outcomes[at] = Open(paths[at]);
            });
        for (std::thread& worker : workers)
            worker.join();
        for (size_t i = 0; i < paths.size(); ++i)
            EXPECT_LT(outcomes[i].took.count(), kTimeoutMs + 3000) << paths[i];
        return outcomes;
    }
};

TEST_F(HostilePictureTest, DamagedHeadersAreRefusedBeforeDecoding) {
    std::vector<Hostile> files = PlaneCounts();
    for (std::vector<Hostile> more : {GifCodeSizes(), HugeSizes()})
        files.insert(files.end(), more.begin(), more.end());
    const std::vector<Outcome> outcomes = OpenAll(files);
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_FALSE(outcomes[i].decoded) << files[i].name;
        // Refused from the header alone: well before the helper's time limit.
        EXPECT_LT(outcomes[i].took.count(), kTimeoutMs / 2) << files[i].name;
    }
}

TEST_F(HostilePictureTest, EveryTruncatedPngFailsOrDecodesInTime) {
    const std::vector<Hostile> files = PngTruncations();
    const std::vector<Outcome> outcomes = OpenAll(files);
    // The decoder loops on some of these: the time limit must have stopped it.
    size_t stopped = 0;
    for (const Outcome& outcome : outcomes)
        stopped += outcome.took.count() >= kTimeoutMs;
    std::printf("%zu of %zu truncations ran into the time limit\n", stopped, files.size());
}

// The helper runs with its limits and the system call filter in place.
TEST_F(HostilePictureTest, TheHelperRunsLimitedAndWithoutNetwork) {
    // A truncation on which the decoder spins: the helper stays until it is killed.
    const std::string looping = Write({"cut-58.png", ReadFixture("alpha.png").substr(0, 58)});
    if (Open(looping).took.count() < kTimeoutMs)
        GTEST_SKIP() << "this SDL2_image does not spin on the file";
    auto opened = std::async(std::launch::async, [&] { return Open(looping); });
    // The last look before it is killed: by then it has long set its limits.
    std::string status, limits;
    const std::string parent = "\nPPid:\t" + std::to_string(getpid()) + "\n";
    while (opened.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        DIR* proc = opendir("/proc");
        while (dirent* entry = readdir(proc)) {
            const std::string dir = std::string("/proc/") + entry->d_name;
            std::ifstream comm(dir + "/comm"), statusFile(dir + "/status"),
                limitsFile(dir + "/limits");
            std::string name;
            if (!(comm >> name) || name != "pictavo-decoder")
                continue;
            std::string seen(std::istreambuf_iterator<char>(statusFile), {});
            if (seen.find(parent) == std::string::npos)
                continue;
            status = seen;
            limits.assign(std::istreambuf_iterator<char>(limitsFile), {});
        }
        closedir(proc);
    }
    EXPECT_FALSE(opened.get().decoded);
    ASSERT_FALSE(status.empty()) << "the helper was not seen";
    EXPECT_NE(status.find("\nSeccomp:\t2\n"), std::string::npos) << status;
    EXPECT_NE(status.find("\nNoNewPrivs:\t1\n"), std::string::npos) << status;
    EXPECT_EQ(SoftLimit(limits, "Max cpu time"), "1") << limits;
    EXPECT_EQ(SoftLimit(limits, "Max core file size"), "0") << limits;
    EXPECT_NE(SoftLimit(limits, "Max file size"), "unlimited") << limits;
    if (!kAddressSanitizer) { // it needs terabytes of address space for its shadow memory
        EXPECT_NE(SoftLimit(limits, "Max address space"), "unlimited") << limits;
    }
}

} // namespace
