// Captures that read only what the X server says was drawn must record exactly what
// reading and comparing the whole area records.
#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "record/core/recorder.h"
#include "record/core/screen_capture.h"
#include "test_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kBackground = 0x305070;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00C000;
constexpr CaptureArea kArea{300, 200, 619, 439}; // 320 x 240

// A recording of kArea into a project of its own.
struct Recording {
    explicit Recording(ScreenCapture::ChangeTracking tracking)
        : capture(nullptr, ScreenCapture::Transfer::SharedMemoryIfAvailable, tracking) {}
    ~Recording() {
        recorder.Stop();
        ClearObjects(project);
    }
    ScreenCapture capture;
    SteadyRecorderClock clock;
    Project project;
    Recorder recorder{project, capture, clock};
};

void ExpectSameFrames(const Project& tracked, const Project& whole) {
    ASSERT_EQ(tracked.Objects.Count(), whole.Objects.Count());
    for (int32_t i = 0; i < whole.Objects.Count(); ++i) {
        SCOPED_TRACE(i);
        const AnimObject& a = tracked.Objects[i];
        const AnimObject& b = whole.Objects[i];
        EXPECT_EQ(a.Start.Left, b.Start.Left);
        EXPECT_EQ(a.Start.Top, b.Start.Top);
        EXPECT_EQ(a.Start.Right, b.Start.Right);
        EXPECT_EQ(a.Start.Bottom, b.Start.Bottom);
        ASSERT_EQ(DibWidth(a.Image), DibWidth(b.Image));
        ASSERT_EQ(DibHeight(a.Image), DibHeight(b.Image));
        for (int32_t row = 0; row < DibHeight(b.Image); ++row)
            ASSERT_EQ(std::memcmp(DibRow(a.Image, row), DibRow(b.Image, row),
                                  size_t(DibWidth(b.Image)) * 3),
                      0)
                << "row " << row;
    }
}

class ChangeTracking : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }
    void SetUp() override { window = drawing.Window(300, 200, 320, 240, kBackground); }
    void TearDown() override { drawing.Destroy(window); }

    TestDrawing drawing;
    unsigned long window = 0;
};

TEST_F(ChangeTracking, StillScreenAndDrawingElsewhereReadNothing) {
    Recording tracked(ScreenCapture::ChangeTracking::DamageIfAvailable);
    tracked.capture.SetWholeAreaReadInterval(std::chrono::milliseconds(0));
    tracked.recorder.Start(kArea, {0, 0}, 30);
    ASSERT_TRUE(tracked.capture.TracksChanges()) << "the X server offers no DAMAGE";
    int64_t reads = tracked.capture.ScreenReads();
    EXPECT_EQ(reads, 2); // the start reads the whole area into both buffers
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(tracked.recorder.Tick(), TickOutcome::Unchanged);
    // Drawn beside the area, and many times over between two ticks: no read, and the
    // notices of it do not pile up.
    unsigned long beside = drawing.Window(kArea.Right + 1, kArea.Top, 50, 50, kRed);
    for (int i = 0; i < 2000; ++i)
        drawing.Fill(beside, i % 50, 0, 1, 50, i % 2 ? kGreen : kRed);
    EXPECT_EQ(tracked.recorder.Tick(), TickOutcome::Unchanged);
    EXPECT_EQ(tracked.capture.ScreenReads(), reads);

    // Something drawn across the edge is read only where it lies inside the area.
    drawing.Move(beside, kArea.Right - 9, kArea.Top + 20);
    ASSERT_EQ(tracked.recorder.Tick(), TickOutcome::FrameAdded);
    EXPECT_EQ(tracked.capture.ScreenReads(), reads + 1);
    const AnimObject& edge = tracked.project.Objects[tracked.project.Objects.Count() - 1];
    EXPECT_EQ(edge.Start.Left, 311);
    EXPECT_EQ(edge.Start.Right, 321);
    EXPECT_EQ(edge.Start.Top, 21);
    EXPECT_EQ(edge.Start.Bottom, 71);
    EXPECT_EQ(tracked.recorder.Tick(), TickOutcome::Unchanged);
    EXPECT_EQ(tracked.capture.ScreenReads(), reads + 1);
    drawing.Destroy(beside);
}

TEST_F(ChangeTracking, TheWholeAreaIsStillReadABandAtATime) {
    Recording tracked(ScreenCapture::ChangeTracking::DamageIfAvailable);
    Recording whole(ScreenCapture::ChangeTracking::ReadWholeArea);
    tracked.capture.SetWholeAreaReadInterval(std::chrono::milliseconds(64)); // a band per ms
    tracked.recorder.Start(kArea, {0, 0}, 30);
    whole.recorder.Start(kArea, {0, 0}, 30);
    ASSERT_TRUE(tracked.capture.TracksChanges()) << "the X server offers no DAMAGE";
    std::vector<bool> rowsRead(kArea.Bottom - kArea.Top + 1, false);
    for (int tick = 0; tick < 64; ++tick) {
        SCOPED_TRACE(tick);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        // Something drawn now and then, in or beside the band that is due.
        if (tick % 3 == 0)
            drawing.Fill(window, tick * 53 % 300, tick * 37 % 230, 9, 5, tick % 2 ? kRed : kGreen);
        const int64_t reads = tracked.capture.ScreenReads();
        EXPECT_EQ(tracked.recorder.Tick(), whole.recorder.Tick());
        const std::vector<PixelBox> checked = tracked.capture.ChangedSincePreviousCapture();
        ASSERT_FALSE(checked.empty());
        EXPECT_EQ(tracked.capture.ScreenReads(), reads + int64_t(checked.size()));
        for (const PixelBox& box : checked) {
            EXPECT_LT(box.Height(), 40) << "a band and a small box at the most";
            if (box.Width() == kArea.Right - kArea.Left + 1)
                std::fill(rowsRead.begin() + box.y0, rowsRead.begin() + box.y1 + 1, true);
        }
    }
    EXPECT_EQ(std::count(rowsRead.begin(), rowsRead.end(), false), 0);
    ExpectSameFrames(tracked.project, whole.project);
}

TEST_F(ChangeTracking, RecordsTheSameFramesAsReadingTheWholeArea) {
    Recording tracked(ScreenCapture::ChangeTracking::DamageIfAvailable);
    Recording whole(ScreenCapture::ChangeTracking::ReadWholeArea);
    tracked.capture.SetWholeAreaReadInterval(std::chrono::milliseconds(0));
    tracked.recorder.Start(kArea, {0, 0}, 30);
    whole.recorder.Start(kArea, {0, 0}, 30);
    ASSERT_TRUE(tracked.capture.TracksChanges());
    ASSERT_FALSE(whole.capture.TracksChanges());
    int64_t ticks = 0;
    auto tickBoth = [&] {
        ++ticks;
        TickOutcome outcome = tracked.recorder.Tick();
        EXPECT_EQ(outcome, whole.recorder.Tick()) << "tick " << ticks;
        return outcome;
    };

    // Drawn over with the colour already there: drawn, yet nothing changed.
    drawing.Fill(window, 10, 10, 100, 100, kBackground);
    EXPECT_EQ(tickBoth(), TickOutcome::Unchanged);
    // Only part of what was drawn differs: the box is the part that differs.
    drawing.Fill(window, 20, 20, 60, 60, kBackground);
    drawing.Fill(window, 40, 50, 5, 3, kRed);
    EXPECT_EQ(tickBoth(), TickOutcome::FrameAdded);
    // Changes alternate between two places, so each buffer must catch up with the
    // picture it missed: taking back the first change has to be seen as a change.
    drawing.Fill(window, 300, 200, 10, 10, kGreen);
    EXPECT_EQ(tickBoth(), TickOutcome::FrameAdded);
    drawing.Fill(window, 40, 50, 5, 3, kBackground);
    EXPECT_EQ(tickBoth(), TickOutcome::FrameAdded);
    drawing.Fill(window, 300, 200, 10, 10, kBackground);
    EXPECT_EQ(tickBoth(), TickOutcome::FrameAdded);
    EXPECT_EQ(tickBoth(), TickOutcome::Unchanged);
    // Two places drawn between two ticks, and a window moving across the area.
    drawing.Fill(window, 0, 0, 1, 1, kRed);
    drawing.Fill(window, 319, 239, 1, 1, kGreen);
    EXPECT_EQ(tickBoth(), TickOutcome::FrameAdded);
    unsigned long mover = drawing.Window(280, 300, 40, 30, kRed);
    for (int step = 0; step < 12; ++step) {
        drawing.Move(mover, 280 + step * 29, 300 + step * 7);
        EXPECT_EQ(tickBoth(), TickOutcome::FrameAdded);
    }
    drawing.Destroy(mover);
    EXPECT_EQ(tickBoth(), TickOutcome::FrameAdded);
    EXPECT_EQ(tickBoth(), TickOutcome::Unchanged);

    ExpectSameFrames(tracked.project, whole.project);
    EXPECT_EQ(whole.capture.ScreenReads(), ticks + 1); // and once at the start
    EXPECT_LT(tracked.capture.ScreenReads(), whole.capture.ScreenReads());
}

// Every colour byte of the two planes alike.
void ExpectSamePicture(const PixelPlane& a, const PixelPlane& b) {
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x) {
            const uint8_t* p = a.pixels + y * a.bytesPerRow + x * 4;
            const uint8_t* q = b.pixels + y * b.bytesPerRow + x * 4;
            ASSERT_TRUE(p[0] == q[0] && p[1] == q[1] && p[2] == q[2]) << "pixel " << x << ", " << y;
        }
}

TEST_F(ChangeTracking, PatchedCapturesShowTheWholeScreenPicture) {
    ScreenCapture tracked;
    ScreenCapture whole(nullptr, ScreenCapture::Transfer::SharedMemoryIfAvailable,
                        ScreenCapture::ChangeTracking::ReadWholeArea);
    tracked.SetWholeAreaReadInterval(std::chrono::milliseconds(0));
    tracked.Begin(kArea);
    whole.Begin(kArea);
    ASSERT_TRUE(tracked.TracksChanges());
    ExpectSamePicture(tracked.Capture(), whole.Capture());
    // Boxes of every shape: narrow and tall, wide and low, at either edge, the whole area.
    struct Stroke {
        int x, y, width, height;
        uint32_t rgb;
    };
    const Stroke strokes[] = {
        {150, 0, 3, 240, kRed},        {0, 100, 320, 2, kGreen},  {0, 0, 17, 9, kGreen},
        {303, 231, 17, 9, kRed},       {100, 50, 120, 130, kRed}, {10, 200, 300, 40, kGreen},
        {0, 0, 320, 240, kBackground}, {319, 0, 1, 240, kRed},    {5, 5, 1, 1, kGreen},
    };
    for (const Stroke& stroke : strokes) {
        SCOPED_TRACE(stroke.x * 1000 + stroke.y);
        drawing.Fill(window, stroke.x, stroke.y, stroke.width, stroke.height, stroke.rgb);
        PixelPlane patched = tracked.Capture();
        const std::vector<PixelBox> hints = tracked.ChangedSincePreviousCapture();
        ASSERT_EQ(hints.size(), 1u);
        EXPECT_EQ(hints[0], (PixelBox{stroke.x, stroke.y, stroke.x + stroke.width - 1,
                                      stroke.y + stroke.height - 1}));
        ExpectSamePicture(patched, whole.Capture());
    }
    tracked.Capture();
    EXPECT_TRUE(tracked.ChangedSincePreviousCapture().empty());
}

// Drawing that goes on while captures begin and run, from a client of its own: once it
// stops, the next capture must show the screen as it is, whatever raced with the reads.
TEST_F(ChangeTracking, DrawingDuringTheFirstReadsIsCaughtUp) {
    ScreenCapture whole(nullptr, ScreenCapture::Transfer::SharedMemoryIfAvailable,
                        ScreenCapture::ChangeTracking::ReadWholeArea);
    whole.Begin(kArea);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        std::atomic<bool> painting{true};
        std::thread painter([&] {
            TestDrawing other;
            for (int i = 0; painting; ++i) {
                other.Fill(window, (i * 37) % 300, (i * 23) % 220, 20, 20,
                           i % 3 == 0   ? kRed
                           : i % 3 == 1 ? kGreen
                                        : kBackground);
                other.Sync();
            }
        });
        ScreenCapture tracked;
        tracked.Begin(kArea);
        ASSERT_TRUE(tracked.TracksChanges());
        for (int i = 0; i < round % 4; ++i)
            tracked.Capture();
        painting = false;
        painter.join();
        drawing.Sync();
        tracked.Capture();
        PixelPlane caughtUp = tracked.Capture();
        ExpectSamePicture(caughtUp, whole.Capture());
    }
}

} // namespace
