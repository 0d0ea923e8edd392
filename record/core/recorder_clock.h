// The recorder's time source: milliseconds of a 64-bit monotonic clock, so times stay
// right however long the machine has been up. Tests drive a clock of their own.
#pragma once

#include <chrono>
#include <cstdint>

class RecorderClock {
public:
    virtual ~RecorderClock() = default;
    virtual int64_t NowMs() = 0;
};

class SteadyRecorderClock final : public RecorderClock {
public:
    int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};
