// The recording tab's commands: the capture area, recording start and stop, the pointer
// track and the hot key. The engine and its timer live in the RecordingSession.
#include "app/gui/main_form.h"

#include "editor/animation_editor.h"
#include "model/project_objects.h"
#include "record/core/capture_geometry.h"
#include "record/core/portal_capture.h"
#include "record/core/recorder.h"
#include "record/core/screencast_permission.h"
#include "record/hooks/ras_win_god.h"
#include "record/ui/recording_session.h"
#include "record/ui/select_form.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

void TMainForm::ConnectRecorder() {
    if (recording_)
        return;
    TrasWinGod* hooks = hookComponent_.get();
    recording_ = std::make_unique<RecordingSession>(project_, hooks, nullptr, captureBackend_);
    recording_->Timer().setInterval(RecordingIntervalMs(project_.FramesPerSecond));
    connect(recording_.get(), &RecordingSession::stoppedBySelf, this,
            &TMainForm::RecordingStoppedBySelf);
    if (hooks) {
        hooks->OnMouseMsg = [this](int32_t code, uint32_t mesId, const MouseHookStruct& m) {
            rasWinGod1MouseMsg(code, mesId, m);
        };
        hooks->OnKeybrdMsg = [this](int32_t code, int32_t vkCode, int32_t ksInfo) {
            rasWinGod1KeybrdMsg(code, vkCode, ksInfo);
        };
    }
}

void TMainForm::SetPrimaryScreenArea() {
    // In device pixels, as the capture reads the screen.
    QSize screen(1024, 768);
    if (QScreen* primary = QGuiApplication::primaryScreen())
        screen = primary->geometry().size() * primary->devicePixelRatio();
    project_.Area = FullScreenArea(screen.width(), screen.height());
    NormaliseArea(project_.Area);
    UpdateAreaLabel();
}

void TMainForm::FullScreenBtnClick() {
    if (captureBackend_ == CaptureBackend::X11) {
        SetPrimaryScreenArea();
        return;
    }
    // The monitor the desktop streams, in the stream's pixels (Qt's scale may be rounded).
    try {
        std::unique_ptr<PortalCapture> cast = StartPortalCaptureForUser();
        project_.Area = FullScreenArea(cast->ScreenWidth(), cast->ScreenHeight());
    } catch (const CaptureError& error) {
        ShowError(QString::fromStdString(error.what()));
        return;
    }
    NormaliseArea(project_.Area);
    UpdateAreaLabel();
}

void TMainForm::SelArea2BtnClick() {
    const bool recording = recording_ && recording_->Recording();
    if (captureBackend_ == CaptureBackend::X11) {
        if (SelectArea(*record_.SelectForm, project_.Area, recording))
            UpdateAreaLabel();
        return;
    }
    if (recording)
        return;
    // No program may read a Wayland desktop's screen: the stream's picture stands in.
    QImage picture;
    try {
        picture = WholeScreenPicture(*StartPortalCaptureForUser());
    } catch (const CaptureError& error) {
        ShowError(QString::fromStdString(error.what()));
        return;
    }
    if (SelectAreaOnPicture(*record_.SelectForm, picture, project_.Area, recording))
        UpdateAreaLabel();
}

void TMainForm::ApplyRecorderButtonStates(bool recording) {
    // While a recording runs only Stop works: the area is fixed, New and Open would swap
    // the project out from under the recorder, and Save would write a partial recording.
    record_.RecordBtn->setEnabled(!recording);
    record_.StopBtn->setEnabled(recording);
    record_.SelArea2Btn->setEnabled(!recording);
    record_.FullScreenBtn->setEnabled(!recording);
    controls_.NewBtn->setEnabled(!recording);
    controls_.OpenBtn->setEnabled(!recording);
    controls_.SaveBtn->setEnabled(!recording);
    controls_.SaveAsBtn->setEnabled(!recording);
}

bool TMainForm::MayRecordOverProject() {
    if (project_.Objects.Count() == 0)
        return true;
    // The hot key may come while another program is in front: the box rises above it.
    askingToRecord_ = true;
    const bool ok =
        Confirm(QString::fromUtf8(kRecordOverMessage), QString::fromUtf8(kRecordOverCaption), true);
    askingToRecord_ = false;
    return ok;
}

void TMainForm::RecordBtnClick() {
    ConnectRecorder();
    // A hot key pressed again while the question is open does not ask a second time.
    if (recording_->Recording() || askingToRecord_)
        return;
    if (!MayRecordOverProject())
        return;
    ApplyRecorderButtonStates(true);
    // The label keeps the area as chosen; the engine clips it to the screen.
    QString failure = recording_->Start(project_.Area, project_.FramesPerSecond);
    if (!failure.isEmpty()) {
        ApplyRecorderButtonStates(false);
        ShowError(failure);
        return;
    }
    QString status = QStringLiteral("Recording...");
    if (recording_->PointerInPictures() && !saidPointerInPictures_) {
        saidPointerInPictures_ = true;
        status += QLatin1Char(' ') + QString::fromUtf8(kPointerInPicturesNote);
    }
    statusBar()->showMessage(status);
}

void TMainForm::StopBtnClick() {
    if (!recording_)
        return;
    recording_->Stop();
    ApplyRecorderButtonStates(false);
    RefreshObjectList();
    // The last frame's Start row; selecting it reaches ListView1Click through the list's
    // signals.
    if (const int32_t frames = project_.Objects.Count(); frames > 0)
        editor_->SelectRow(StartRowOf(frames - 1));
    ReportRecording();
}

void TMainForm::Timer1Timer() {
    if (recording_)
        recording_->Timer1Timer();
}

void TMainForm::RecordingStoppedBySelf(const QString& message) {
    StopBtnClick();
    ui_.ShowMessage(this, {message, DefaultCaption(), QMessageBox::Ok, QMessageBox::Warning});
}

void TMainForm::ReportRecording() {
    const Recorder* engine = recording_ ? recording_->Engine() : nullptr;
    if (!engine) {
        statusBar()->clearMessage();
        return;
    }
    QString report = engine->FramesRecorded() == 1
                         ? QStringLiteral("Recording stopped: 1 frame recorded.")
                         : QStringLiteral("Recording stopped: %1 frames recorded.")
                               .arg(engine->FramesRecorded());
    // Ticks come late when a capture outlasts the interval: the rate asked for was not held.
    if (const int64_t skipped = engine->SkippedTicks(); skipped > 0)
        report += QStringLiteral(" %1 ticks were skipped: the frame rate could not be held.")
                      .arg(skipped);
    statusBar()->showMessage(report);
}

void TMainForm::rasWinGod1MouseMsg(int32_t, uint32_t MesID, const MouseHookStruct& MRec) {
    if (recording_)
        recording_->PointerMessage(MesID, MRec);
}

void TMainForm::rasWinGod1KeybrdMsg(int32_t, int32_t VKCode, int32_t KSInfo) {
    ConnectRecorder();
    if (recording_->HotKeyMessage(VKCode, KSInfo))
        ToggleRecording();
}

bool TMainForm::ToggleRecording() {
    ConnectRecorder();
    if (recording_->Recording())
        StopBtnClick();
    else
        RecordBtnClick();
    return recording_->Recording();
}
