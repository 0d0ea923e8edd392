#include "record/core/recorder.h"

#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "record/core/capture_geometry.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <new>
#include <optional>

namespace {

constexpr int64_t kMegabyte = 1024 * 1024;
constexpr const char* kOutOfMemoryMessage =
    "The recording was stopped because there is not enough memory for another picture. "
    "Everything recorded so far is kept.";
constexpr const char* kNoMemoryToStartMessage =
    "There is not enough memory to record the whole area even once.";

// Rows of a 24-bit picture are padded to whole 32-bit words.
int64_t BytesOfPicture(int32_t width, int32_t height) {
    return (static_cast<int64_t>(width) * 3 + 3) / 4 * 4 * height;
}

// Stops a recording with its own message: there is no room for another picture.
class MemoryShortage : public CaptureError {
public:
    using CaptureError::CaptureError;
};

std::string MemoryStopMessage(int64_t limit) {
    return "The recording was stopped because its pictures would need more than " +
           std::to_string(limit / kMegabyte) + " MB of memory. Everything recorded so far is kept.";
}

} // namespace

Recorder::Recorder(Project& project, FrameSource& source, RecorderClock& clock)
    : project_(project), source_(source), clock_(clock), memoryLimit_(DefaultMemoryLimit()) {}

Recorder::~Recorder() {
    Stop();
}

int64_t Recorder::DefaultMemoryLimit() {
    int64_t physical = static_cast<int64_t>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
    std::ifstream cgroupLimit("/sys/fs/cgroup/memory.max");
    int64_t limit = 0;
    if (cgroupLimit >> limit && limit > 0 && (physical <= 0 || limit < physical))
        physical = limit;
    return physical > 0 ? physical / 2 : int64_t{1} << 30;
}

void Recorder::Start(const CaptureArea& area, std::optional<ScreenPoint> pointer,
                     int32_t framesPerSecond) {
    Stop();
    std::optional<CaptureArea> onScreen =
        ClipAreaToScreen(area, source_.ScreenWidth(), source_.ScreenHeight());
    if (!onScreen)
        throw CaptureError("The capture area lies outside the screen.");
    // Prepared first: a screen that cannot be captured leaves the project untouched.
    source_.Begin(*onScreen);
    area_ = *onScreen;

    // Memory for the first frame (the whole area) is written once now, and more is kept
    // ready from then on: fresh pages met during a tick cost page faults. Each reserve
    // holds a whole-area frame, and no less than a few megabytes so that small areas do
    // not ask for memory every few frames. The image library keeps one reserve per
    // process: the recorder started last sets it.
    const int64_t reserve =
        std::max(BytesOfPicture(AreaWidth(area_), AreaHeight(area_)), 4 * kMegabyte);
    memoryReserved_ = Pictavo().ReserveDibMemory && Pictavo().ReserveDibMemory(reserve);

    // The first frame (the whole area) is taken before the clock starts: at 4K its capture
    // and conversion take longer than a tick.
    framesRecorded_ = skippedTicks_ = pictureBytes_ = 0;
    const PixelBox whole{0, 0, AreaWidth(area_) - 1, AreaHeight(area_) - 1};
    DibImage first{};
    PixelPlane current{};
    try {
        first = NewPicture(whole);
        // The first frame took the reserve: the next one is made ready before the clock
        // starts, or the first ticks would write their pictures into fresh memory.
        if (memoryReserved_)
            memoryReserved_ = Pictavo().ReserveDibMemory(reserve);
        // Captured last: what is drawn from now on, the first tick reads.
        current = source_.Capture();
    } catch (const CaptureError& error) {
        if (first.memoryHandle)
            Pictavo().deldib(first);
        source_.End();
        if (memoryReserved_)
            Pictavo().ReserveDibMemory(0);
        memoryReserved_ = false;
        if (dynamic_cast<const MemoryShortage*>(&error))
            throw CaptureError(kNoMemoryToStartMessage);
        throw;
    }
    CopyBoxToBottomUpBgr(current, whole, first.pixels, first.bytesPerRow);

    ClearObjects(project_);
    project_.PointerTrack.Clear();
    if (pointer) {
        PointerSample* start = project_.PointerTrack.Add();
        start->X = pointer->x - area_.Left;
        start->Y = pointer->y - area_.Top;
        start->Time = 0;
    }
    project_.MovieWidth = AreaWidth(area_);
    project_.MovieHeight = AreaHeight(area_);

    recordingStartTick_ = timerStart_ = clock_.NowMs();
    captureBusy_ = false;
    previous_ = current;
    intervalMs_ = RecordingIntervalMs(framesPerSecond);
    lastTickIndex_ = 0;
    stopMessage_.clear();
    recording_ = true;
    try {
        AddFrame(whole, first, 0);
    } catch (const CaptureError&) {
        Stop();
        throw;
    }
}

int64_t Recorder::NextTickDueMs() const {
    return timerStart_ + (lastTickIndex_ + 1) * intervalMs_;
}

void Recorder::CountSkippedTicks(int64_t now) {
    // Tick k is due k intervals after the start; a tick that arrives when later ones
    // are due too stands for all of them.
    int64_t due = (now - timerStart_) / intervalMs_;
    if (due > lastTickIndex_ + 1)
        skippedTicks_ += due - lastTickIndex_ - 1;
    lastTickIndex_ = std::max(lastTickIndex_ + 1, due);
}

TickOutcome Recorder::Tick() {
    if (!recording_)
        return TickOutcome::NotRecording;
    if (captureBusy_)
        return TickOutcome::Busy;
    CountSkippedTicks(clock_.NowMs());
    captureBusy_ = true;
    TickOutcome outcome;
    try {
        outcome = CaptureFrame();
    } catch (const MemoryShortage& shortage) {
        outcome = StopBySelf(shortage.what());
    } catch (const CaptureError& error) {
        outcome = StopBySelf(std::string(error.what()) + " " + kRecordingStoppedNote);
    }
    captureBusy_ = false;
    if (recording_)
        SamplePointer();
    return outcome;
}

void Recorder::SamplePointer() {
    std::optional<ScreenPoint> pointer = source_.QueryPointer();
    if (!pointer)
        return;
    if (const int32_t count = project_.PointerTrack.Count(); count > 0) {
        const PointerSample& last = project_.PointerTrack[count - 1];
        if (last.X == pointer->x - area_.Left && last.Y == pointer->y - area_.Top)
            return;
    }
    AddPointerSample(*pointer);
}

std::optional<PixelBox> Recorder::FindChange(const PixelPlane& current) const {
    if (!source_.TracksChanges())
        return FindChangedBox(previous_, current);
    // The hints only bound the search: the pixels decide what changed.
    std::optional<PixelBox> change;
    for (const PixelBox& box :
         FindChangedBoxesWithin(previous_, current, source_.ChangedSincePreviousCapture()))
        change = change ? UnionBox(*change, box) : box;
    return change;
}

DibImage Recorder::NewPicture(const PixelBox& box) {
    const int64_t bytes = BytesOfPicture(box.Width(), box.Height());
    // Memory kept ready ahead is not counted: the next pictures go into it, and what is
    // left over is at most two such reserves.
    if (pictureBytes_ + bytes + source_.BufferBytes() > memoryLimit_)
        throw MemoryShortage(MemoryStopMessage(memoryLimit_));
    DibImage picture{};
    Pictavo().newdib(&picture, box.Width(), box.Height(), 24, nullptr, 0);
    if (!picture.pixels)
        throw MemoryShortage(kOutOfMemoryMessage);
    return picture;
}

void Recorder::AddFrame(const PixelBox& box, DibImage picture, int32_t timeMs) {
    try {
        AddRecordedFrame(project_, ChangedBox{box.x0, box.y0, box.x1, box.y1}, timeMs, picture);
    } catch (const std::bad_alloc&) {
        Pictavo().deldib(picture); // not yet owned by an object
        throw MemoryShortage(kOutOfMemoryMessage);
    }
    ++framesRecorded_;
    pictureBytes_ += static_cast<int64_t>(picture.bytesPerRow) * box.Height();
}

TickOutcome Recorder::CaptureFrame() {
    PixelPlane current = source_.Capture();
    std::optional<PixelBox> box = FindChange(current);
    // The capture buffers alternate, so the plane just filled stays valid until the
    // capture after next: it is the next comparison's previous picture.
    previous_ = current;
    if (!box)
        return TickOutcome::Unchanged;
    DibImage picture = NewPicture(*box);
    CopyBoxToBottomUpBgr(current, *box, picture.pixels, picture.bytesPerRow);
    AddFrame(*box, picture, MillisecondsSinceStart(clock_.NowMs()));
    return TickOutcome::FrameAdded;
}

TickOutcome Recorder::StopBySelf(std::string message) {
    Stop();
    stopMessage_ = std::move(message);
    return TickOutcome::Stopped;
}

int32_t Recorder::MillisecondsSinceStart(int64_t now) const {
    int64_t elapsed = now - recordingStartTick_;
    return static_cast<int32_t>(std::clamp<int64_t>(elapsed, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void Recorder::AddPointerSample(ScreenPoint pointer) {
    if (!recording_)
        return;
    PointerSample* sample = project_.PointerTrack.Add();
    sample->X = pointer.x - area_.Left;
    sample->Y = pointer.y - area_.Top;
    sample->Time = MillisecondsSinceStart(clock_.NowMs());
}

void Recorder::Stop() {
    if (!recording_)
        return;
    recording_ = false;
    previous_ = {};
    source_.End();
    if (memoryReserved_)
        Pictavo().ReserveDibMemory(0);
    memoryReserved_ = false;
}
