#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "record/core/capture_geometry.h"
#include "record/core/recorder.h"
#include "synthetic_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

class RecorderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }
    void TearDown() override {
        recorder.Stop();
        ClearObjects(project);
    }

    // Starts, which records the whole area as the first frame.
    void StartAndTakeFirstFrame(const CaptureArea& area, int32_t fps = 5) {
        recorder.Start(area, {area.Left + 3, area.Top + 4}, fps);
        ASSERT_EQ(project.Objects.Count(), 1);
    }
    TickOutcome NextTick() {
        clock.now = std::max(clock.now, recorder.NextTickDueMs());
        return recorder.Tick();
    }
    const AnimObject& LastFrame() { return project.Objects[project.Objects.Count() - 1]; }

    // 64-bit clock readings past the 32-bit wrap (49.7 days of uptime).
    ManualClock clock{(int64_t{1} << 32) - 500};
    SyntheticScreen screen{200, 120};
    Project project;
    Recorder recorder{project, screen, clock};
};

TEST_F(RecorderTest, FirstFrameHoldsTheWholeAreaAtTimeZero) {
    for (int32_t y = 0; y < 120; ++y)
        for (int32_t x = 0; x < 200; ++x)
            screen.Paint(x, y, uint8_t(x), uint8_t(y), uint8_t(x + y));
    AddTextObject(project); // cleared by the start
    CaptureArea area{20, 10, 59, 39};
    StartAndTakeFirstFrame(area);

    EXPECT_EQ(project.MovieWidth, 40);
    EXPECT_EQ(project.MovieHeight, 30);
    ASSERT_EQ(project.Objects.Count(), 1);
    const AnimObject& frame = project.Objects[0];
    EXPECT_EQ(frame.Kind, KindPicture);
    EXPECT_FALSE(frame.RemoveWhenFinished);
    EXPECT_EQ(frame.Start.Left, 1);
    EXPECT_EQ(frame.Start.Top, 1);
    EXPECT_EQ(frame.Start.Right, 41);
    EXPECT_EQ(frame.Start.Bottom, 31);
    EXPECT_EQ(frame.Start.Time, 0);
    EXPECT_EQ(frame.End.Time, 1000);
    EXPECT_STREQ(frame.Text, "Text");
    ASSERT_EQ(DibWidth(frame.Image), 40);
    ASSERT_EQ(DibHeight(frame.Image), 30);
    ASSERT_EQ(DibBitCount(frame.Image), 24);
    // Bottom-up rows: storage row 0 is the area's lowest line.
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            const uint8_t* stored = DibRow(frame.Image, 29 - y) + 3 * x;
            const uint8_t* shown = screen.PixelAt(20 + x, 10 + y);
            ASSERT_EQ(0, std::memcmp(stored, shown, 3)) << x << "," << y;
        }
    // The start sample, relative to the area.
    ASSERT_EQ(project.PointerTrack.Count(), 1);
    EXPECT_EQ(project.PointerTrack[0].X, 3);
    EXPECT_EQ(project.PointerTrack[0].Y, 4);
    EXPECT_EQ(project.PointerTrack[0].Time, 0);
}

TEST_F(RecorderTest, APointerDrawnIntoThePicturesLeavesTheTrackEmpty) {
    recorder.Start({0, 0, 39, 29}, std::nullopt, 5);
    screen.Paint(5, 5, 1, 2, 3);
    ASSERT_EQ(NextTick(), TickOutcome::FrameAdded);
    EXPECT_EQ(project.PointerTrack.Count(), 0);
}

TEST_F(RecorderTest, ChangesBecomeFramesOfTheirBoxOnly) {
    StartAndTakeFirstFrame({20, 10, 59, 39});
    int64_t firstCapture = clock.now;

    EXPECT_EQ(NextTick(), TickOutcome::Unchanged);
    EXPECT_EQ(project.Objects.Count(), 1);

    screen.Paint(20 + 10, 10, 0, 0, 255); // column 10 of the top line
    EXPECT_EQ(NextTick(), TickOutcome::FrameAdded);
    const AnimObject& dot = LastFrame();
    EXPECT_EQ(dot.Start.Left, 11);
    EXPECT_EQ(dot.Start.Top, 1);
    EXPECT_EQ(dot.Start.Right, 12);
    EXPECT_EQ(dot.Start.Bottom, 2);
    EXPECT_EQ(dot.Start.Time, clock.now - firstCapture);
    EXPECT_EQ(dot.End.Time, dot.Start.Time + 1000);
    ASSERT_EQ(DibWidth(dot.Image), 1);
    EXPECT_EQ(DibRow(dot.Image, 0)[2], 255);

    screen.Paint(59, 39, 9, 9, 9); // the lowest line's last pixel
    screen.Paint(45, 39, 9, 9, 9);
    EXPECT_EQ(NextTick(), TickOutcome::FrameAdded);
    const AnimObject& bottom = LastFrame();
    EXPECT_EQ(bottom.Start.Left, 26);
    EXPECT_EQ(bottom.Start.Top, 30);
    EXPECT_EQ(bottom.Start.Right, 41);
    EXPECT_EQ(bottom.Start.Bottom, 31);

    // Outside the area nothing counts.
    screen.Paint(0, 0, 1, 1, 1);
    screen.Paint(199, 119, 1, 1, 1);
    EXPECT_EQ(NextTick(), TickOutcome::Unchanged);
    EXPECT_EQ(project.Objects.Count(), 3);
    EXPECT_EQ(recorder.FramesRecorded(), 3);
    EXPECT_EQ(recorder.PictureBytes(), 40 * 3 * 30 + 4 + 48);
}

TEST_F(RecorderTest, StopBeforeTheFirstTickKeepsTheFirstFrameAndThePointerTrack) {
    AddTextObject(project);
    recorder.Start({0, 0, 99, 99}, {50, 60}, 3);
    EXPECT_EQ(recorder.IntervalMs(), 333);
    clock.now += 100;
    recorder.AddPointerSample({70, 20});
    recorder.AddPointerSample({-10, 300}); // outside the area, kept as it comes
    recorder.Stop();
    recorder.AddPointerSample({1, 1}); // after the stop: ignored
    EXPECT_EQ(recorder.Tick(), TickOutcome::NotRecording);

    ASSERT_EQ(project.Objects.Count(), 1);
    EXPECT_EQ(DibWidth(project.Objects[0].Image), 100);
    ASSERT_EQ(project.PointerTrack.Count(), 3);
    EXPECT_EQ(project.PointerTrack[0].X, 50);
    EXPECT_EQ(project.PointerTrack[1].X, 70);
    EXPECT_EQ(project.PointerTrack[1].Time, 100);
    EXPECT_EQ(project.PointerTrack[2].X, -10);
    EXPECT_EQ(project.PointerTrack[2].Y, 300);
    EXPECT_EQ(screen.BufferBytes(), 0);
}

TEST_F(RecorderTest, PointerTimesCountFromTheStart) {
    recorder.Start({10, 10, 49, 49}, {0, 0}, 5);
    clock.now += 150;
    recorder.AddPointerSample({15, 16});
    clock.now += 50;
    ASSERT_EQ(recorder.Tick(), TickOutcome::Unchanged);
    clock.now += 30;
    recorder.AddPointerSample({17, 18});
    ASSERT_EQ(project.PointerTrack.Count(), 3);
    EXPECT_EQ(project.PointerTrack[0].X, -10);
    EXPECT_EQ(project.PointerTrack[1].Time, 150);
    EXPECT_EQ(project.PointerTrack[1].X, 5);
    EXPECT_EQ(project.PointerTrack[1].Y, 6);
    EXPECT_EQ(project.PointerTrack[2].Time, 230);
}

TEST_F(RecorderTest, TicksSampleThePointerWhereverItWasMoved) {
    screen.pointer = ScreenPoint{25, 14};
    StartAndTakeFirstFrame({20, 10, 59, 39}); // the start sample says 23,14
    NextTick();
    NextTick();                          // still there: no sample
    recorder.AddPointerSample({30, 30}); // the hook saw a move
    screen.pointer = ScreenPoint{30, 30};
    NextTick();                           // the hook's sample already says so
    screen.pointer = ScreenPoint{0, 100}; // a warp, outside the area
    NextTick();
    screen.pointer.reset(); // on another screen
    NextTick();
    ASSERT_EQ(project.PointerTrack.Count(), 4);
    const int32_t expected[][2] = {{3, 4}, {5, 4}, {10, 20}, {-20, 90}};
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(project.PointerTrack[i].X, expected[i][0]) << i;
        EXPECT_EQ(project.PointerTrack[i].Y, expected[i][1]) << i;
        if (i > 0) {
            EXPECT_GT(project.PointerTrack[i].Time, project.PointerTrack[i - 1].Time) << i;
        }
    }
}

TEST_F(RecorderTest, AreasBeyondTheScreenAreClipped) {
    AddTextObject(project);
    EXPECT_THROW(recorder.Start({300, 0, 400, 50}, {0, 0}, 5), CaptureError);
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(project.Objects.Count(), 1); // a failed start changes nothing

    StartAndTakeFirstFrame({150, -20, 260, 49});
    EXPECT_EQ(CaptureAreaLabelText(recorder.RecordedArea()), " Area: ( 150,0 ) - ( 199,49 ) ");
    EXPECT_EQ(project.MovieWidth, 50);
    EXPECT_EQ(project.MovieHeight, 50);
    EXPECT_EQ(DibWidth(LastFrame().Image), 50);
}

TEST_F(RecorderTest, LateTicksAreCountedNotQueued) {
    StartAndTakeFirstFrame({0, 0, 49, 49}, 10); // 100 ms
    EXPECT_EQ(recorder.SkippedTicks(), 0);
    screen.SetCaptureDuration(&clock, 250);
    EXPECT_EQ(NextTick(), TickOutcome::Unchanged); // due at 100, ends at 350
    screen.SetCaptureDuration(&clock, 0);
    clock.now += 1;
    // Ticks were due at 200 and 300; the one handled at 351 stands for 300.
    EXPECT_EQ(recorder.Tick(), TickOutcome::Unchanged);
    EXPECT_EQ(recorder.SkippedTicks(), 1);
    // The caller's loop waits for the next slot rather than catching up.
    EXPECT_EQ(recorder.NextTickDueMs() - clock.now, 49);
    screen.SetCaptureDuration(&clock, 1000);
    EXPECT_EQ(NextTick(), TickOutcome::Unchanged); // 400 to 1400
    screen.SetCaptureDuration(&clock, 0);
    EXPECT_EQ(recorder.Tick(), TickOutcome::Unchanged);
    EXPECT_EQ(recorder.SkippedTicks(), 1 + 9);
}

TEST_F(RecorderTest, MemoryGuardStopsAndKeepsWhatWasRecorded) {
    const int64_t buffers = 2 * 40 * 40 * 4;
    recorder.SetMemoryLimit(buffers + 40 * 3 * 40 + 2 * (12 * 10)); // first frame and two boxes
    StartAndTakeFirstFrame({0, 0, 39, 39});
    for (int32_t i = 0; i < 4; ++i) {
        for (int32_t x = 0; x < 4; ++x)
            for (int32_t y = 0; y < 10; ++y)
                screen.Paint(x + 4 * i, y, uint8_t(i + 1), 0, 0);
        TickOutcome outcome = NextTick();
        if (i < 2) {
            ASSERT_EQ(outcome, TickOutcome::FrameAdded) << i;
        } else {
            ASSERT_EQ(outcome, TickOutcome::Stopped) << i;
            break;
        }
    }
    EXPECT_FALSE(recorder.Recording());
    EXPECT_NE(recorder.StopMessage().find("Everything recorded so far is kept"), std::string::npos);
    EXPECT_EQ(project.Objects.Count(), 3);
    EXPECT_EQ(screen.BufferBytes(), 0);
    EXPECT_EQ(recorder.Tick(), TickOutcome::NotRecording);

    // No room for the first frame: the start fails and changes nothing.
    recorder.SetMemoryLimit(buffers + 40 * 3 * 40 - 1);
    EXPECT_THROW(recorder.Start({0, 0, 39, 39}, {0, 0}, 5), CaptureError);
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(project.Objects.Count(), 3);
    EXPECT_EQ(screen.BufferBytes(), 0);

    // A new start clears the message.
    recorder.SetMemoryLimit(Recorder::DefaultMemoryLimit());
    StartAndTakeFirstFrame({0, 0, 39, 39});
    EXPECT_TRUE(recorder.StopMessage().empty());
    EXPECT_GT(Recorder::DefaultMemoryLimit(), int64_t{64} << 20);
}

} // namespace
