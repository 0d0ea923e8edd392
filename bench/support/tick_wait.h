// The recording benchmarks' wait for the recorder's next tick.
#pragma once

#include <cstdint>
#include <time.h>

// Sleeps until the monotonic clock (the one SteadyRecorderClock reads) shows `ms`.
inline void SleepUntilMs(int64_t ms) {
    timespec until{};
    until.tv_sec = ms / 1000;
    until.tv_nsec = (ms % 1000) * 1000000;
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
}
