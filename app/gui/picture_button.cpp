#include "app/gui/picture_button.h"

#include <QMouseEvent>
#include <QPainter>

PictureButton::PictureButton(ButtonGlyph glyph, QString caption, QWidget* parent)
    : QWidget(parent), glyph_(glyph), caption_(std::move(caption)) {
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(caption_);
}

QPixmap PictureButton::NormalPicture() const {
    return ButtonPicture(glyph_, caption_, false, size(), devicePixelRatioF());
}

QPixmap PictureButton::PressedPicture() const {
    return ButtonPicture(glyph_, caption_, true, size(), devicePixelRatioF());
}

void PictureButton::ShowPressedPicture(bool pressed) {
    if (pressedShown_ != pressed) {
        pressedShown_ = pressed;
        update();
    }
}

void PictureButton::MouseDown() {
    ShowPressedPicture(true);
    pressedFlag_ = true;
}

void PictureButton::MouseMove(QPoint position) {
    if (!pressedFlag_)
        return;
    bool inside =
        position.x() >= 0 && position.x() < width() && position.y() >= 0 && position.y() < height();
    ShowPressedPicture(inside);
}

void PictureButton::MouseUp() {
    ShowPressedPicture(false);
    pressedFlag_ = false;
}

void PictureButton::Click() {
    MouseUp();
    emit Clicked();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintButtonFace(painter, QRectF(rect()), glyph_, caption_, pressedShown_);
}

void PictureButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        MouseDown();
}

void PictureButton::mouseMoveEvent(QMouseEvent* event) {
    MouseMove(event->position().toPoint());
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // A release over the button is a click; the click runs before the release's own reset.
    bool wasPressed = pressedFlag_;
    if (wasPressed && rect().contains(event->position().toPoint()))
        Click();
    MouseUp();
}
