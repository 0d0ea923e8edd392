// Copies a rectangle of the X screen: XShmGetImage on the root window into shared
// memory, or XGetImage when the server offers no shared memory (a remote display).
// With shared memory and the server's DAMAGE extension, a capture reads only the part
// of the area drawn since the previous one, and nothing at all on a still screen.
#pragma once

#include "record/core/frame_source.h"

#include <chrono>
#include <memory>

// Why captures fail once the X server has gone away.
inline constexpr const char* kDisplayLostMessage = "The connection to the X display was lost.";

class ScreenCapture final : public FrameSource {
public:
    enum class Transfer { SharedMemoryIfAvailable, PlainRequests };
    enum class ChangeTracking { DamageIfAvailable, ReadWholeArea };

    // Opens `displayName` ($DISPLAY when null) on a connection of its own. Throws
    // CaptureError when there is no display or its pixels are not 24-bit colour in
    // 32-bit words.
    explicit ScreenCapture(const char* displayName = nullptr,
                           Transfer transfer = Transfer::SharedMemoryIfAvailable,
                           ChangeTracking tracking = ChangeTracking::DamageIfAvailable);
    ~ScreenCapture() override;
    ScreenCapture(const ScreenCapture&) = delete;
    ScreenCapture& operator=(const ScreenCapture&) = delete;

    int32_t ScreenWidth() const override;
    int32_t ScreenHeight() const override;
    void Begin(const CaptureArea& area) override;
    PixelPlane Capture() override;
    void End() override;
    int64_t BufferBytes() const override;
    bool TracksChanges() const override;
    std::vector<PixelBox> ChangedSincePreviousCapture() const override;
    // None while the pointer is on another screen of the display.
    std::optional<ScreenPoint> QueryPointer() const override;

    // Where the pointer is, in screen coordinates.
    ScreenPoint PointerPosition() const;
    // Whether the begun capture goes through shared memory.
    bool UsesSharedMemory() const;
    // Image requests sent to the server since construction.
    int64_t ScreenReads() const;
    // While changes are tracked, the whole area is still read and compared within this
    // interval (2 s by default), in case something was drawn without a damage report: one
    // band of a 64th of its rows at a time, so that no capture reads much of it.
    // Zero or less: never.
    void SetWholeAreaReadInterval(std::chrono::milliseconds interval);

private:
    struct State;
    std::unique_ptr<State> state_;
};
