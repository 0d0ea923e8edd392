// Where the recorder's pictures come from: the screen (ScreenCapture) or, in tests,
// pictures a program draws itself.
#pragma once

#include "model/project.h"
#include "record/core/frame_compare.h"

#include <stdexcept>
#include <string>
#include <vector>

// The screen cannot be reached or captured; what() is the message for the user.
class CaptureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual int32_t ScreenWidth() const = 0;
    virtual int32_t ScreenHeight() const = 0;
    // Prepares capturing `area`, which lies on the screen. Throws CaptureError.
    virtual void Begin(const CaptureArea& area) = 0;
    // Copies the area from the screen. Captures alternate between two buffers, so the
    // plane returned by the previous call stays valid until the call after this one.
    // The plane is top-down (row 0 is the area's top line). Throws CaptureError.
    virtual PixelPlane Capture() = 0;
    // Whether ChangedSincePreviousCapture() knows where captures differ. Sources that
    // cannot tell leave the whole comparison to the caller.
    virtual bool TracksChanges() const { return false; }
    // When TracksChanges(): the boxes (in the plane's coordinates, no two sharing a row)
    // outside which the plane of the last Capture() equals the plane of the one before;
    // none when the two are equal throughout. Pixels inside them may still be equal.
    virtual std::vector<PixelBox> ChangedSincePreviousCapture() const { return {}; }
    // Releases the buffers; harmless when nothing was begun.
    virtual void End() = 0;
    // Bytes the buffers hold while a capture is begun.
    virtual int64_t BufferBytes() const = 0;
    // Where the pointer is now, in screen coordinates; none when the source cannot tell.
    virtual std::optional<ScreenPoint> QueryPointer() const { return std::nullopt; }
};
