#include "app/gui/artwork.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>

namespace {

using Painter = std::function<void(QPainter&, const QRectF&)>;

// Paints the icon afresh for every size and pixel ratio it is asked for.
class PaintedIconEngine : public QIconEngine {
public:
    explicit PaintedIconEngine(Painter paint) : paint_(std::move(paint)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.35);
        paint_(*painter, QRectF(rect));
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new PaintedIconEngine(paint_); }

private:
    Painter paint_;
};

// Icons are drawn on a 16 x 16 grid and scaled to the requested rectangle.
void OnGrid(QPainter& p, const QRectF& r, const std::function<void(QPainter&)>& draw) {
    p.save();
    qreal side = std::min(r.width(), r.height());
    p.translate(r.center().x() - side / 2, r.center().y() - side / 2);
    p.scale(side / 16.0, side / 16.0);
    draw(p);
    p.restore();
}

const QColor kInk{0x37, 0x47, 0x4F};
const QColor kPaper{0xFA, 0xFA, 0xFA};
const QColor kFolder{0xF2, 0xB5, 0x3C};
const QColor kDisk{0x3F, 0x6F, 0xB5};

void DrawPage(QPainter& p) {
    QPainterPath page;
    page.moveTo(3, 1.5);
    page.lineTo(10, 1.5);
    page.lineTo(13, 4.5);
    page.lineTo(13, 14.5);
    page.lineTo(3, 14.5);
    page.closeSubpath();
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawPath(page);
    p.drawPolyline(QPolygonF({{10, 1.5}, {10, 4.5}, {13, 4.5}}));
}

void DrawDisk(QPainter& p) {
    p.setPen(QPen(kDisk.darker(140), 1));
    p.setBrush(kDisk);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4, 2, 8, 5));
    p.setBrush(kDisk.darker(160));
    p.drawRect(QRectF(4.5, 9.5, 7, 5));
    p.setBrush(kPaper);
    p.drawRect(QRectF(9, 3, 2, 3));
}

void DrawArrow(QPainter& p, bool up) {
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    QPolygonF arrow({{8, 2}, {14, 9}, {10, 9}, {10, 14}, {6, 14}, {6, 9}, {2, 9}});
    if (!up) {
        for (QPointF& point : arrow)
            point.setY(16 - point.y());
    }
    p.drawPolygon(arrow);
}

void DrawTool(QPainter& p, ToolIcon icon) {
    switch (icon) {
    case ToolIcon::New:
        DrawPage(p);
        p.setPen(QPen(kRecordColor, 1.6));
        p.drawLine(QPointF(8, 7.5), QPointF(8, 12.5));
        p.drawLine(QPointF(5.5, 10), QPointF(10.5, 10));
        break;
    case ToolIcon::Open: {
        p.setPen(QPen(kFolder.darker(150), 1));
        p.setBrush(kFolder.darker(115));
        p.drawPolygon(
            QPolygonF({{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {14.5, 5}, {14.5, 13.5}, {1.5, 13.5}}));
        p.setBrush(kFolder);
        p.drawPolygon(QPolygonF({{1.5, 13.5}, {3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}}));
        break;
    }
    case ToolIcon::Save:
        DrawDisk(p);
        break;
    case ToolIcon::SaveAs:
        DrawDisk(p);
        p.setPen(QPen(kInk, 1));
        p.setBrush(kFolder);
        p.drawPolygon(QPolygonF({{9, 14}, {9.5, 11.5}, {14.5, 6.5}, {16, 8}, {11, 13}}));
        break;
    case ToolIcon::Delete:
        p.setPen(QPen(kRecordColor, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case ToolIcon::MoveUp:
        DrawArrow(p, true);
        break;
    case ToolIcon::MoveDown:
        DrawArrow(p, false);
        break;
    case ToolIcon::Play:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2E, 0x7D, 0x32));
        p.drawPolygon(QPolygonF({{4, 2.5}, {13.5, 8}, {4, 13.5}}));
        break;
    case ToolIcon::Movie:
        p.setPen(QPen(kInk, 1));
        p.setBrush(kInk);
        p.drawRoundedRect(QRectF(1.5, 3.5, 13, 9), 1, 1);
        p.setBrush(kPaper);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i) {
            p.drawRect(QRectF(2.5 + i * 3.2, 4.3, 1.8, 1.2));
            p.drawRect(QRectF(2.5 + i * 3.2, 10.5, 1.8, 1.2));
        }
        p.setBrush(kRecordColor);
        p.drawPolygon(QPolygonF({{6.5, 6}, {10, 8}, {6.5, 10}}));
        break;
    case ToolIcon::Web:
        p.setPen(QPen(kDisk, 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(2, 2, 12, 12));
        p.drawEllipse(QRectF(5, 2, 6, 12));
        p.drawLine(QPointF(2, 8), QPointF(14, 8));
        break;
    }
}

void DrawGlyph(QPainter& p, const QRectF& r, ButtonGlyph glyph, const QColor& color) {
    p.save();
    p.setPen(QPen(color, r.width() * 0.11, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QRectF circle =
        r.adjusted(r.width() * 0.08, r.height() * 0.08, -r.width() * 0.08, -r.height() * 0.08);
    switch (glyph) {
    case ButtonGlyph::Info:
    case ButtonGlyph::Help: {
        p.drawEllipse(circle);
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(int(r.height() * 0.62));
        p.setFont(font);
        p.drawText(r, Qt::AlignCenter, glyph == ButtonGlyph::Info ? "i" : "?");
        break;
    }
    case ButtonGlyph::Quit:
        p.drawArc(circle, 120 * 16, 300 * 16);
        p.drawLine(QPointF(r.center().x(), r.top() + 0.02 * r.height()),
                   QPointF(r.center().x(), r.center().y()));
        break;
    }
    p.restore();
}

} // namespace

QIcon MakeToolIcon(ToolIcon icon) {
    return QIcon(new PaintedIconEngine([icon](QPainter& p, const QRectF& r) {
        OnGrid(p, r, [icon](QPainter& grid) { DrawTool(grid, icon); });
    }));
}

QIcon ProgramIcon() {
    return QIcon(new PaintedIconEngine([](QPainter& p, const QRectF& r) {
        OnGrid(p, r, [](QPainter& g) {
            // A screen with a recording dot: the program records screens.
            QLinearGradient glass(0, 1, 0, 13);
            glass.setColorAt(0, QColor(0x45, 0x5A, 0x64));
            glass.setColorAt(1, QColor(0x26, 0x32, 0x38));
            g.setPen(Qt::NoPen);
            g.setBrush(glass);
            g.drawRoundedRect(QRectF(0.5, 1.5, 15, 11), 1.6, 1.6);
            g.setBrush(QColor(0x26, 0x32, 0x38));
            g.drawRect(QRectF(6.5, 12.5, 3, 1.5));
            g.drawRoundedRect(QRectF(4, 13.8, 8, 1.6), 0.8, 0.8);
            QRadialGradient dot(QPointF(7.2, 6.2), 4);
            dot.setColorAt(0, kRecordColor.lighter(140));
            dot.setColorAt(1, kRecordColor);
            g.setBrush(dot);
            g.drawEllipse(QPointF(8, 7), 3.4, 3.4);
        });
    }));
}

void PaintButtonFace(QPainter& p, const QRectF& rect, ButtonGlyph glyph, const QString& caption,
                     bool pressed) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QRectF body = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    QColor top = pressed ? kAccentColor.darker(130) : kAccentColor.lighter(135);
    QColor bottom = pressed ? kAccentColor.lighter(105) : kAccentColor;
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(kAccentColor.darker(170), 1));
    p.setBrush(fill);
    p.drawRoundedRect(body, 6, 6);
    if (!pressed) {
        // A soft highlight along the upper edge makes the button look raised.
        p.setPen(QPen(QColor(255, 255, 255, 70), 1));
        p.drawLine(QPointF(body.left() + 6, body.top() + 1.5),
                   QPointF(body.right() - 6, body.top() + 1.5));
    }
    qreal shift = pressed ? 1 : 0;
    qreal glyphSide = rect.height() * 0.6;
    QRectF glyphRect(rect.left() + 9 + shift, rect.center().y() - glyphSide / 2 + shift, glyphSide,
                     glyphSide);
    DrawGlyph(p, glyphRect, glyph, Qt::white);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(int(rect.height() * 0.45));
    p.setFont(font);
    p.setPen(Qt::white);
    QRectF textRect(glyphRect.right() + 6, rect.top() + shift,
                    rect.right() - glyphRect.right() - 12, rect.height());
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignHCenter, caption);
    p.restore();
}

QPixmap ButtonPicture(ButtonGlyph glyph, const QString& caption, bool pressed, QSize size,
                      qreal pixelRatio) {
    QPixmap pixmap(size * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    PaintButtonFace(painter, QRectF(QPointF(0, 0), QSizeF(size)), glyph, caption, pressed);
    return pixmap;
}

void PaintPanelPicture(QPainter& p, const QRectF& r, PanelPicture picture) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    qreal side = std::min(r.width(), r.height());
    p.translate(r.center().x() - side / 2, r.center().y() - side / 2);
    p.scale(side / 100.0, side / 100.0);
    if (picture == PanelPicture::Recording) {
        // A monitor with a dashed capture frame and the pointer inside it.
        QLinearGradient glass(0, 10, 0, 70);
        glass.setColorAt(0, QColor(0xEC, 0xEF, 0xF1));
        glass.setColorAt(1, QColor(0xCF, 0xD8, 0xDC));
        p.setPen(QPen(kInk, 3));
        p.setBrush(glass);
        p.drawRoundedRect(QRectF(6, 10, 88, 60), 5, 5);
        p.setBrush(kInk);
        p.drawRect(QRectF(44, 70, 12, 10));
        p.drawRoundedRect(QRectF(30, 80, 40, 6), 3, 3);
        p.setPen(QPen(kRecordColor, 2.5, Qt::DashLine));
        p.setBrush(QColor(0xD3, 0x2F, 0x2F, 30));
        p.drawRect(QRectF(20, 22, 48, 34));
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(kInk);
        p.drawPolygon(
            QPolygonF({{56, 40}, {56, 60}, {61, 55}, {65, 64}, {68, 62}, {64, 53}, {71, 53}}));
        p.setPen(Qt::NoPen);
        p.setBrush(kRecordColor);
        p.drawEllipse(QPointF(83, 20), 6, 6);
    } else {
        // A strip of film turning into a page.
        p.setPen(QPen(kInk, 3));
        p.setBrush(kPaper);
        p.drawRoundedRect(QRectF(40, 8, 50, 66), 3, 3);
        p.setPen(QPen(QColor(0x90, 0xA4, 0xAE), 3, Qt::SolidLine, Qt::RoundCap));
        for (int line = 0; line < 5; ++line)
            p.drawLine(QPointF(49, 24 + line * 10), QPointF(line % 2 ? 74 : 81, 24 + line * 10));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRoundedRect(QRectF(6, 38, 52, 38), 3, 3);
        p.setBrush(kPaper);
        for (int hole = 0; hole < 6; ++hole) {
            p.drawRect(QRectF(10 + hole * 8, 41, 4, 4));
            p.drawRect(QRectF(10 + hole * 8, 69, 4, 4));
        }
        p.setBrush(kRecordColor);
        p.drawPolygon(QPolygonF({{25, 49}, {40, 57}, {25, 65}}));
    }
    p.restore();
}
