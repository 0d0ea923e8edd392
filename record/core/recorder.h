// The recording engine: turns what happens inside the capture area into recorded
// frames (picture objects of the changed boxes) and a pointer track in the Project.
//
// The desktop window and the command-line program drive it alike:
//
//   Recorder recorder{project, capture, clock};
//   recorder.Start(area, capture.PointerPosition(), framesPerSecond); // RecordBtnClick
//   every recorder.IntervalMs():  recorder.Tick();                    // Timer1Timer
//   on each pointer movement:     recorder.AddPointerSample(point);   // mouse hook
//
// Each tick also asks the source where the pointer is and adds a sample when it moved:
// absolute moves (tablets, remote desktops, warps) never reach the mouse hook.
//   recorder.Stop();                                                 // StopBtnClick
//
// A tick that returns TickOutcome::Stopped has ended the recording by itself (memory
// limit reached, screen no longer capturable): the caller runs its own stop steps and
// shows StopMessage(). Everything recorded up to then stays in the project.
// Pictures are made with the image library, which must be loaded.
#pragma once

#include "model/project.h"
#include "record/core/frame_source.h"
#include "record/core/recorder_clock.h"

#include <cstdint>
#include <optional>
#include <string>

// Follows the reason whenever a recording stops by itself.
inline constexpr const char* kRecordingStoppedNote =
    "The recording was stopped; everything recorded so far is kept.";

enum class TickOutcome {
    NotRecording, // no recording runs
    Busy,         // a capture is still running; this tick is dropped
    Unchanged,    // the area looks as at the previous tick; nothing added
    FrameAdded,   // a recorded frame was appended
    Stopped,      // the recording stopped by itself; see StopMessage()
};

class Recorder {
public:
    Recorder(Project& project, FrameSource& source, RecorderClock& clock);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Starts recording `area` (clipped to the screen) at the given rate: clears every
    // object, sets the movie size to the area's size, records the whole area as the first
    // frame at time 0 and restarts the pointer track with `pointer` at time 0 (empty when
    // there is none: a pointer drawn into the pictures needs no second arrow). Throws
    // CaptureError, leaving the project unchanged, when the area lies wholly off the
    // screen, the screen cannot be captured or the first frame does not fit in memory.
    void Start(const CaptureArea& area, std::optional<ScreenPoint> pointer,
               int32_t framesPerSecond);
    void Start(const CaptureArea& area, ScreenPoint pointer, int32_t framesPerSecond) {
        Start(area, std::optional<ScreenPoint>(pointer), framesPerSecond);
    }
    // One timer tick: captures the area and appends the box that changed since the
    // previous capture, if any.
    TickOutcome Tick();
    // A pointer movement reported by the mouse hook, in screen coordinates. Stored
    // relative to the area as it comes, outside the area too.
    void AddPointerSample(ScreenPoint pointer);
    // Releases the capture buffers; the project keeps what was recorded. Harmless
    // when no recording runs.
    void Stop();

    bool Recording() const { return recording_; }
    // The area being (or last) recorded, after clipping.
    const CaptureArea& RecordedArea() const { return area_; }
    int32_t IntervalMs() const { return intervalMs_; }
    // Clock time at which the next tick is due; for callers that run their own loop.
    int64_t NextTickDueMs() const;

    // Of the current (or last) recording: frames appended, ticks that came too late
    // because a capture outlasted the interval, bytes of the recorded pictures.
    int64_t FramesRecorded() const { return framesRecorded_; }
    int64_t SkippedTicks() const { return skippedTicks_; }
    int64_t PictureBytes() const { return pictureBytes_; }
    // Why the recording stopped by itself; empty otherwise.
    const std::string& StopMessage() const { return stopMessage_; }

    // Pictures and capture buffers together may hold at most this many bytes.
    void SetMemoryLimit(int64_t bytes) { memoryLimit_ = bytes; }
    int64_t MemoryLimit() const { return memoryLimit_; }
    // Half of the memory this process may use (the machine's, or its control group's
    // limit when that is lower).
    static int64_t DefaultMemoryLimit();

private:
    TickOutcome CaptureFrame();
    // Where current differs from the previous capture; none when nowhere.
    std::optional<PixelBox> FindChange(const PixelPlane& current) const;
    // An empty picture of the box's size. Throws CaptureError when the memory limit or the
    // memory left does not allow it.
    DibImage NewPicture(const PixelBox& box);
    // Appends the picture (which it owns from then on) as a frame at timeMs.
    void AddFrame(const PixelBox& box, DibImage picture, int32_t timeMs);
    void SamplePointer();
    TickOutcome StopBySelf(std::string message);
    void CountSkippedTicks(int64_t now);
    int32_t MillisecondsSinceStart(int64_t now) const;

    Project& project_;
    FrameSource& source_;
    RecorderClock& clock_;
    CaptureArea area_{};
    bool recording_ = false;
    bool captureBusy_ = false;
    PixelPlane previous_{};
    int64_t recordingStartTick_ = 0;
    int64_t timerStart_ = 0;
    int64_t lastTickIndex_ = 0;
    int32_t intervalMs_ = 0;
    int64_t framesRecorded_ = 0;
    int64_t skippedTicks_ = 0;
    int64_t pictureBytes_ = 0;
    bool memoryReserved_ = false; // picture memory is kept ready ahead
    int64_t memoryLimit_;
    std::string stopMessage_;
};
