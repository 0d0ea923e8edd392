#include "record/ui/select_form.h"

#include "record/core/frame_source.h"

#include "record/core/capture_geometry.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

SelectPaintBox::SelectPaintBox(TSelectForm& form) : QWidget(&form), form_(form) {
    setMouseTracking(true); // moves without a button are seen (and ignored) too
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SelectPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    form_.PaintBox1Paint(painter);
}

void SelectPaintBox::mousePressEvent(QMouseEvent* event) {
    form_.PaintBox1MouseDown(event->position().toPoint());
}

void SelectPaintBox::mouseMoveEvent(QMouseEvent* event) {
    form_.PaintBox1MouseMove(event->position().toPoint());
}

void SelectPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    form_.PaintBox1MouseUp(event->position().toPoint());
}

TSelectForm::TSelectForm(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      paintBox_(new SelectPaintBox(*this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(paintBox_);
    setCursor(Qt::CrossCursor);
}

void TSelectForm::SetScreenPicture(const QPixmap& picture) {
    screenPicture_ = picture;
}

void TSelectForm::ReleaseScreenPicture() {
    screenPicture_ = QPixmap();
}

void TSelectForm::ResetDragging() {
    dragging_ = 0;
    bandShown_ = false;
}

void TSelectForm::PaintBox1Paint(QPainter& painter) {
    painter.drawPixmap(0, 0, screenPicture_);
    if (!bandShown_)
        return;
    painter.setPen(QPen(QColor(255, 0, 0), 0)); // one pixel whatever the scale
    painter.setBrush(Qt::NoBrush);
    // The outline runs through both points the user pointed at.
    int left = std::min(startPoint_.x(), endPoint_.x());
    int top = std::min(startPoint_.y(), endPoint_.y());
    painter.drawRect(left, top, std::abs(endPoint_.x() - startPoint_.x()),
                     std::abs(endPoint_.y() - startPoint_.y()));
}

void TSelectForm::PaintBox1MouseDown(QPoint position) {
    dragging_ = 1;
    startPoint_ = position;
}

void TSelectForm::PaintBox1MouseMove(QPoint position) {
    if (dragging_ != 1)
        return;
    endPoint_ = position;
    bandShown_ = true;
    paintBox_->update();
}

void TSelectForm::PaintBox1MouseUp(QPoint position) {
    if (dragging_ != 1)
        return;
    endPoint_ = position;
    accept();
}

CaptureArea PrimaryScreenArea() {
    QRect geometry = QGuiApplication::primaryScreen()->geometry();
    CaptureArea area = FullScreenArea(geometry.width(), geometry.height());
    NormaliseArea(area);
    return area;
}

namespace {

// Shows the form with `picture` over `geometry` until the drag ends; returns its points
// (the window lies at the screen origin: they are screen points).
std::pair<QPoint, QPoint> DragOn(TSelectForm& form, const QPixmap& picture, const QRect& geometry) {
    form.SetScreenPicture(picture);
    form.ResetDragging();
    form.setGeometry(0, 0, geometry.width(), geometry.height());
    // Wayland lets no program place its windows: a full-screen one lies at the origin.
    if (QGuiApplication::platformName() == QLatin1String("wayland"))
        form.setWindowState(form.windowState() | Qt::WindowFullScreen);
    form.exec(); // Esc or the platform may close it too; the points count all the same
    form.ReleaseScreenPicture();
    return {form.StartPoint(), form.EndPoint()};
}

} // namespace

bool SelectArea(TSelectForm& form, CaptureArea& area, bool recordingTimerEnabled) {
    if (recordingTimerEnabled)
        return false;
    QScreen* screen = QGuiApplication::primaryScreen();
    auto [start, end] = DragOn(form, screen->grabWindow(0), screen->geometry());
    area = CaptureArea{start.x(), start.y(), end.x(), end.y()};
    NormaliseArea(area);
    return true;
}

CaptureArea WindowPointsToPicturePixels(QPoint start, QPoint end, QSize windowSize,
                                        QSize pictureSize) {
    auto x = [&](int point) {
        return static_cast<int32_t>(int64_t{point} * pictureSize.width() / windowSize.width());
    };
    auto y = [&](int point) {
        return static_cast<int32_t>(int64_t{point} * pictureSize.height() / windowSize.height());
    };
    CaptureArea area{x(start.x()), y(start.y()), x(end.x()), y(end.y())};
    NormaliseArea(area);
    return area;
}

bool SelectAreaOnPicture(TSelectForm& form, const QImage& picture, CaptureArea& area,
                         bool recordingTimerEnabled) {
    if (recordingTimerEnabled)
        return false;
    const QRect geometry = QGuiApplication::primaryScreen()->geometry();
    QPixmap pixmap = QPixmap::fromImage(picture);
    // Drawn over exactly the window, whatever the scale.
    pixmap.setDevicePixelRatio(double(picture.width()) / geometry.width());
    auto [start, end] = DragOn(form, pixmap, geometry);
    area = WindowPointsToPicturePixels(start, end, geometry.size(), picture.size());
    return true;
}

QImage WholeScreenPicture(FrameSource& source) {
    source.Begin(FullScreenArea(source.ScreenWidth(), source.ScreenHeight()));
    const PixelPlane plane = source.Capture();
    // Blue, green, red, unused: what Qt calls RGB32 on little-endian machines.
    QImage picture(plane.pixels, plane.width, plane.height, plane.bytesPerRow,
                   plane.bytesPerPixel == 4 ? QImage::Format_RGB32 : QImage::Format_BGR888);
    QImage copy = picture.copy();
    source.End();
    return copy;
}
