#include "record/core/portal_capture.h"

#include "record/core/capture_geometry.h"
#include "record/core/screencast_stream.h"
#include "record/core/stream_pixels.h"

namespace {
// How long a started cast may take to send the monitor's first picture.
constexpr std::chrono::seconds kFirstPictureTimeout{10};
} // namespace

struct PortalCapture::State {
    explicit State(const ScreenCastRequest& request)
        : portal(request),
          stream(portal.OpenPipeWireRemote(), portal.PipeWireNode(), kFirstPictureTimeout) {}

    ScreenCastPortal portal;
    ScreenCastStream stream;
    CaptureArea area{};
    bool begun = false;
    // Captures alternate between the two; `current` is the one returned last.
    std::vector<uint8_t> buffers[2];
    int current = 0;
    // Where the other buffer is out of date against the current one.
    std::vector<PixelBox> lastChange;
    // Where the last capture differs from the one before (none when nothing came).
    std::vector<PixelBox> reported;
    bool firstCapture = true;

    PixelPlane Plane(int index) const {
        return {buffers[index].data(), int64_t{AreaWidth(area)} * 4, AreaWidth(area),
                AreaHeight(area), 4};
    }
    // The part of a box of the stream inside the area, in the area's coordinates.
    std::optional<PixelBox> InArea(const PixelBox& box) const {
        PixelBox moved{box.x0 - area.Left, box.y0 - area.Top, box.x1 - area.Left,
                       box.y1 - area.Top};
        return ClipBox(moved, AreaWidth(area), AreaHeight(area));
    }
};

PortalCapture::PortalCapture(const ScreenCastRequest& request)
    : state_(std::make_unique<State>(request)) {}

PortalCapture::~PortalCapture() = default;

int32_t PortalCapture::ScreenWidth() const {
    return state_->stream.Width();
}
int32_t PortalCapture::ScreenHeight() const {
    return state_->stream.Height();
}

void PortalCapture::Begin(const CaptureArea& area) {
    State& s = *state_;
    if (area.Left < 0 || area.Top < 0 || area.Right >= ScreenWidth() ||
        area.Bottom >= ScreenHeight() || area.Left > area.Right || area.Top > area.Bottom)
        throw CaptureError("The capture area does not lie on the screen.");
    s.area = area;
    const size_t bytes = static_cast<size_t>(AreaWidth(area)) * AreaHeight(area) * 4;
    for (auto& buffer : s.buffers)
        buffer.assign(bytes, 0);
    s.current = 0;
    s.lastChange.clear();
    s.reported.clear();
    s.firstCapture = true;
    s.begun = true;
}

PixelPlane PortalCapture::Capture() {
    State& s = *state_;
    if (!s.begun)
        throw CaptureError("No capture was begun.");
    const int target = 1 - s.current;
    const int32_t width = AreaWidth(s.area), height = AreaHeight(s.area);
    const PixelBox whole{0, 0, width - 1, height - 1};
    bool fresh = false;
    std::vector<PixelBox> change;
    s.stream.ReadPicture([&](const StreamPicture& picture) {
        if (s.area.Right >= picture.width || s.area.Bottom >= picture.height)
            throw CaptureError("The monitor's size changed; the capture area no longer fits.");
        fresh = picture.pixels && (picture.fresh || s.firstCapture);
        if (!fresh)
            return;
        const PixelPlane inArea{picture.pixels + s.area.Top * picture.bytesPerRow +
                                    int64_t{s.area.Left} * 4,
                                picture.bytesPerRow, width, height, 4};
        if (s.firstCapture) {
            change = {whole};
        } else {
            for (const PixelBox& box : picture.changed)
                if (std::optional<PixelBox> inside = s.InArea(box))
                    change.push_back(*inside);
            // Compared here, straight from the stream, the change shrinks to what really
            // differs, and only that is copied (a desktop that sends no damage says the whole
            // picture changed each time). Red-first pixels are left to the recorder's compare.
            if (picture.layout == StreamPixelLayout::BGRx ||
                picture.layout == StreamPixelLayout::BGRA)
                change = FindChangedBoxesWithin(s.Plane(s.current), inArea, change);
        }
        // The target buffer still holds the picture before the previous one.
        std::vector<PixelBox> stale = change;
        stale.insert(stale.end(), s.lastChange.begin(), s.lastChange.end());
        for (const PixelBox& box : stale)
            CopyStreamBox(inArea.pixels, inArea.bytesPerRow, picture.layout,
                          s.buffers[target].data(), int64_t{width} * 4, box);
    });
    if (!fresh) {
        // Nothing new: the same picture again, and nothing to compare.
        s.reported.clear();
        return s.Plane(s.current);
    }
    s.lastChange = JoinBoxesSharingRows(std::move(change));
    s.reported = s.lastChange;
    s.firstCapture = false;
    s.current = target;
    return s.Plane(s.current);
}

std::vector<PixelBox> PortalCapture::ChangedSincePreviousCapture() const {
    return state_->reported;
}

void PortalCapture::End() {
    State& s = *state_;
    s.begun = false;
    for (auto& buffer : s.buffers)
        std::vector<uint8_t>().swap(buffer);
}

int64_t PortalCapture::BufferBytes() const {
    const State& s = *state_;
    return static_cast<int64_t>(s.buffers[0].size() + s.buffers[1].size());
}

std::optional<ScreenPoint> PortalCapture::QueryPointer() const {
    if (PointerInPictures())
        return std::nullopt;
    return state_->stream.Pointer();
}

const std::string& PortalCapture::RestoreToken() const {
    return state_->portal.RestoreToken();
}

bool PortalCapture::PointerInPictures() const {
    return state_->portal.CursorMode() != PortalCursor::Metadata;
}
