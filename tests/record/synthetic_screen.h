// A screen in memory for driving the recorder without a display: tests paint into it,
// and captures copy the area from it like the real capture does (BGRX, top-down,
// alternating buffers), so the engine's own code runs unchanged.
#pragma once

#include "record/core/frame_source.h"
#include "record/core/recorder_clock.h"

#include <cstring>
#include <optional>
#include <vector>

class SyntheticScreen final : public FrameSource {
public:
    SyntheticScreen(int32_t width, int32_t height)
        : width_(width), height_(height), pixels_(size_t(width) * height * 4, 0) {}

    void Paint(int32_t x, int32_t y, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* p = &pixels_[(size_t(y) * width_ + x) * 4];
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    const uint8_t* PixelAt(int32_t x, int32_t y) const {
        return &pixels_[(size_t(y) * width_ + x) * 4];
    }
    // Simulates a capture that takes this long.
    void SetCaptureDuration(class ManualClock* clock, int64_t ms) {
        slowClock_ = clock;
        captureMs_ = ms;
    }
    int captures = 0;
    CaptureArea begunArea{};
    std::optional<ScreenPoint> pointer; // what QueryPointer answers

    int32_t ScreenWidth() const override { return width_; }
    int32_t ScreenHeight() const override { return height_; }
    void Begin(const CaptureArea& area) override {
        begunArea = area;
        areaWidth_ = area.Right - area.Left + 1;
        areaHeight_ = area.Bottom - area.Top + 1;
        for (auto& buffer : buffers_)
            buffer.assign(size_t(areaWidth_) * areaHeight_ * 4, 0);
        next_ = 0;
    }
    PixelPlane Capture() override;
    void End() override {
        for (auto& buffer : buffers_)
            buffer.clear();
    }
    int64_t BufferBytes() const override {
        return int64_t(buffers_[0].size() + buffers_[1].size());
    }
    std::optional<ScreenPoint> QueryPointer() const override { return pointer; }

private:
    int32_t width_, height_;
    std::vector<uint8_t> pixels_;
    std::vector<uint8_t> buffers_[2];
    int32_t areaWidth_ = 0, areaHeight_ = 0;
    int next_ = 0;
    class ManualClock* slowClock_ = nullptr;
    int64_t captureMs_ = 0;
};

class ManualClock final : public RecorderClock {
public:
    explicit ManualClock(int64_t start) : now(start) {}
    int64_t NowMs() override { return now; }
    int64_t now;
};

inline PixelPlane SyntheticScreen::Capture() {
    ++captures;
    if (slowClock_)
        slowClock_->now += captureMs_;
    std::vector<uint8_t>& buffer = buffers_[next_];
    next_ ^= 1;
    for (int32_t y = 0; y < areaHeight_; ++y)
        std::memcpy(&buffer[size_t(y) * areaWidth_ * 4],
                    &pixels_[(size_t(begunArea.Top + y) * width_ + begunArea.Left) * 4],
                    size_t(areaWidth_) * 4);
    return {buffer.data(), int64_t(areaWidth_) * 4, areaWidth_, areaHeight_, 4};
}
