#include "movie/timeline.h"

#include "geometry/box_fit.h"
#include "geometry/outline_geometry.h"
#include "model/project_objects.h"

#include <algorithm>
#include <cmath>
#include <limits>

int32_t Interpolate(int32_t start, int32_t end, int64_t elapsed, int64_t duration) {
    if (duration == 0)
        return end;
    // The product of two 32-bit spans needs more than 64 bits; the result lies between the ends.
    return static_cast<int32_t>(start +
                                static_cast<__int128>(int64_t{end} - start) * elapsed / duration);
}

namespace {

bool HasPixels(const AnimObject& object) {
    return object.Kind == KindPicture && DibWidth(object.Image) > 0 &&
           DibHeight(object.Image) > 0 && object.Image.pixels;
}

bool IsDrawn(const AnimObject& object) {
    switch (object.Kind) {
    case KindText:
        return object.Text && object.Text[0] != '\0';
    case KindVector:
        return true;
    case KindPicture:
        return HasPixels(object);
    default:
        return false; // buttons are not drawn
    }
}

} // namespace

double MovieTimeline::FrameCountOf(const Project& project, double framesPerSecond) {
    int32_t maxTime = 0;
    for (const AnimObject& object : project.Objects)
        maxTime = std::max({maxTime, object.Start.Time, object.End.Time});
    return std::trunc(framesPerSecond * maxTime * 0.001) + 1;
}

MovieTimeline::MovieTimeline(const Project& project, double framesPerSecond)
    : framesPerSecond_(framesPerSecond) {
    frameCount_ = static_cast<int32_t>(
        std::min(FrameCountOf(project, framesPerSecond), static_cast<double>(kMaxTimelineFrames)));
    for (const AnimObject& object : project.Objects) {
        // An object runs forward in time whichever of its states holds the earlier time.
        ObjectTimes times{std::min(object.Start.Time, object.End.Time),
                          std::max(object.Start.Time, object.End.Time), IsDrawn(object),
                          object.RemoveWhenFinished, 0};
        // Never started objects never show; others settle in the frame that reaches their end,
        // and removed ones one frame later.
        const int32_t first = FirstFrameFrom(times.start);
        if (times.drawn && first < frameCount_) {
            const int32_t finish = FirstFrameFrom(times.end);
            times.settledFrom = std::min(frameCount_, finish + (times.removed ? 1 : 0));
        }
        objects_.push_back(times);
    }

    // Each frame takes the last sample (in track order) of those whose time falls after the
    // previous frame's; a frame without one keeps the pointer where it was.
    std::vector<int32_t> sampleOfFrame(static_cast<size_t>(frameCount_), -1);
    for (int32_t i = 0; i < project.PointerTrack.Count(); ++i) {
        const int32_t k = FirstFrameFrom(project.PointerTrack[i].Time);
        if (k < frameCount_)
            sampleOfFrame[static_cast<size_t>(k)] = i;
    }
    PointerSample at{0, 0, 0};
    pointer_.reserve(static_cast<size_t>(frameCount_));
    for (int32_t k = 0; k < frameCount_; ++k) {
        if (const int32_t i = sampleOfFrame[static_cast<size_t>(k)]; i >= 0)
            at = project.PointerTrack[i];
        pointer_.push_back(at);
    }
}

int64_t MovieTimeline::FrameTime(int32_t k) const {
    return static_cast<int64_t>(std::trunc(k * 1000.0 / framesPerSecond_));
}

int32_t MovieTimeline::FirstFrameFrom(int64_t time) const {
    int32_t low = 0;
    int32_t high = frameCount_;
    while (low < high) {
        const int32_t middle = low + (high - low) / 2;
        if (FrameTime(middle) >= time)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

int32_t MovieTimeline::FrameAt(int64_t time) const {
    const int32_t next = FirstFrameFrom(time);
    if (next < frameCount_ && FrameTime(next) == time)
        return next;
    return std::clamp(next - 1, 0, frameCount_ - 1);
}

FrameChange MovieTimeline::ChangeAt(int32_t k, int32_t index) const {
    const ObjectTimes& o = objects_[static_cast<size_t>(index)];
    const int64_t now = FrameTime(k);
    // Frame 0 follows all earlier times: objects with negative times start in it.
    const int64_t before = k == 0 ? std::numeric_limits<int64_t>::min() : FrameTime(k - 1);
    if (o.start > now)
        return FrameChange::None;
    if (o.start > before)
        return o.end == o.start || o.start < now ? FrameChange::DefineAndUpdate
                                                 : FrameChange::Define;
    if (before >= o.end)
        return o.removed ? FrameChange::Remove : FrameChange::None;
    return FrameChange::Update;
}

bool MovieTimeline::OnStage(int32_t k, int32_t index) const {
    const ObjectTimes& o = objects_[static_cast<size_t>(index)];
    return o.drawn && o.start <= FrameTime(k) && !(o.removed && k > 0 && FrameTime(k - 1) >= o.end);
}

AnimationPoint MovieTimeline::PointAt(int32_t k, int32_t index) const {
    const ObjectTimes& o = objects_[static_cast<size_t>(index)];
    const int64_t duration = o.end - o.start;
    return {std::clamp<int64_t>(FrameTime(k) - o.start, 0, duration), duration};
}

int32_t MorphRatio(const AnimationPoint& point) {
    return static_cast<int32_t>(point.duration == 0 ? 65535
                                                    : point.elapsed * 65535 / point.duration);
}

RgbaValues StateColor(const ObjectState& state) {
    return {RedOf(state.Color), GreenOf(state.Color), BlueOf(state.Color),
            TransparencyAlpha(state.Transparency)};
}

TextLook TextLookAt(const AnimObject& object, const AnimationPoint& point) {
    const ObjectState& s = object.Start;
    const ObjectState& e = object.End;
    const int64_t t = point.elapsed;
    const int64_t d = point.duration;
    const int32_t transparency = Interpolate(s.Transparency, e.Transparency, t, d);
    return {Interpolate(s.Left, e.Left, t, d),
            Interpolate(s.Top, e.Top, t, d),
            Interpolate(s.Rotation, e.Rotation, t, d),
            Interpolate(s.FontSize, e.FontSize, t, d),
            {Interpolate(RedOf(s.Color), RedOf(e.Color), t, d),
             Interpolate(GreenOf(s.Color), GreenOf(e.Color), t, d),
             Interpolate(BlueOf(s.Color), BlueOf(e.Color), t, d), TransparencyAlpha(transparency)}};
}

void FitBox(int32_t pictureWidth, int32_t pictureHeight, int32_t& boxWidth, int32_t& boxHeight) {
    const BoxSize fitted = FitToPicture(boxWidth, boxHeight, pictureWidth, pictureHeight);
    boxWidth = static_cast<int32_t>(fitted.width);
    boxHeight = static_cast<int32_t>(fitted.height);
}

PictureLook PictureLookAt(const AnimObject& object, const AnimationPoint& point,
                          int32_t pictureWidth, int32_t pictureHeight) {
    const ObjectState& s = object.Start;
    const ObjectState& e = object.End;
    const int64_t t = point.elapsed;
    const int64_t d = point.duration;
    int32_t bw0 = s.Right - s.Left, bh0 = s.Bottom - s.Top;
    int32_t bw1 = e.Right - e.Left, bh1 = e.Bottom - e.Top;
    FitBox(pictureWidth, pictureHeight, bw0, bh0);
    FitBox(pictureWidth, pictureHeight, bw1, bh1);
    return {Interpolate(s.Left, e.Left, t, d), Interpolate(s.Top, e.Top, t, d),
            Interpolate(s.Rotation, e.Rotation, t, d), Interpolate(bw0, bw1, t, d),
            Interpolate(bh0, bh1, t, d)};
}

PictureSize PictureTargetSize(const AnimObject& object) {
    const int32_t pw = DibWidth(object.Image);
    const int32_t ph = DibHeight(object.Image);
    const ObjectState& s = object.Start;
    const ObjectState& e = object.End;
    int32_t bw = s.Right - s.Left;
    int32_t bh = s.Bottom - s.Top;
    if (bw == 0)
        bw = 1;
    if (bh == 0)
        bh = 1;
    FitBox(pw, ph, bw, bh);
    int32_t endWidth = e.Right - e.Left;
    int32_t endHeight = e.Bottom - e.Top;
    FitBox(pw, ph, endWidth, endHeight);
    if (endWidth > bw || endHeight > bh) {
        bw = endWidth;
        bh = endHeight;
    }
    return {bw, bh};
}

PictureSize HeldPictureSize(const AnimObject& object) {
    const PictureSize target = PictureTargetSize(object);
    const int32_t width = DibWidth(object.Image);
    const int32_t height = DibHeight(object.Image);
    if ((width > target.width || height > target.height) && target.width > 0 && target.height > 0)
        return target;
    return {width, height};
}

int64_t TextWidth(const std::vector<int32_t>& advances, int32_t size) {
    int64_t width = 0;
    for (int32_t advance : advances)
        width += int64_t{advance} * size / 1000;
    return width;
}

TwipsMatrix TextMatrix(int32_t rotation, int32_t left, int32_t top, int32_t size, int32_t half) {
    const RotationTermsResult terms = RotationTerms(rotation);
    return {terms.C,
            terms.C,
            terms.S,
            -terms.S,
            left * kTwipsPerPixel + half,
            top * kTwipsPerPixel + size / 2};
}

TwipsMatrix PictureMatrix(const PictureLook& look, int32_t pictureWidth, int32_t pictureHeight) {
    const double radians = RotationTerms(look.rotation).radians;
    const auto scale = static_cast<int32_t>(
        std::trunc(std::cos(radians) * 65536.0 * look.boxWidth / pictureWidth));
    const auto skew = static_cast<int32_t>(
        std::trunc(std::sin(radians) * 65536.0 * look.boxHeight / pictureHeight));
    return {scale,
            scale,
            skew,
            -skew,
            look.left * kTwipsPerPixel + look.boxWidth * (kTwipsPerPixel / 2),
            look.top * kTwipsPerPixel + look.boxHeight * (kTwipsPerPixel / 2)};
}

namespace {

// The sign of a closed polygon's area; positive when it runs clockwise on screen (y pointing
// down).
int64_t AreaSign(const std::vector<OutlinePoint>& points) {
    __int128 sum = 0; // products of 31-bit values: their sum may need more than 64 bits
    for (size_t i = 0; i + 1 < points.size(); ++i)
        sum += int64_t{points[i].x} * points[i + 1].y - int64_t{points[i + 1].x} * points[i].y;
    return sum > 0 ? 1 : sum < 0 ? -1 : 0;
}

} // namespace

Outline VectorPenPath(const AnimObject& object, const ObjectState& state, int64_t& orientation) {
    const int32_t hw = ((state.Right - state.Left) / 2) * kTwipsPerPixel;
    const int32_t hh = ((state.Bottom - state.Top) / 2) * kTwipsPerPixel;
    Outline outline =
        object.Shape == ShapeRectangle
            ? RectangleOutline(hw, hh)
            : EllipseOutline(EllipseParameters(state.Right - state.Left, state.Bottom - state.Top,
                                               kTwipsPerPixel));
    const RotationTermsResult terms = RotationTerms(state.Rotation);
    RotateOutline(outline, terms.C, terms.S);
    orientation = AreaSign(outline);
    PlaceOutline(outline, state.Left * kTwipsPerPixel + hw, state.Top * kTwipsPerPixel + hh);
    return outline;
}
