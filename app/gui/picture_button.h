// A button made of two pictures at the same place, a normal and a pressed one. Pressing
// shows the pressed picture; dragging out of it while held shows the normal one again;
// releasing always shows the normal picture and clicks only inside.
#pragma once

#include "app/gui/artwork.h"

#include <QWidget>

class PictureButton : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 101;
    static constexpr int kHeight = 30;

    PictureButton(ButtonGlyph glyph, QString caption, QWidget* parent = nullptr);

    bool PressedPictureShown() const { return pressedShown_; }
    bool Pressed() const { return pressedFlag_; }
    QPixmap NormalPicture() const;
    QPixmap PressedPicture() const;

    // The pressed effect, in the normal picture's coordinates.
    void MouseDown();
    void MouseMove(QPoint position);
    void MouseUp();
    // The same reset as MouseUp, then Clicked.
    void Click();

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ShowPressedPicture(bool pressed);

    ButtonGlyph glyph_;
    QString caption_;
    bool pressedFlag_ = false;
    bool pressedShown_ = false;
};
