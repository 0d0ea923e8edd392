#include "editor/preview_painter.h"

#include "editor/picture_blit.h"
#include "geometry/box_fit.h"
#include "geometry/outline_geometry.h"
#include "model/project_objects.h"
#include "model/project_text.h"
#include "widgets/swatch_color_combo_box.h"
#include "widgets/system_colors.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Larger texts would only stall the preview; the movie keeps the stored size.
constexpr int kMaxPreviewFontPixels = 4096;
// The height the platform uses for a font height of 0.
constexpr int kZeroHeightFontPixels = 16;

// A positive font height is the cell height (ascent + descent), a negative one the em
// height; Qt sizes fonts by their em.
QFont PreviewFont(const QString& family, int32_t fontSize) {
    QFont font(family);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    int64_t height = fontSize == 0 ? kZeroHeightFontPixels : std::llabs(int64_t(fontSize));
    int em = static_cast<int>(std::min<int64_t>(height, kMaxPreviewFontPixels));
    font.setPixelSize(std::max(1, em));
    if (fontSize > 0) {
        QFontMetricsF metrics(font);
        double cell = metrics.ascent() + metrics.descent();
        if (cell > 0)
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(em * em / cell))));
    }
    return font;
}

// A state's colour with its transparency, as the movie draws it.
QColor StateColor(const ObjectState& state, const QPalette& palette) {
    QColor color = PreviewColor(state.Color, palette);
    color.setAlpha(TransparencyAlpha(state.Transparency));
    return color;
}

void PaintText(QPainter& painter, const AnimObject& object, const ObjectState& state,
               const QPalette& palette) {
    const QString text = DecodeProjectText(object.Text);
    const QFont font = PreviewFont(DecodeProjectText(object.FontName), state.FontSize);
    const QFontMetrics metrics(font);
    // Half the unturned extent, negated; the text turns about the centre of that extent
    // placed with its top left corner at (Left, Top).
    const int64_t hw = -(metrics.horizontalAdvance(text) / 2);
    const int64_t hh = -(metrics.height() / 2);
    const RotationTermsResult terms = RotationTerms(state.Rotation);
    const int64_t dx = (hw * terms.C - hh * terms.S) / 65536 - hw;
    const int64_t dy = (hw * terms.S + hh * terms.C) / 65536 - hh;

    painter.save();
    painter.setFont(font);
    painter.setPen(StateColor(state, palette));
    painter.translate(Clamp32(state.Left + dx), Clamp32(state.Top + dy));
    painter.rotate(-state.Rotation / 10.0); // counter-clockwise, like a text escapement
    painter.drawText(0, metrics.ascent(), text);
    painter.restore();
}

void FillOutlinePolygon(QPainter& painter, const Outline& outline, const QColor& color) {
    QPolygon polygon;
    polygon.reserve(static_cast<qsizetype>(outline.size()));
    for (const OutlinePoint& point : outline)
        polygon << QPoint(point.x, point.y);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPolygon(polygon);
}

// The outline holds an anchor, then (control, anchor) pairs of quadratic segments; each
// becomes the cubic segment that draws the same curve.
void FillOutlineCurves(QPainter& painter, const Outline& points, const QColor& color) {
    if (points.empty())
        return;
    QPainterPath path;
    int64_t px = points[0].x;
    int64_t py = points[0].y;
    path.moveTo(px, py);
    for (size_t i = 1; i + 1 < points.size(); i += 2) {
        const OutlinePoint& control = points[i];
        const OutlinePoint& anchor = points[i + 1];
        const int64_t c1x = px + 2 * (control.x - px) / 3;
        const int64_t c1y = py + 2 * (control.y - py) / 3;
        const int64_t c2x = c1x + (anchor.x - px) / 3;
        const int64_t c2y = c1y + (anchor.y - py) / 3;
        path.cubicTo(c1x, c1y, c2x, c2y, anchor.x, anchor.y);
        px = anchor.x;
        py = anchor.y;
    }
    path.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(path);
}

void PaintVector(QPainter& painter, const AnimObject& object, const ObjectState& state,
                 const QPalette& palette) {
    const QColor color = StateColor(state, palette);
    const RotationTermsResult terms = RotationTerms(state.Rotation);
    const int64_t w = int64_t(state.Right) - state.Left;
    const int64_t h = int64_t(state.Bottom) - state.Top;
    if (object.Shape == ShapeRectangle) {
        const int32_t hw = Clamp32(w / 2);
        const int32_t hh = Clamp32(h / 2);
        Outline outline = RectangleOutline(hw, hh);
        RotateOutline(outline, terms.C, terms.S);
        OffsetOutline(outline, Clamp32(state.Left + int64_t(hw)), Clamp32(state.Top + int64_t(hh)));
        FillOutlinePolygon(painter, outline, color);
    } else if (object.Shape == ShapeEllipse) {
        Outline outline = EllipseOutline(EllipseParameters(Clamp32(w), Clamp32(h), 1));
        RotateOutline(outline, terms.C, terms.S);
        OffsetOutline(outline, Clamp32(state.Left + w / 2), Clamp32(state.Top + h / 2));
        FillOutlineCurves(painter, outline, color);
    }
}

void PaintPicture(const PixelTarget& target, const AnimObject& object, const ObjectState& state) {
    const PictureBox box = FitPictureBox(state.Left, state.Top, state.Right, state.Bottom,
                                         DibWidth(object.Image), DibHeight(object.Image));
    DrawRotatedPicture(target, object.Image, box, state.Rotation);
}

// A frame around the box with Right and Bottom as its last pixels, and eight handles.
void PaintSelectionFrame(QPainter& painter, const ObjectState& state) {
    const int64_t x = state.Left;
    const int64_t y = state.Top;
    const int64_t w = int64_t(state.Right) - state.Left + 1;
    const int64_t h = int64_t(state.Bottom) - state.Top + 1;
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::NoBrush);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawRect(Clamp32(x), Clamp32(y), Clamp32(w - 1), Clamp32(h - 1));
    const int64_t centres[8][2] = {{x, y},         {x + w, y},        {x, y + h},
                                   {x + w, y + h}, {x + w / 2, y},    {x + w / 2, y + h},
                                   {x, y + h / 2}, {x + w, y + h / 2}};
    for (const auto& centre : centres)
        painter.fillRect(Clamp32(centre[0] - 3), Clamp32(centre[1] - 3), 6, 6, Qt::black);
}

} // namespace

QColor PreviewColor(int32_t colorValue, const QPalette& palette) {
    const uint32_t value = static_cast<uint32_t>(colorValue);
    if (IsSystemColorReference(value))
        return ColorFromBgr(ResolveColorValue(value, palette).value_or(0));
    return ColorFromBgr(value & 0x00FFFFFFu);
}

QString DecodeProjectText(const char* text) {
    const std::u32string characters = ProjectTextCharacters(text);
    return QString::fromUcs4(characters.data(), static_cast<qsizetype>(characters.size()));
}

void PaintPreview(QImage& image, const Project& project, const PreviewView& view, QPoint origin) {
    image.fill(Qt::white);
    if (image.isNull())
        return;
    // Pictures are written straight into the pixels, between the painter's drawings.
    const PixelTarget pixels{reinterpret_cast<uint32_t*>(image.bits()),
                             image.width(),
                             image.height(),
                             image.bytesPerLine(),
                             origin.x(),
                             origin.y()};
    const int32_t selectedObject = view.selectedRow >= 0 ? view.selectedRow / 2 : -1;
    QPainter painter(&image);
    painter.translate(-origin);
    const int32_t count = project.Objects.Count();
    for (int32_t i = 0; i < count; ++i) {
        if (view.onlySelectedShown && i != selectedObject)
            continue;
        const AnimObject& object = project.Objects[i];
        if (!view.noConnectionLines) {
            painter.setPen(QPen(QColor(0, 0, 255), 0));
            painter.drawLine(object.Start.Left, object.Start.Top, object.End.Left, object.End.Top);
        }
        for (const ObjectState* state : {&object.Start, &object.End}) {
            switch (object.Kind) {
            case KindText:
                PaintText(painter, object, *state, view.palette);
                break;
            case KindVector:
                PaintVector(painter, object, *state, view.palette);
                break;
            case KindPicture:
                PaintPicture(pixels, object, *state);
                break;
            default: // Buttons have no picture in the preview.
                break;
            }
        }
        if (i == selectedObject)
            PaintSelectionFrame(painter, view.selectedRow % 2 == 0 ? object.Start : object.End);
    }
}

QImage RenderPreview(const Project& project, const PreviewView& view, QRect region) {
    if (region.isEmpty())
        region = QRect(0, 0, std::max(1, project.MovieWidth), std::max(1, project.MovieHeight));
    QImage image(region.size(), QImage::Format_RGB32);
    PaintPreview(image, project, view, region.topLeft());
    return image;
}
