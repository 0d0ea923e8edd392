#include "render/frame_renderer.h"

#include "imaging/pictavo.h"
#include "model/project_text.h"
#include "movie/image_scaling.h"

#include <QPainter>
#include <QTransform>
#include <libyuv/convert_argb.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// Pictures kept converted between frames; a recording's settled frames are drawn once into
// the kept base and need no room here.
constexpr int64_t kPictureCacheBytes = int64_t{256} << 20;
// A glyph's outline units per em in the movie's fonts.
constexpr double kGlyphUnitsPerEm = 1024.0;

// The pixels that drawing shape (in the painter's coordinates) may touch, with a margin for
// anti-aliasing and the pen.
QRect DeviceBox(const QPainter& painter, const QRectF& shape) {
    return painter.transform().mapRect(shape).toAlignedRect().adjusted(-2, -2, 2, 2);
}

int64_t Area(const QRect& box) {
    return int64_t{box.width()} * box.height();
}

// Copies the boxes of from into to (same size and format); the whole image when they cover
// much of it, where one copy is cheaper than many.
void CopyBoxes(const QImage& from, QImage& to, const std::vector<QRect>& boxes) {
    int64_t area = 0;
    for (const QRect& box : boxes)
        area += int64_t{box.width()} * box.height();
    if (area * 2 >= int64_t{from.width()} * from.height()) {
        std::memcpy(to.bits(), from.constBits(), static_cast<size_t>(from.sizeInBytes()));
        return;
    }
    for (const QRect& box : boxes) {
        const QRect inside = box & from.rect();
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            std::memcpy(to.scanLine(y) + ptrdiff_t{4} * inside.left(),
                        from.constScanLine(y) + ptrdiff_t{4} * inside.left(),
                        static_cast<size_t>(inside.width()) * 4);
    }
}

// The movie's 16.16 and twips matrix, followed by twips to pixels.
QTransform PixelTransform(const TwipsMatrix& m) {
    return QTransform(m.scaleX / 65536.0, m.skew0 / 65536.0, m.skew1 / 65536.0, m.scaleY / 65536.0,
                      m.translateX, m.translateY) *
           QTransform::fromScale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
}

QColor ColorOf(const RgbaValues& c) {
    return QColor(c.red, c.green, c.blue, c.alpha);
}

// Absolute points of a pen path (first point absolute, later ones relative).
std::vector<QPointF> AbsolutePoints(const Outline& path) {
    std::vector<QPointF> points;
    int64_t x = 0, y = 0;
    for (const OutlinePoint& p : path) {
        x += p.x;
        y += p.y;
        points.emplace_back(static_cast<double>(x), static_cast<double>(y));
    }
    return points;
}

QPainterPath GlyphPath(const GlyphOutline& outline) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const GlyphContour& contour : outline.contours) {
        path.moveTo(contour.start.x, contour.start.y);
        for (const GlyphEdge& edge : contour.edges) {
            if (edge.curved)
                path.quadTo(edge.control.x, edge.control.y, edge.anchor.x, edge.anchor.y);
            else
                path.lineTo(edge.anchor.x, edge.anchor.y);
        }
        path.closeSubpath();
    }
    return path;
}

// A 24-bit bottom-up picture as a top-down RGB32 image.
QImage ImageOfDib(const DibImage& dib) {
    const int32_t width = DibWidth(dib);
    const int32_t height = DibHeight(dib);
    QImage image(width, height, QImage::Format_RGB32);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* source = DibRow(dib, height - 1 - y);
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int32_t x = 0; x < width; ++x, source += 3)
            target[x] = qRgb(source[2], source[1], source[0]);
    }
    return image;
}

// Copies a 24-bit bottom-up picture into image with its top left corner at `at`, clipped.
void CopyDib(QImage& image, const DibImage& dib, QPoint at) {
    const int32_t height = DibHeight(dib);
    const QRect target = QRect(at, QSize(DibWidth(dib), height)) & image.rect();
    if (target.isEmpty())
        return;
    // Rows run bottom-up in the picture: start at the target's top row and step backwards.
    const uint8_t* source =
        DibRow(dib, height - 1 - (target.top() - at.y())) + ptrdiff_t{3} * (target.left() - at.x());
    libyuv::RGB24ToARGB(source, -static_cast<int>(dib.bytesPerRow),
                        image.scanLine(target.top()) + ptrdiff_t{4} * target.left(),
                        static_cast<int>(image.bytesPerLine()), target.width(), target.height());
}

} // namespace

FrameRenderer::FrameRenderer(const Project& project, const MovieTimeline& timeline)
    : project_(project), timeline_(timeline) {}

bool FrameRenderer::SameAsPrevious(int32_t k) const {
    if (k <= 0)
        return false;
    const PointerSample now = timeline_.PointerAt(k);
    const PointerSample before = timeline_.PointerAt(k - 1);
    if (now.X != before.X || now.Y != before.Y)
        return false;
    for (int32_t i = 0; i < project_.Objects.Count(); ++i) {
        const bool shown = timeline_.OnStage(k, i);
        if (shown != timeline_.OnStage(k - 1, i) ||
            (shown && timeline_.PointAt(k, i).elapsed != timeline_.PointAt(k - 1, i).elapsed))
            return false;
    }
    return true;
}

void FrameRenderer::Render(int32_t k, QImage& image) {
    // The caller's image shares the last frame: let go of it, so that painting needs no copy.
    if (!image.isNull() && image.constBits() == frame_.constBits())
        image = QImage();
    const int32_t count = project_.Objects.Count();
    std::vector<QRect> stale = std::move(overlayBoxes_); // where frame_ differs from base_
    overlayBoxes_.clear();
    const bool fresh = baseFrame_ < 0 || k < baseFrame_;
    if (fresh) {
        base_ = QImage(project_.MovieWidth, project_.MovieHeight, QImage::Format_RGB32);
        base_.fill(Qt::white);
        basePrefix_ = 0;
    }
    baseFrame_ = k;
    int32_t settled = basePrefix_;
    while (settled < count && timeline_.SettledFrom(settled) <= k)
        ++settled;
    {
        // What a picture above that stays to the end hides is never seen again.
        QRect hidden = LastingCover(k, settled, count);
        QPainter painter(&base_);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        DrawObjects(painter, k, ShownObjects(k, basePrefix_, settled, hidden), stale);
        basePrefix_ = settled;
    }

    // The last frame is the base with its moving objects on top: only where those were, and
    // where the base changed, does it need the base again, but for what an opaque picture
    // drawn now covers anyway.
    QRect covered;
    const std::vector<int32_t> shown = ShownObjects(k, basePrefix_, count, covered);
    if (frame_.size() != base_.size() || fresh) {
        frame_ = base_.copy();
    } else {
        stale.erase(std::remove_if(stale.begin(), stale.end(),
                                   [&](const QRect& box) { return covered.contains(box); }),
                    stale.end());
        CopyBoxes(base_, frame_, stale);
    }
    {
        QPainter painter(&frame_);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        DrawObjects(painter, k, shown, overlayBoxes_);
        overlayBoxes_.push_back(DrawPointer(painter, timeline_.PointerAt(k)));
    }
    image = frame_;
}

std::vector<int32_t> FrameRenderer::ShownObjects(int32_t k, int32_t first, int32_t end,
                                                 QRect& covered) {
    std::vector<int32_t> shown;
    for (int32_t i = end - 1; i >= first; --i) {
        if (!timeline_.OnStage(k, i))
            continue;
        const std::optional<QRect> box = PictureRect(k, i);
        if (box && covered.contains(*box))
            continue;
        shown.push_back(i);
        if (box && Area(*box) > Area(covered))
            covered = *box;
    }
    return shown;
}

void FrameRenderer::DrawObjects(QPainter& painter, int32_t k, const std::vector<int32_t>& topDown,
                                std::vector<QRect>& drawn) {
    for (auto i = topDown.rbegin(); i != topDown.rend(); ++i)
        drawn.push_back(DrawObject(painter, k, *i));
}

QRect FrameRenderer::LastingCover(int32_t k, int32_t first, int32_t end) {
    // On stage now and in the last frame (shown from now on), the same box and turn at Start
    // and End (it never moves): a recorded frame.
    QRect cover;
    const int32_t last = timeline_.FrameCount() - 1;
    for (int32_t i = first; i < end; ++i) {
        const AnimObject& object = project_.Objects[i];
        const ObjectState& a = object.Start;
        const ObjectState& b = object.End;
        if (object.Kind != KindPicture || a.Left != b.Left || a.Top != b.Top ||
            a.Right != b.Right || a.Bottom != b.Bottom || a.Rotation != b.Rotation ||
            !timeline_.OnStage(k, i) || !timeline_.OnStage(last, i))
            continue;
        if (const std::optional<QRect> box = PictureRect(k, i); box && Area(*box) > Area(cover))
            cover = *box;
    }
    return cover;
}

QRect FrameRenderer::DrawObject(QPainter& painter, int32_t k, int32_t index) {
    const AnimObject& object = project_.Objects[index];
    const AnimationPoint point = timeline_.PointAt(k, index);
    switch (object.Kind) {
    case KindVector:
        return DrawVector(painter, object, MorphRatio(point));
    case KindText:
        return DrawText(painter, index, point);
    case KindPicture:
        return DrawPicture(painter, k, index, point);
    default:
        return {};
    }
}

QRect FrameRenderer::DrawVector(QPainter& painter, const AnimObject& object, int32_t ratio) {
    if (object.Shape != ShapeRectangle && object.Shape != ShapeEllipse)
        return {};
    int64_t orientation = 0;
    const std::vector<QPointF> from =
        AbsolutePoints(VectorPenPath(object, object.Start, orientation));
    const std::vector<QPointF> to = AbsolutePoints(VectorPenPath(object, object.End, orientation));
    // The morph moves every point and the colour in a straight line from Start to End.
    const double t = ratio / 65535.0;
    auto at = [&](size_t i) { return from[i] + (to[i] - from[i]) * t; };
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.moveTo(at(0));
    if (object.Shape == ShapeEllipse) {
        for (size_t i = 1; i + 1 < from.size(); i += 2)
            path.quadTo(at(i), at(i + 1));
    } else {
        for (size_t i = 1; i < from.size(); ++i)
            path.lineTo(at(i));
    }
    path.closeSubpath();
    const RgbaValues a = StateColor(object.Start);
    const RgbaValues b = StateColor(object.End);
    auto mix = [&](int32_t x, int32_t y) { return x + (y - x) * ratio / 65535; };
    const QColor color(mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue),
                       mix(a.alpha, b.alpha));
    painter.setTransform(QTransform::fromScale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel));
    painter.fillPath(path, color);
    return DeviceBox(painter, path.controlPointRect());
}

const FrameRenderer::Glyphs& FrameRenderer::GlyphsOf(int32_t index) {
    auto [found, added] = glyphs_.try_emplace(index);
    if (added) {
        const AnimObject& object = project_.Objects[index];
        const std::string fontName =
            object.FontName ? ProjectTextUtf8(object.FontName) : kDefaultFontName;
        for (char32_t c : ProjectTextCharacters(object.Text)) {
            GlyphOutline outline;
            faces_.LoadGlyph(fontName, c, outline);
            found->second.paths.push_back(GlyphPath(outline));
            found->second.advances.push_back(outline.advance);
        }
    }
    return found->second;
}

QRect FrameRenderer::DrawText(QPainter& painter, int32_t index, const AnimationPoint& point) {
    const Glyphs& glyphs = GlyphsOf(index);
    const TextLook look = TextLookAt(project_.Objects[index], point);
    const int32_t size = look.fontSize * kTwipsPerPixel;
    const auto half = static_cast<int32_t>(TextWidth(glyphs.advances, size) / 2);
    const QTransform place =
        PixelTransform(TextMatrix(look.rotation, look.left, look.top, size, half));
    const double scale = size / kGlyphUnitsPerEm;
    // Glyphs stand on the line at y 0, each after the previous one's advance (whole twips,
    // as the movie's text records hold them).
    int64_t x = -half;
    QRect box;
    for (size_t i = 0; i < glyphs.paths.size(); ++i) {
        painter.setTransform(QTransform(scale, 0, 0, scale, static_cast<double>(x), -(size / 2)) *
                             place);
        painter.fillPath(glyphs.paths[i], ColorOf(look.color));
        box |= DeviceBox(painter, glyphs.paths[i].controlPointRect());
        x += static_cast<uint16_t>(int64_t{glyphs.advances[i]} * size / 1000);
    }
    return box;
}

const QImage& FrameRenderer::PictureOf(int32_t index) {
    for (auto it = pictures_.begin(); it != pictures_.end(); ++it) {
        if (it->first == index) {
            pictures_.splice(pictures_.begin(), pictures_, it);
            return pictures_.front().second;
        }
    }
    const AnimObject& object = project_.Objects[index];
    const PictureSize held = HeldPictureSize(object);
    QImage image;
    if (DibWidth(object.Image) != held.width || DibHeight(object.Image) != held.height) {
        DibImage scaled = ScaleImageNearest(object.Image, held.width, held.height);
        if (scaled.pixels) {
            image = ImageOfDib(scaled);
            Pictavo().deldib(scaled);
        }
    }
    if (image.isNull())
        image = ImageOfDib(object.Image);
    pictureBytes_ += image.sizeInBytes();
    pictures_.emplace_front(index, std::move(image));
    while (pictureBytes_ > kPictureCacheBytes && pictures_.size() > 1) {
        pictureBytes_ -= pictures_.back().second.sizeInBytes();
        pictures_.pop_back();
    }
    return pictures_.front().second;
}

QRect FrameRenderer::DrawPicture(QPainter& painter, int32_t k, int32_t index,
                                 const AnimationPoint& point) {
    // A picture shown at its own size at whole pixels (a recorded frame) is copied straight
    // from its pixels.
    const DibImage& dib = project_.Objects[index].Image;
    const PictureSize held = HeldPictureSize(project_.Objects[index]);
    if (held.width == DibWidth(dib) && held.height == DibHeight(dib)) {
        const std::optional<QRect> box = PictureRect(k, index);
        if (box && box->width() == held.width && box->height() == held.height) {
            CopyDib(*static_cast<QImage*>(painter.device()), dib, box->topLeft());
            return *box;
        }
    }
    const QImage& image = PictureOf(index);
    const int32_t pw = image.width();
    const int32_t ph = image.height();
    const PictureLook look = PictureLookAt(project_.Objects[index], point, pw, ph);
    // The bitmap lies centred on the shape's origin, 20 twips a pixel.
    painter.setTransform(QTransform(kTwipsPerPixel, 0, 0, kTwipsPerPixel, -pw * 10.0, -ph * 10.0) *
                         PixelTransform(PictureMatrix(look, pw, ph)));
    painter.drawImage(QPointF(0, 0), image);
    return DeviceBox(painter, QRectF(0, 0, pw, ph));
}

std::optional<QRect> FrameRenderer::PictureRect(int32_t k, int32_t index) {
    const AnimObject& object = project_.Objects[index];
    if (object.Kind != KindPicture)
        return std::nullopt;
    const PictureSize held = HeldPictureSize(object);
    const PictureLook look =
        PictureLookAt(object, timeline_.PointAt(k, index), held.width, held.height);
    const RotationTermsResult terms = RotationTerms(look.rotation);
    if (terms.S != 0 || terms.C <= 0)
        return std::nullopt;
    const QRectF box = PixelTransform(PictureMatrix(look, held.width, held.height))
                           .mapRect(QRectF(-held.width * 10.0, -held.height * 10.0,
                                           held.width * 20.0, held.height * 20.0));
    // Only whole pixels hide what lies below: a partly covered edge pixel blends.
    const QRect whole = box.toAlignedRect();
    if (QRectF(whole) != box)
        return std::nullopt;
    return whole;
}

QRect FrameRenderer::DrawPointer(QPainter& painter, const PointerSample& at) {
    // The movie's arrow: edges in twips from its tip, white with a one-pixel black line.
    static const int32_t kArrow[7][2] = {{200, 200},   {-70, 0},  {100, 200}, {-60, 0},
                                         {-100, -200}, {-70, 50}, {0, -250}};
    QPainterPath path;
    QPointF point(0, 0);
    path.moveTo(point);
    for (const auto& edge : kArrow) {
        point += QPointF(edge[0], edge[1]);
        path.lineTo(point);
    }
    painter.setTransform(QTransform::fromTranslate(at.X * kTwipsPerPixel, at.Y * kTwipsPerPixel) *
                         QTransform::fromScale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel));
    painter.setPen(QPen(Qt::black, kTwipsPerPixel));
    painter.setBrush(Qt::white);
    painter.drawPath(path);
    // The pen reaches half its width (one pixel) beyond the outline.
    return DeviceBox(painter, path.controlPointRect().adjusted(-kTwipsPerPixel, -kTwipsPerPixel,
                                                               kTwipsPerPixel, kTwipsPerPixel));
}
