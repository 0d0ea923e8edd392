// The recorder as the main window runs it: the engine on a precise QTimer, the mouse
// hook installed for the length of a recording, and the hot-key rule.
//
//   RecordingSession recording{project, rasWinGod1};
//   RecordBtnClick:  recording.Start(project.Area, project.FramesPerSecond);
//   StopBtnClick:    recording.Stop();
//   rasWinGod1MouseMsg:   recording.PointerMessage(MesID, MRec);
//   rasWinGod1KeybrdMsg:  if (recording.HotKeyMessage(VKCode, KSInfo))
//                             recording.Recording() ? StopBtnClick() : RecordBtnClick();
//   stoppedBySelf(message): run StopBtnClick, then show the message.
//   ticked(): the status bar may show SkippedTicks() and PictureBytes().
#pragma once

#include "model/project.h"
#include "record/core/capture_choice.h"
#include "record/core/recorder.h"
#include "record/hooks/hot_key.h"
#include "record/hooks/ras_win_god.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class RecordingSession final : public QObject {
    Q_OBJECT

public:
    // `hooks` may be null (no pointer track then); it must outlive the session. Through
    // the screen-cast portal the stream's cursor metadata gives the pointer track.
    RecordingSession(Project& project, TrasWinGod* hooks, QObject* parent = nullptr,
                     CaptureBackend backend = CaptureBackend::X11);
    ~RecordingSession() override;

    // Starts recording `area` at `framesPerSecond`; the first capture comes one interval
    // later. A mouse hook that cannot be installed is passed over. Returns an empty
    // string, or the message to show when the screen cannot be captured (the project is
    // then unchanged).
    QString Start(const CaptureArea& area, int32_t framesPerSecond);
    // Removes the mouse hook, stops the timer and releases the capture buffers.
    void Stop();

    // The recording timer, for a window that shows it under its own name.
    QTimer& Timer() { return timer_; }
    // Whether a recording runs: from Start until Stop or until it stops by itself.
    bool Recording() const { return timer_.isActive(); }
    int TimerInterval() const { return timer_.interval(); }
    const Recorder* Engine() const { return recorder_.get(); }
    int64_t SkippedTicks() const;
    int64_t PictureBytes() const;
    // Whether the last recording's pictures carry the pointer (a desktop without cursor
    // metadata); its pointer track is empty then.
    bool PointerInPictures() const { return pointerInPictures_; }

    // Timer1Timer: one capture (also called by the timer).
    void Timer1Timer();
    // A mouse hook event: pointer movements (512) join the track, buttons are ignored.
    void PointerMessage(uint32_t mesId, const MouseHookStruct& point);
    // A keyboard hook event: follows Ctrl, Alt and Shift and tells whether this report
    // is the recording hot key (Alt + Ctrl + F11 or Ctrl + Shift + F11, each press).
    bool HotKeyMessage(int32_t vkCode, int32_t ksInfo);
    bool ControlDown() const { return modifiers_.ControlDown; }
    bool AltDown() const { return modifiers_.AltDown; }

    // Set before Start to use another limit than the default (tests).
    void SetMemoryLimit(int64_t bytes) { memoryLimit_ = bytes; }

signals:
    void ticked();
    void stoppedBySelf(const QString& message);

private:
    Project& project_;
    TrasWinGod* hooks_;
    QTimer timer_;
    SteadyRecorderClock clock_;
    CaptureBackend backend_;
    std::unique_ptr<FrameSource> capture_;
    bool pointerInPictures_ = false;
    std::unique_ptr<Recorder> recorder_;
    HotKeyModifiers modifiers_;
    int64_t memoryLimit_ = 0;
};
