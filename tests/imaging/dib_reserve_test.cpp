// Picture memory kept ready ahead, in a test program of its own: the resident size it
// watches must not move with what earlier tests left in the pool.
#include "imaging_test_support.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using DibReserveTest = PictavoTest;

long PageFaultsOfThisThread() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

int64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// Waits up to 20 s for the library's own thread to do its part.
template <typename Condition> bool Eventually(Condition condition) {
    for (int i = 0; i < 400 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return condition();
}

// Resident memory once two readings 50 ms apart agree (at most 20 s).
int64_t SettledResidentBytes() {
    int64_t previous = -1, now = ResidentBytes();
    for (int i = 0; i < 400 && now != previous; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        previous = std::exchange(now, ResidentBytes());
    }
    return now;
}

TEST_F(DibReserveTest, ReservedMemoryTakesPicturesWithoutPageFaultsAndIsGivenBack) {
#ifdef CLIPMOOR_SANITIZER
    GTEST_SKIP() << "a sanitizer's shadow memory adds page faults and resident memory";
#endif
    constexpr int64_t kMegabyte = 1 << 20;
    std::vector<DibImage> frames(81); // its own pages are touched before counting
    const int64_t before = ResidentBytes();
    ASSERT_NE(lib().ReserveDibMemory(24 * kMegabyte), 0);
    // The first reserve is ready at once; the next one follows on the library's thread.
    EXPECT_GE(ResidentBytes(), before + 24 * kMegabyte);
    ASSERT_TRUE(Eventually([&] { return ResidentBytes() >= before + 47 * kMegabyte; }));

    // A whole-screen first frame larger than a shared region holds, then frames, reaching
    // into the second reserve.
    const long faultsBefore = PageFaultsOfThisThread();
    ASSERT_NE(lib().newdib(&frames[0], 1920, 2000, 24, nullptr, 0), 0); // 11 MB
    std::memset(frames[0].pixels, 1, PixelBytes(frames[0]));
    for (size_t i = 1; i < frames.size(); ++i) { // 29 MB
        ASSERT_NE(lib().newdib(&frames[i], 409, 307, 24, nullptr, 0), 0);
        ASSERT_TRUE(PixelsAre(frames[i], 0)) << i;
        std::memset(frames[i].pixels, 2, PixelBytes(frames[i]));
    }
    EXPECT_LE(PageFaultsOfThisThread() - faultsBefore, 4);
    EXPECT_TRUE(PixelsAre(frames[0], 1));

    // Once the second is taken a third is prepared; without a reserve it goes, and the
    // pictures stay.
    ASSERT_TRUE(Eventually([&] { return ResidentBytes() >= before + 71 * kMegabyte; }));
    ASSERT_NE(lib().ReserveDibMemory(0), 0);
    EXPECT_TRUE(Eventually([&] { return ResidentBytes() <= before + 52 * kMegabyte; }));
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(PixelsAre(frames[i], i == 0 ? 1 : 2)) << i;
        lib().deldib(frames[i]);
    }
}

// Each recording sets a reserve anew after the last one gave it back: the library's thread,
// long started, must prepare the next region for it too.
TEST_F(DibReserveTest, EveryNewReserveIsPreparedAheadAgain) {
    SKIP_WITHOUT_PICTURE_POOL();
#ifdef CLIPMOOR_SANITIZER
    GTEST_SKIP() << "a sanitizer's runtime changes resident memory on its own";
#endif
    constexpr int64_t kMegabyte = 1 << 20;
    ASSERT_NE(lib().ReserveDibMemory(16 * kMegabyte), 0);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NE(lib().ReserveDibMemory(0), 0);
        // A region still being prepared for the old reserve is given back once done: the
        // count starts when resident memory has settled.
        const int64_t before = SettledResidentBytes();
        // The region left current before (as large) goes when the new one comes.
        ASSERT_NE(lib().ReserveDibMemory(16 * kMegabyte), 0);
        EXPECT_TRUE(Eventually([&] { return ResidentBytes() >= before + 15 * kMegabyte; }));
    }
    ASSERT_NE(lib().ReserveDibMemory(0), 0);
}

// Address space limited to what the process has now and 64 MB more: a 256 MB reserve
// cannot be had, is refused, and pictures are made as before.
TEST_F(DibReserveTest, AReserveBeyondTheMemoryAtHandIsRefused) {
    SKIP_WITHOUT_PICTURE_POOL();
    std::ifstream statm("/proc/self/statm");
    int64_t pages = 0;
    statm >> pages;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(pages * sysconf(_SC_PAGESIZE) + (int64_t{64} << 20));
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    const int reserved = lib().ReserveDibMemory(int64_t{256} << 20);
    DibImage picture{};
    const int made = lib().newdib(&picture, 300, 200, 24, nullptr, 0);
    setrlimit(RLIMIT_AS, &saved);
    EXPECT_EQ(reserved, 0);
    ASSERT_NE(made, 0);
    EXPECT_TRUE(PixelsAre(picture, 0));
    lib().deldib(picture);
    EXPECT_NE(lib().ReserveDibMemory(0), 0);
}

} // namespace
