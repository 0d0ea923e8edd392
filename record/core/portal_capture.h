// The FrameSource of a Wayland desktop: the monitor that the screen-cast portal shares,
// read from its PipeWire stream. Screen coordinates are the stream's pixels (device
// pixels under fractional scaling). Pictures come only when the monitor changed, with
// the boxes that changed; the pointer comes from the stream's cursor metadata.
#pragma once

#include "record/core/frame_source.h"
#include "record/core/screencast_portal.h"

#include <memory>

class ScreenCastStream;

// Said once when the desktop offers no cursor metadata.
inline constexpr const char* kPointerInPicturesNote =
    "The desktop draws the pointer into the pictures; the recording has no pointer track.";

class PortalCapture final : public FrameSource {
public:
    // Asks the portal to share a monitor (the desktop's dialog unless the token is
    // accepted) and waits for its first picture. Throws CaptureError.
    explicit PortalCapture(const ScreenCastRequest& request);
    ~PortalCapture() override;
    PortalCapture(const PortalCapture&) = delete;
    PortalCapture& operator=(const PortalCapture&) = delete;

    int32_t ScreenWidth() const override;
    int32_t ScreenHeight() const override;
    void Begin(const CaptureArea& area) override;
    PixelPlane Capture() override;
    void End() override;
    int64_t BufferBytes() const override;
    bool TracksChanges() const override { return true; }
    std::vector<PixelBox> ChangedSincePreviousCapture() const override;
    // None when the pointer is drawn into the pictures (see PointerInPictures()).
    std::optional<ScreenPoint> QueryPointer() const override;

    // The token to pass next time so that the desktop does not ask again.
    const std::string& RestoreToken() const;
    // Whether the desktop offered no cursor metadata and draws the pointer into the
    // pictures instead; the pointer track then stays empty.
    bool PointerInPictures() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
