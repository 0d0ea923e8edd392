// The preview surface of the editing tab. What it draws and how it answers the mouse are
// set by the editor through the callbacks; until then it shows the movie area in white.
#pragma once

#include <QWidget>

#include <functional>

class TPaintBox : public QWidget {
    Q_OBJECT

public:
    using PaintHandler = std::function<void(QPainter&, const QRect& exposed)>;
    using MouseHandler = std::function<void(QMouseEvent&)>;

    explicit TPaintBox(QWidget* parent = nullptr);

    PaintHandler OnPaint;
    MouseHandler OnMouseDown;
    MouseHandler OnMouseMove;
    MouseHandler OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
