#include "render/frame_renderer.h"

#include "imaging/pictavo.h"
#include "model/project_text.h"
#include "movie/image_scaling.h"

#include <QPainter>
#include <QTransform>
#include <libyuv/convert_argb.h>

#include <cstring>
#include <optional>

namespace {

// Pictures kept converted between frames; a recording's settled frames are drawn once into
// the kept base and need no room here.
constexpr int64_t kPictureCacheBytes = int64_t{256} << 20;
// A glyph's outline units per em in the movie's fonts.
constexpr double kGlyphUnitsPerEm = 1024.0;

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
    const int32_t count = project_.Objects.Count();
    if (baseFrame_ < 0 || k < baseFrame_) {
        base_ = QImage(project_.MovieWidth, project_.MovieHeight, QImage::Format_RGB32);
        base_.fill(Qt::white);
        basePrefix_ = 0;
    }
    baseFrame_ = k;
    {
        int32_t settled = basePrefix_;
        while (settled < count && timeline_.SettledFrom(settled) <= k)
            ++settled;
        QPainter painter(&base_);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        DrawRange(painter, k, basePrefix_, settled);
        basePrefix_ = settled;
    }

    if (image.size() != base_.size() || image.format() != QImage::Format_RGB32)
        image = QImage(base_.size(), QImage::Format_RGB32);
    std::memcpy(image.bits(), base_.constBits(), static_cast<size_t>(base_.sizeInBytes()));
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    DrawRange(painter, k, basePrefix_, count);
    DrawPointer(painter, timeline_.PointerAt(k));
}

void FrameRenderer::DrawRange(QPainter& painter, int32_t k, int32_t first, int32_t end) {
    // Pictures hidden by an opaque picture above them are not drawn: a recording's frames lie
    // under its later full frames. Found from the top down, drawn from the bottom up.
    std::vector<int32_t> shown;
    QRect covered;
    for (int32_t i = end - 1; i >= first; --i) {
        if (!timeline_.OnStage(k, i))
            continue;
        const std::optional<QRect> box = PictureRect(k, i);
        if (box && covered.contains(*box))
            continue;
        shown.push_back(i);
        if (box &&
            box->width() * int64_t{box->height()} > covered.width() * int64_t{covered.height()})
            covered = *box;
    }
    for (auto i = shown.rbegin(); i != shown.rend(); ++i)
        DrawObject(painter, k, *i);
}

void FrameRenderer::DrawObject(QPainter& painter, int32_t k, int32_t index) {
    const AnimObject& object = project_.Objects[index];
    const AnimationPoint point = timeline_.PointAt(k, index);
    switch (object.Kind) {
    case KindVector:
        DrawVector(painter, object, MorphRatio(point));
        break;
    case KindText:
        DrawText(painter, index, point);
        break;
    case KindPicture:
        DrawPicture(painter, k, index, point);
        break;
    default:
        break;
    }
}

void FrameRenderer::DrawVector(QPainter& painter, const AnimObject& object, int32_t ratio) {
    if (object.Shape != ShapeRectangle && object.Shape != ShapeEllipse)
        return;
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

void FrameRenderer::DrawText(QPainter& painter, int32_t index, const AnimationPoint& point) {
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
    for (size_t i = 0; i < glyphs.paths.size(); ++i) {
        painter.setTransform(QTransform(scale, 0, 0, scale, static_cast<double>(x), -(size / 2)) *
                             place);
        painter.fillPath(glyphs.paths[i], ColorOf(look.color));
        x += static_cast<uint16_t>(int64_t{glyphs.advances[i]} * size / 1000);
    }
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

void FrameRenderer::DrawPicture(QPainter& painter, int32_t k, int32_t index,
                                const AnimationPoint& point) {
    // A picture shown at its own size at whole pixels (a recorded frame) is copied straight
    // from its pixels.
    const DibImage& dib = project_.Objects[index].Image;
    const PictureSize held = HeldPictureSize(project_.Objects[index]);
    if (held.width == DibWidth(dib) && held.height == DibHeight(dib)) {
        const std::optional<QRect> box = PictureRect(k, index);
        if (box && box->width() == held.width && box->height() == held.height) {
            CopyDib(*static_cast<QImage*>(painter.device()), dib, box->topLeft());
            return;
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

void FrameRenderer::DrawPointer(QPainter& painter, const PointerSample& at) {
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
}
