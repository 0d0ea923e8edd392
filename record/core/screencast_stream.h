// The consumer of a screen cast's PipeWire stream (libpipewire-0.3): keeps the newest
// picture of the monitor (the stream's own buffer, not a copy), what changed in it since
// it was last read, and where the pointer is (the stream's cursor metadata).
//
// The stream runs on a thread of its own; the caller takes pictures whenever it likes.
// A monitor sends pictures only when something changed on it.
#pragma once

#include "record/core/frame_source.h"
#include "record/core/stream_pixels.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The pointer's picture as the stream last sent it (later pictures may carry only the
// position): BGRA rows, top-down, without padding.
struct CursorBitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t hotspotX = 0;
    int32_t hotspotY = 0;
    std::vector<uint8_t> pixels;
};

// The stream's newest picture as handed to ScreenCastStream::ReadPicture.
struct StreamPicture {
    const uint8_t* pixels; // top-down; none while the stream changes its format
    int64_t bytesPerRow;
    StreamPixelLayout layout;
    int32_t width;
    int32_t height;
    // Whether it arrived since the previous ReadPicture that had pixels.
    bool fresh;
    // Where it differs from the picture read before, joined so that no two share a row;
    // the whole picture after a size change.
    const std::vector<PixelBox>& changed;
};

class ScreenCastStream {
public:
    // Connects over `pipewireFd` (which it owns from now on) to `node` and waits up to
    // `firstPictureTimeout` for the first picture. Throws CaptureError.
    ScreenCastStream(int pipewireFd, uint32_t node, std::chrono::milliseconds firstPictureTimeout);
    ~ScreenCastStream();
    ScreenCastStream(const ScreenCastStream&) = delete;
    ScreenCastStream& operator=(const ScreenCastStream&) = delete;

    // Size of the newest picture, in the stream's (device) pixels.
    int32_t Width() const;
    int32_t Height() const;
    // Lets `read` read the newest picture (the stream waits meanwhile). Throws
    // CaptureError once the stream has ended or sends what cannot be read.
    void ReadPicture(const std::function<void(const StreamPicture&)>& read);
    // The pointer's position relative to the stream, from its cursor metadata; none
    // before the stream said where it is.
    std::optional<ScreenPoint> Pointer() const;
    CursorBitmap LastCursorBitmap() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
