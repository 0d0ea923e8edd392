// What each frame of a project's movie shows, decided in one place for every back end: the SWF
// writer turns a frame's changes into tags, the raster renderer draws its stage. Also the
// geometry both back ends place objects with (interpolated states, text width, picture
// matrices), so a video frame shows what the same SWF frame shows.
#pragma once

#include "geometry/outline_geometry.h"
#include "model/project.h"

#include <cstdint>
#include <vector>

// start + (end - start) x elapsed div duration, with a zero duration meaning "at the end".
int32_t Interpolate(int32_t start, int32_t end, int64_t elapsed, int64_t duration);

// Where an object is in its animation at one frame: elapsed of duration milliseconds.
struct AnimationPoint {
    int64_t elapsed = 0;
    int64_t duration = 0;
};

// What a frame does to one object's entry on the display list.
enum class FrameChange {
    None,
    Define,          // first shown, in its Start state
    DefineAndUpdate, // first shown, already moved on (zero duration, or started earlier)
    Update,          // moved on
    Remove,          // taken off (again in every frame after its end, as the movie does)
};

struct RgbaValues {
    int32_t red, green, blue, alpha;
};

// A text's look at one frame.
struct TextLook {
    int32_t left, top, rotation, fontSize;
    RgbaValues color;
};

// A picture's place at one frame: its fitted box in pixels, for a picture of the size the
// movie holds.
struct PictureLook {
    int32_t left, top, rotation, boxWidth, boxHeight;
};

// A 2 x 3 matrix in the movie's 16.16 and twips fields: x' = scaleX x + skew1 y + translateX,
// y' = skew0 x + scaleY y + translateY.
struct TwipsMatrix {
    int32_t scaleX = 0x10000, scaleY = 0x10000, skew0 = 0, skew1 = 0;
    int32_t translateX = 0, translateY = 0;
};

inline constexpr int32_t kTwipsPerPixel = 20;
inline constexpr int32_t kMaxTimelineFrames = 65535;

class MovieTimeline {
public:
    // framesPerSecond must be positive. Objects whose End.Time lies before their Start.Time
    // run as if the two were exchanged (as BuildMovie exchanges them). At most
    // kMaxTimelineFrames frames: no movie holds more.
    MovieTimeline(const Project& project, double framesPerSecond);

    // The number of frames the movie has, as a double: a project may ask for more than any
    // movie holds.
    static double FrameCountOf(const Project& project, double framesPerSecond);

    int32_t FrameCount() const { return frameCount_; }
    int32_t ObjectCount() const { return static_cast<int32_t>(objects_.size()); }
    // Milliseconds from the start at which frame k shows.
    int64_t FrameTime(int32_t k) const;
    // The frame that shows at a time (0 before the start, the last one after the end).
    int32_t FrameAt(int64_t time) const;

    // Whether the object is drawn at all: buttons, empty texts and pictures without pixels are not.
    bool Drawn(int32_t index) const { return objects_[index].drawn; }
    FrameChange ChangeAt(int32_t k, int32_t index) const;
    // Whether the object shows in frame k (drawn, started, not yet removed).
    bool OnStage(int32_t k, int32_t index) const;
    AnimationPoint PointAt(int32_t k, int32_t index) const;
    // The first frame from which the object looks the same in every later frame.
    int32_t SettledFrom(int32_t index) const { return objects_[index].settledFrom; }
    // The pointer's position in frame k, in pixels.
    PointerSample PointerAt(int32_t k) const { return pointer_[static_cast<size_t>(k)]; }

private:
    struct ObjectTimes {
        int64_t start, end;
        bool drawn, removed;
        int32_t settledFrom;
    };
    // The first frame whose time is at least time; FrameCount() when there is none.
    int32_t FirstFrameFrom(int64_t time) const;

    const double framesPerSecond_;
    int32_t frameCount_ = 1;
    std::vector<ObjectTimes> objects_;
    std::vector<PointerSample> pointer_; // one per frame
};

// The morph ratio (0 to 65535) of a vector object.
int32_t MorphRatio(const AnimationPoint& point);
TextLook TextLookAt(const AnimObject& object, const AnimationPoint& point);
PictureLook PictureLookAt(const AnimObject& object, const AnimationPoint& point,
                          int32_t pictureWidth, int32_t pictureHeight);
RgbaValues StateColor(const ObjectState& state);

// The size (pixels) of the picture the movie holds for a picture object: the original, shrunk
// (never enlarged beyond it) to the larger of its two fitted boxes.
struct PictureSize {
    int32_t width, height;
};
// The box the picture is shrunk into (before the rule that only shrinks applies).
PictureSize PictureTargetSize(const AnimObject& object);

// The size of the picture the movie holds: the target size when the original is larger in
// either direction and that size has pixels, else the original's.
PictureSize HeldPictureSize(const AnimObject& object);

// Fits (boxWidth, boxHeight) to the picture's aspect ratio, by the rule the preview shares.
void FitBox(int32_t pictureWidth, int32_t pictureHeight, int32_t& boxWidth, int32_t& boxHeight);

// A text's width in twips at size twips, from its glyphs' advances in a 1000-high font.
int64_t TextWidth(const std::vector<int32_t>& advances, int32_t size);
// The matrix that places a text of size twips and half its width half, turned by rotation.
TwipsMatrix TextMatrix(int32_t rotation, int32_t left, int32_t top, int32_t size, int32_t half);
// The matrix that stretches a picture of pictureWidth x pictureHeight pixels (centred on the
// origin, in twips) into its box, turned by rotation.
TwipsMatrix PictureMatrix(const PictureLook& look, int32_t pictureWidth, int32_t pictureHeight);

// The pen path (first point absolute in twips, later ones relative) of a rectangle's or an
// ellipse's outline in one state; orientation tells which way it runs round (1 clockwise on
// screen, -1 the other way, 0 without area).
Outline VectorPenPath(const AnimObject& object, const ObjectState& state, int64_t& orientation);
