// Draws frames of a project's movie into 32-bit images, from the movie timeline and with the
// geometry the SWF carries (outline points and quadratic curves, FreeType glyph outlines, the
// picture fit, 16.16 rotations), anti-aliased by QPainter. Needs Qt Gui but no display.
//
// Pictures show the original pixels, shrunk to the size the SWF holds them at: the same
// geometry as the movie without a JPEG generation's loss before the video codec's own, and
// without encoding every recorded frame as JPEG only to decode it again.
#pragma once

#include "movie/glyph_outline.h"
#include "movie/timeline.h"

#include <QImage>
#include <QPainterPath>

#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <vector>

class FrameRenderer {
public:
    // project and timeline must outlive the renderer and stay unchanged. Pictures need the
    // image library loaded.
    FrameRenderer(const Project& project, const MovieTimeline& timeline);

    // Draws frame k into image, which becomes MovieWidth x MovieHeight in Format_RGB32 and
    // shares the renderer's frame until the next call. Drawing frames in increasing order is
    // fastest: objects that stopped changing are kept drawn, and of the last frame only what
    // moved is drawn again.
    void Render(int32_t k, QImage& image);

    // Whether frame k (> 0) shows exactly what frame k - 1 shows.
    bool SameAsPrevious(int32_t k) const;

private:
    struct Glyphs {
        std::vector<QPainterPath> paths; // in glyph units, one per character
        std::vector<int32_t> advances;   // in units of a 1000-high font
    };

    // Each draws into the painter's image and returns the pixels it may have changed.
    QRect DrawObject(QPainter& painter, int32_t k, int32_t index);
    QRect DrawVector(QPainter& painter, const AnimObject& object, int32_t ratio);
    QRect DrawText(QPainter& painter, int32_t index, const AnimationPoint& point);
    QRect DrawPicture(QPainter& painter, int32_t k, int32_t index, const AnimationPoint& point);
    QRect DrawPointer(QPainter& painter, const PointerSample& at);
    // The objects first .. end - 1 that show in frame k, top down, but pictures hidden under an
    // opaque picture above them or inside covered (a recording's frames lie under its later
    // full frames); covered grows to the largest opaque picture among them.
    std::vector<int32_t> ShownObjects(int32_t k, int32_t first, int32_t end, QRect& covered);
    // Draws those bottom up, adding the pixels each may have changed to drawn.
    void DrawObjects(QPainter& painter, int32_t k, const std::vector<int32_t>& topDown,
                     std::vector<QRect>& drawn);
    // The largest opaque picture among first .. end - 1 that shows from frame k to the end,
    // unmoved: what lies under it is never seen again.
    QRect LastingCover(int32_t k, int32_t first, int32_t end);
    // An unturned picture's box in whole pixels in frame k; none for other objects.
    std::optional<QRect> PictureRect(int32_t k, int32_t index);
    const Glyphs& GlyphsOf(int32_t index);
    const QImage& PictureOf(int32_t index);

    const Project& project_;
    const MovieTimeline& timeline_;
    GlyphFaceCache faces_;
    std::map<int32_t, Glyphs> glyphs_; // by object index

    // Pictures as the movie holds them, the most recently used first, within a memory bound.
    std::list<std::pair<int32_t, QImage>> pictures_;
    int64_t pictureBytes_ = 0;

    // The objects before basePrefix_ (all settled by baseFrame_) drawn over the background.
    QImage base_;
    int32_t baseFrame_ = -1;
    int32_t basePrefix_ = 0;
    // The last frame: base_ with the objects after basePrefix_ and the pointer over it, drawn
    // within overlayBoxes_.
    QImage frame_;
    std::vector<QRect> overlayBoxes_;
};
