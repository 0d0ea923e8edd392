#include "editor/movie_scrubber.h"

#include "movie/movie_builder.h"
#include "render/frame_renderer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

namespace {

// Paints the scrubber's frame at its own size.
class FrameView : public QWidget {
public:
    explicit FrameView(const QImage& frame) : frame_(frame) {}
    QSize sizeHint() const override { return frame_.size(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, frame_);
    }

private:
    const QImage& frame_;
};

constexpr int kChangeDelayMs = 60;

} // namespace

MovieScrubber::MovieScrubber(const Project& project, QWidget* parent)
    : QWidget(parent), project_(project), view_(new FrameView(frame_)),
      slider_(new QSlider(Qt::Horizontal)), play_(new QToolButton), time_(new QLabel) {
    play_->setCheckable(true);
    play_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    play_->setToolTip(QStringLiteral("Play or pause the movie"));
    slider_->setToolTip(QStringLiteral("The movie at this time"));
    time_->setMinimumWidth(time_->fontMetrics().horizontalAdvance(QStringLiteral("0000.0 s")));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(play_);
    row->addWidget(slider_, 1);
    row->addWidget(time_);

    changed_.setSingleShot(true);
    changed_.setInterval(kChangeDelayMs);
    connect(&changed_, &QTimer::timeout, this, &MovieScrubber::Rebuild);
    connect(slider_, &QSlider::valueChanged, this, &MovieScrubber::ShowFrame);
    connect(play_, &QToolButton::toggled, this, &MovieScrubber::SetPlaying);
    connect(&player_, &QTimer::timeout, this, &MovieScrubber::Tick);
}

MovieScrubber::~MovieScrubber() = default;

void MovieScrubber::ProjectChanged() {
    // The renderer keeps pictures and glyphs by object: none of them may outlive a change.
    renderer_.reset();
    if (!changed_.isActive())
        changed_.start();
}

void MovieScrubber::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Rebuild();
}

void MovieScrubber::Rebuild() {
    renderer_.reset();
    timeline_.reset();
    const double fps = project_.FramesPerSecond;
    const bool drawable = fps >= kMinFramesPerSecond && fps <= kMaxFramesPerSecond &&
                          ProjectLimitProblem(project_).empty();
    setEnabled(drawable);
    if (drawable) {
        timeline_ = std::make_unique<MovieTimeline>(project_, fps);
        renderer_ = std::make_unique<FrameRenderer>(project_, *timeline_);
        slider_->setRange(0, timeline_->FrameCount() - 1);
    }
    ShowFrame(slider_->value());
}

void MovieScrubber::ShowFrame(int frame) {
    // A change the editor has not painted yet may have taken objects away.
    if (timeline_ && timeline_->ObjectCount() != project_.Objects.Count()) {
        Rebuild();
        return;
    }
    if (!renderer_) {
        if (!timeline_ || changed_.isActive())
            return; // drawn once the changes are in
        renderer_ = std::make_unique<FrameRenderer>(project_, *timeline_);
    }
    renderer_->Render(frame, frame_);
    time_->setText(QString::number(timeline_->FrameTime(frame) / 1000.0, 'f', 1) +
                   QStringLiteral(" s"));
    view_->setFixedSize(frame_.size());
    view_->update();
}

void MovieScrubber::SetPlaying(bool playing) {
    play_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    if (!playing) {
        player_.stop();
        return;
    }
    if (slider_->value() == slider_->maximum())
        slider_->setValue(0); // from the start again
    player_.start(static_cast<int>(1000 / std::max(1, project_.FramesPerSecond)));
}

void MovieScrubber::Tick() {
    if (slider_->value() >= slider_->maximum())
        play_->setChecked(false);
    else
        slider_->setValue(slider_->value() + 1);
}
