// Copies a rectangle of the X screen: XShmGetImage on the root window into shared
// memory, or XGetImage when the server offers no shared memory (a remote display).
#pragma once

#include "record/core/frame_source.h"

#include <memory>

class ScreenCapture final : public FrameSource {
public:
    enum class Transfer { SharedMemoryIfAvailable, PlainRequests };

    // Opens `displayName` ($DISPLAY when null) on a connection of its own. Throws
    // CaptureError when there is no display or its pixels are not 24-bit colour in
    // 32-bit words.
    explicit ScreenCapture(const char* displayName = nullptr,
                           Transfer transfer = Transfer::SharedMemoryIfAvailable);
    ~ScreenCapture() override;
    ScreenCapture(const ScreenCapture&) = delete;
    ScreenCapture& operator=(const ScreenCapture&) = delete;

    int32_t ScreenWidth() const override;
    int32_t ScreenHeight() const override;
    void Begin(const CaptureArea& area) override;
    PixelPlane Capture() override;
    void End() override;
    int64_t BufferBytes() const override;

    // Where the pointer is, in screen coordinates.
    ScreenPoint PointerPosition() const;
    // Whether the begun capture goes through shared memory.
    bool UsesSharedMemory() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
