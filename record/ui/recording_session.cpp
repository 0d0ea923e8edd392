#include "record/ui/recording_session.h"

#include "record/core/screen_capture.h"
#include "record/core/screencast_permission.h"

RecordingSession::RecordingSession(Project& project, TrasWinGod* hooks, QObject* parent,
                                   CaptureBackend backend)
    : QObject(parent), project_(project), hooks_(hooks), backend_(backend),
      memoryLimit_(Recorder::DefaultMemoryLimit()) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &RecordingSession::Timer1Timer);
}

RecordingSession::~RecordingSession() {
    Stop();
}

QString RecordingSession::Start(const CaptureArea& area, int32_t framesPerSecond) {
    Stop();
    try {
        // The screen's connection is opened per recording: the display may have changed
        // size since the last one.
        std::optional<ScreenPoint> pointer;
        pointerInPictures_ = false;
        if (backend_ == CaptureBackend::Portal) {
            // The desktop asks the user the first time; its token skips that later.
            std::unique_ptr<PortalCapture> cast = StartPortalCaptureForUser();
            pointer = cast->QueryPointer();
            pointerInPictures_ = cast->PointerInPictures();
            capture_ = std::move(cast);
        } else {
            auto screen = std::make_unique<ScreenCapture>();
            pointer = screen->PointerPosition();
            capture_ = std::move(screen);
        }
        recorder_ = std::make_unique<Recorder>(project_, *capture_, clock_);
        recorder_->SetMemoryLimit(memoryLimit_);
        recorder_->Start(area, pointer, framesPerSecond);
    } catch (const CaptureError& error) {
        recorder_.reset();
        capture_.reset();
        return QString::fromStdString(error.what());
    }
    timer_.start(recorder_->IntervalMs());
    if (hooks_ && backend_ == CaptureBackend::X11) {
        try {
            hooks_->InstallMouseHook();
        } catch (const HookError&) {
            // The recording goes on without a pointer track.
        }
    }
    return {};
}

void RecordingSession::Stop() {
    if (hooks_)
        hooks_->RemoveMouseHook();
    timer_.stop();
    if (recorder_)
        recorder_->Stop();
    capture_.reset(); // the engine keeps its counts for the status bar
}

int64_t RecordingSession::SkippedTicks() const {
    return recorder_ ? recorder_->SkippedTicks() : 0;
}

int64_t RecordingSession::PictureBytes() const {
    return recorder_ ? recorder_->PictureBytes() : 0;
}

void RecordingSession::Timer1Timer() {
    if (!recorder_ || !recorder_->Recording())
        return;
    TickOutcome outcome = recorder_->Tick();
    emit ticked();
    if (outcome == TickOutcome::Stopped) {
        Stop();
        emit stoppedBySelf(QString::fromStdString(recorder_->StopMessage()));
    }
}

void RecordingSession::PointerMessage(uint32_t mesId, const MouseHookStruct& point) {
    if (mesId == MouseMove && recorder_)
        recorder_->AddPointerSample({point.x, point.y});
}

bool RecordingSession::HotKeyMessage(int32_t vkCode, int32_t ksInfo) {
    return HandleHotKeyEvent(modifiers_, vkCode, ksInfo);
}
