#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "record/core/recorder.h"
#include "record/core/screen_capture.h"
#include "test_drawing.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr uint32_t kBackground = 0x204060; // 0xRRGGBB
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kMarker = 0x12AB34;

// The colour of a BGR(X) pixel as 0xRRGGBB.
uint32_t Rgb(const uint8_t* p) {
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// The colour of a recorded frame's pixel at (x, y), top-down.
uint32_t FramePixel(const AnimObject& frame, int32_t x, int32_t y) {
    return Rgb(DibRow(frame.Image, DibHeight(frame.Image) - 1 - y) + 3 * x);
}

TEST(ScreenCapture, CopiesTheAreaThroughSharedMemoryAndPlainRequests) {
    TestDrawing drawing;
    unsigned long window = drawing.Window(100, 80, 64, 48, kBackground);
    drawing.Fill(window, 5, 7, 1, 1, kMarker);
    drawing.Fill(window, 63, 47, 1, 1, kRed);
    for (auto transfer : {ScreenCapture::Transfer::SharedMemoryIfAvailable,
                          ScreenCapture::Transfer::PlainRequests}) {
        ScreenCapture capture(nullptr, transfer);
        EXPECT_GE(capture.ScreenWidth(), 640);
        capture.Begin({100, 80, 163, 127});
        EXPECT_EQ(capture.UsesSharedMemory(),
                  transfer == ScreenCapture::Transfer::SharedMemoryIfAvailable);
        PixelPlane first = capture.Capture();
        ASSERT_EQ(first.width, 64);
        ASSERT_EQ(first.height, 48);
        ASSERT_EQ(first.bytesPerPixel, 4);
        EXPECT_EQ(Rgb(first.pixels), kBackground);
        EXPECT_EQ(Rgb(first.pixels + 7 * first.bytesPerRow + 5 * 4), kMarker);
        EXPECT_EQ(Rgb(first.pixels + 47 * first.bytesPerRow + 63 * 4), kRed);
        // Captures alternate buffers: the previous picture stays as it was.
        drawing.Fill(window, 0, 0, 1, 1, kRed);
        PixelPlane second = capture.Capture();
        EXPECT_NE(second.pixels, first.pixels);
        EXPECT_EQ(Rgb(second.pixels), kRed);
        EXPECT_EQ(Rgb(first.pixels), kBackground);
        EXPECT_EQ(capture.BufferBytes(), 2 * 64 * 48 * 4);
        capture.End();
        EXPECT_EQ(capture.BufferBytes(), 0);
        EXPECT_THROW(capture.Capture(), CaptureError);
        drawing.Fill(window, 0, 0, 1, 1, kBackground);
    }
    drawing.Destroy(window);
}

TEST(ScreenCapture, RefusesAreasOffTheScreen) {
    ScreenCapture capture;
    EXPECT_THROW(capture.Begin({-1, 0, 10, 10}), CaptureError);
    EXPECT_THROW(capture.Begin({0, 0, capture.ScreenWidth(), 10}), CaptureError);
}

class RecordingOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }
    void SetUp() override { window = drawing.Window(200, 100, 320, 200, kBackground); }
    void TearDown() override {
        recorder.Stop();
        drawing.Destroy(window);
        ClearObjects(project);
    }
    const AnimObject& LastFrame() { return project.Objects[project.Objects.Count() - 1]; }
    void ExpectBox(const AnimObject& frame, int32_t left, int32_t top, int32_t right,
                   int32_t bottom) {
        EXPECT_EQ(frame.Start.Left, left);
        EXPECT_EQ(frame.Start.Top, top);
        EXPECT_EQ(frame.Start.Right, right);
        EXPECT_EQ(frame.Start.Bottom, bottom);
        EXPECT_EQ(DibWidth(frame.Image), right - left);
        EXPECT_EQ(DibHeight(frame.Image), bottom - top);
    }

    TestDrawing drawing;
    unsigned long window = 0;
    ScreenCapture capture;
    SteadyRecorderClock clock;
    Project project;
    Recorder recorder{project, capture, clock};
};

TEST_F(RecordingOnScreen, RecordsExactlyTheChangedBoxes) {
    recorder.Start({200, 100, 519, 299}, capture.PointerPosition(), 30);
    ASSERT_EQ(project.Objects.Count(), 1);
    ExpectBox(project.Objects[0], 1, 1, 321, 201);
    EXPECT_EQ(FramePixel(project.Objects[0], 0, 0), kBackground);
    EXPECT_EQ(FramePixel(project.Objects[0], 319, 199), kBackground);

    EXPECT_EQ(recorder.Tick(), TickOutcome::Unchanged);
    EXPECT_EQ(recorder.Tick(), TickOutcome::Unchanged);
    EXPECT_EQ(project.Objects.Count(), 1);

    drawing.Fill(window, 10, 0, 1, 1, kRed); // column 10 of the top line
    ASSERT_EQ(recorder.Tick(), TickOutcome::FrameAdded);
    ExpectBox(LastFrame(), 11, 1, 12, 2);
    EXPECT_EQ(FramePixel(LastFrame(), 0, 0), kRed);

    drawing.Fill(window, 100, 199, 30, 1, kMarker); // the lowest line
    ASSERT_EQ(recorder.Tick(), TickOutcome::FrameAdded);
    ExpectBox(LastFrame(), 101, 200, 131, 201);
    EXPECT_EQ(FramePixel(LastFrame(), 29, 0), kMarker);

    // A small window moving inside the area: the box spans where it was and is.
    unsigned long mover = drawing.Window(250, 140, 20, 20, kRed);
    ASSERT_EQ(recorder.Tick(), TickOutcome::FrameAdded);
    ExpectBox(LastFrame(), 51, 41, 71, 61);
    drawing.Move(mover, 270, 150);
    ASSERT_EQ(recorder.Tick(), TickOutcome::FrameAdded);
    const AnimObject& moved = LastFrame();
    ExpectBox(moved, 51, 41, 91, 71);
    EXPECT_EQ(FramePixel(moved, 0, 0), kBackground);  // uncovered again
    EXPECT_EQ(FramePixel(moved, 39, 29), kRed);       // the window's new corner
    EXPECT_EQ(FramePixel(moved, 39, 0), kBackground); // beside it, unchanged colour
    drawing.Destroy(mover);
    ASSERT_EQ(recorder.Tick(), TickOutcome::FrameAdded);
    ExpectBox(LastFrame(), 71, 51, 91, 71);

    EXPECT_EQ(recorder.Tick(), TickOutcome::Unchanged);
    recorder.Stop();
    EXPECT_EQ(project.Objects.Count(), 6);
    EXPECT_EQ(project.MovieWidth, 320);
    EXPECT_EQ(project.MovieHeight, 200);
    for (int32_t i = 1; i < project.Objects.Count(); ++i)
        EXPECT_GE(project.Objects[i].Start.Time, project.Objects[i - 1].Start.Time);
}

TEST_F(RecordingOnScreen, AreaBeyondTheScreenEdgeIsClipped) {
    int32_t right = capture.ScreenWidth() - 1;
    unsigned long edge = drawing.Window(right - 9, 0, 10, 10, kMarker);
    recorder.Start({right - 9, -5, right + 50, 9}, {0, 0}, 10);
    ASSERT_EQ(project.Objects.Count(), 1);
    EXPECT_EQ(project.MovieWidth, 10);
    EXPECT_EQ(project.MovieHeight, 10);
    EXPECT_EQ(FramePixel(LastFrame(), 9, 9), kMarker);
    recorder.Stop();
    drawing.Destroy(edge);
}

} // namespace
