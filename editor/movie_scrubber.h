// The movie at one time, beside the editing preview: a frame drawn by the frame renderer (as
// the video export draws it), a slider over the movie's length and a play/pause toggle.
#pragma once

#include "model/project.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>

class FrameRenderer;
class MovieTimeline;
class QLabel;
class QSlider;
class QToolButton;

class MovieScrubber : public QWidget {
    Q_OBJECT
public:
    // The bar (toggle, slider, time); View() shows the frame and goes where the caller puts it.
    explicit MovieScrubber(const Project& project, QWidget* parent = nullptr);
    ~MovieScrubber() override;

    // The project changed: the frame is drawn from it anew (soon, once for many changes).
    void ProjectChanged();

    QWidget* View() const { return view_; }
    QSlider* Slider() const { return slider_; }
    QToolButton* PlayButton() const { return play_; }
    const QImage& Frame() const { return frame_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Rebuild();
    void ShowFrame(int frame);
    void SetPlaying(bool playing);
    void Tick();

    const Project& project_;
    std::unique_ptr<MovieTimeline> timeline_;
    std::unique_ptr<FrameRenderer> renderer_;
    QImage frame_;
    QWidget* view_;
    QSlider* slider_;
    QToolButton* play_;
    QLabel* time_;
    QTimer player_;
    QTimer changed_; // gathers the project's changes into one redraw
};
