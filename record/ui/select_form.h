// The area selection window: a frozen picture of the screen shown borderless and on
// top of everything over the whole screen, on which the user drags a rectangle.
#pragma once

#include "model/project.h"

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QPoint>

class QPaintEvent;
class QMouseEvent;

// The paint box that fills the selection window and hands its events to the window.
class SelectPaintBox final : public QWidget {
public:
    explicit SelectPaintBox(class TSelectForm& form);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TSelectForm& form_;
};

class TSelectForm final : public QDialog {
public:
    explicit TSelectForm(QWidget* parent = nullptr);

    // The picture painted under the rubber band while the window is open.
    void SetScreenPicture(const QPixmap& picture);
    void ReleaseScreenPicture();
    // Dragging flag := 0; the points keep their values from the previous use.
    void ResetDragging();

    bool Dragging() const { return dragging_ != 0; }
    QPoint StartPoint() const { return startPoint_; }
    QPoint EndPoint() const { return endPoint_; }
    SelectPaintBox* PaintBox1() const { return paintBox_; }

    // Handlers of the paint box, in client coordinates.
    void PaintBox1Paint(QPainter& painter);
    void PaintBox1MouseDown(QPoint position);
    void PaintBox1MouseMove(QPoint position);
    void PaintBox1MouseUp(QPoint position);

private:
    SelectPaintBox* paintBox_;
    QPixmap screenPicture_;
    int32_t dragging_ = 0;
    bool bandShown_ = false;
    QPoint startPoint_{0, 0};
    QPoint endPoint_{0, 0};
};

// The primary screen's whole area, normalised.
CaptureArea PrimaryScreenArea();

// Lets the user drag out the capture area on a frozen picture of the primary screen;
// afterwards `area` holds the normalised rectangle from the start point to the end point
// (also when the window was closed without a drag, e.g. with Esc: then the points left
// from the previous use count). Does nothing and returns false while
// `recordingTimerEnabled`.
bool SelectArea(TSelectForm& form, CaptureArea& area, bool recordingTimerEnabled);

// The rectangle from `start` to `end` (window points) in the pixels of a picture of
// `pictureSize` shown over the whole of a window of `windowSize`, normalised. A screen-cast
// stream is in device pixels, which differ from window points under (fractional) scaling.
CaptureArea WindowPointsToPicturePixels(QPoint start, QPoint end, QSize windowSize,
                                        QSize pictureSize);

// SelectArea on a picture of the primary screen taken by the caller (a screen-cast stream's
// picture, where the desktop lets no program read the screen); `area` is in its pixels.
bool SelectAreaOnPicture(TSelectForm& form, const QImage& picture, CaptureArea& area,
                         bool recordingTimerEnabled);

class FrameSource;
// The whole screen of `source` as one picture (its next capture). Throws CaptureError.
QImage WholeScreenPicture(FrameSource& source);
