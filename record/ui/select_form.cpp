#include "record/ui/select_form.h"

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

bool SelectArea(TSelectForm& form, CaptureArea& area, bool recordingTimerEnabled) {
    if (recordingTimerEnabled)
        return false;
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect geometry = screen->geometry();
    form.SetScreenPicture(screen->grabWindow(0));
    form.ResetDragging();
    form.setGeometry(0, 0, geometry.width(), geometry.height());
    form.exec(); // Esc or the platform may close it too; the points count all the same
    // The window lies at the screen origin: its client points are screen points.
    area = CaptureArea{form.StartPoint().x(), form.StartPoint().y(), form.EndPoint().x(),
                       form.EndPoint().y()};
    NormaliseArea(area);
    form.ReleaseScreenPicture();
    return true;
}
