#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "record/hooks/xcb_hook_host.h"
#include "record/ui/recording_session.h"
#include "test_drawing.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class RecordingSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }
    void TearDown() override { ClearObjects(project); }
    Project project;
    TestDrawing drawing;
};

TEST_F(RecordingSessionTest, TimerDrivesTheEngineAndTheMouseHookFollowsTheRecording) {
    XcbHookHost host;
    TrasWinGod hooks(host, CLIPMOOR_PROGRAM_DIR "/");
    RecordingSession session(project, &hooks);
    unsigned long window = drawing.Window(50, 60, 120, 80, 0x808080);

    ASSERT_EQ(session.Start({50, 60, 169, 139}, 30), QString());
    EXPECT_TRUE(session.Recording());
    EXPECT_EQ(session.TimerInterval(), 33);
    EXPECT_TRUE(hooks.MouseHookInstalled());
    QTest::qWait(200);
    drawing.Fill(window, 5, 5, 10, 10, 0x00FF00);
    session.PointerMessage(MouseMove, MouseHookStruct{60, 70, 0, 0, 0});
    session.PointerMessage(LeftButtonDown, MouseHookStruct{61, 71, 0, 0, 0});
    QTest::qWait(300);
    session.Stop();
    EXPECT_FALSE(session.Recording());
    EXPECT_FALSE(hooks.MouseHookInstalled());
    drawing.Destroy(window);

    ASSERT_GE(project.Objects.Count(), 2);
    EXPECT_EQ(project.Objects[0].Start.Right, 121);
    const AnimObject& square = project.Objects[1];
    EXPECT_EQ(square.Start.Left, 6);
    EXPECT_EQ(square.Start.Top, 6);
    EXPECT_EQ(square.Start.Right, 16);
    EXPECT_EQ(square.Start.Bottom, 16);
    // The start sample, then the movement; the button press is not a sample. The ticks
    // add where the real pointer is whenever it differs from the last sample.
    std::vector<std::pair<int32_t, int32_t>> track;
    for (int32_t i = 0; i < project.PointerTrack.Count(); ++i)
        track.emplace_back(project.PointerTrack[i].X, project.PointerTrack[i].Y);
    EXPECT_EQ(std::count(track.begin(), track.end(), std::pair<int32_t, int32_t>{10, 10}), 1);
    EXPECT_EQ(std::count(track.begin(), track.end(), std::pair<int32_t, int32_t>{11, 11}), 0);
    int32_t frames = project.Objects.Count();
    QTest::qWait(100);
    EXPECT_EQ(project.Objects.Count(), frames); // nothing after the stop
}

TEST_F(RecordingSessionTest, AbsolutePointerMovesJoinTheTrackWithoutTheMouseHook) {
    RecordingSession session(project, nullptr);
    ASSERT_EQ(std::system("xdotool mousemove 100 100"), 0);
    ASSERT_EQ(session.Start({50, 60, 249, 259}, 30), QString());
    QTest::qWait(150);
    for (auto [x, y] : {std::pair{150, 170}, std::pair{300, 80}}) {
        const std::string move = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y);
        ASSERT_EQ(std::system(move.c_str()), 0);
        QTest::qWait(150);
    }
    session.Stop();

    ASSERT_EQ(project.PointerTrack.Count(), 3);
    const std::pair<int32_t, int32_t> expected[] = {{50, 40}, {100, 110}, {250, 20}};
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(project.PointerTrack[i].X, expected[i].first) << i;
        EXPECT_EQ(project.PointerTrack[i].Y, expected[i].second) << i;
    }
    EXPECT_GT(project.PointerTrack[2].Time, project.PointerTrack[1].Time);
}

TEST_F(RecordingSessionTest, StopsBySelfAtTheMemoryLimit) {
    RecordingSession session(project, nullptr);
    unsigned long window = drawing.Window(0, 0, 100, 100, 0x102030);
    session.SetMemoryLimit(2 * 100 * 100 * 4 + 100 * 300 + 4); // buffers, whole area, one pixel
    QSignalSpy stopped(&session, &RecordingSession::stoppedBySelf);
    ASSERT_EQ(session.Start({0, 0, 99, 99}, 60), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return project.Objects.Count() == 1; }, 3000));
    drawing.Fill(window, 10, 50, 1, 1, 0xFFFFFF);
    ASSERT_TRUE(QTest::qWaitFor([&] { return project.Objects.Count() == 2; }, 3000));
    EXPECT_TRUE(stopped.isEmpty());
    drawing.Fill(window, 90, 90, 1, 1, 0xFFFFFF);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !stopped.isEmpty(); }, 3000));
    ASSERT_EQ(stopped.count(), 1);
    EXPECT_TRUE(stopped.at(0).at(0).toString().contains("Everything recorded so far is kept"));
    EXPECT_FALSE(session.Recording());
    EXPECT_EQ(project.Objects.Count(), 2); // the whole area and one change
    drawing.Destroy(window);
}

TEST_F(RecordingSessionTest, RefusesAreasOffTheScreenAndKeepsTheProject) {
    RecordingSession session(project, nullptr);
    AddTextObject(project);
    QString message = session.Start({-300, -300, -10, -10}, 5);
    EXPECT_EQ(message, "The capture area lies outside the screen.");
    EXPECT_FALSE(session.Recording());
    EXPECT_EQ(project.Objects.Count(), 1);
}

TEST_F(RecordingSessionTest, HotKeyNeedsBothModifiersDown) {
    RecordingSession session(project, nullptr);
    EXPECT_FALSE(session.HotKeyMessage(122, 1));
    session.HotKeyMessage(17, 1); // Ctrl down
    EXPECT_FALSE(session.HotKeyMessage(122, 1));
    session.HotKeyMessage(18, 1); // Alt down
    EXPECT_TRUE(session.ControlDown() && session.AltDown());
    EXPECT_FALSE(session.HotKeyMessage(122, -1)); // release
    EXPECT_TRUE(session.HotKeyMessage(122, 1));
    EXPECT_TRUE(session.HotKeyMessage(122, 1)); // auto-repeat toggles again
    session.HotKeyMessage(17, -1);
    EXPECT_FALSE(session.HotKeyMessage(122, 1));
}

} // namespace
