// The recording tab on the real window: area buttons, the selection window, recording
// with the buttons and with the hot key, and recordings that end by themselves.
#include "fake_ui_services.h"

#include "model/project_objects.h"
#include "record/hooks/ras_win_god.h"
#include "record/ui/recording_session.h"
#include "record/ui/select_form.h"
#include "tests/record/test_drawing.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

// New and Open would replace the project under a running recording and Save would write a
// partial one, so they rest with it.
struct ButtonStates {
    bool record, stop, selectArea, fullScreen, newProject, openProject, save, saveAs;
    bool operator==(const ButtonStates&) const = default;
};

ButtonStates StatesOf(const TMainForm& form) {
    return {form.RecordTab().RecordBtn->isEnabled(),   form.RecordTab().StopBtn->isEnabled(),
            form.RecordTab().SelArea2Btn->isEnabled(), form.RecordTab().FullScreenBtn->isEnabled(),
            form.Controls().NewBtn->isEnabled(),       form.Controls().OpenBtn->isEnabled(),
            form.Controls().SaveBtn->isEnabled(),      form.Controls().SaveAsBtn->isEnabled()};
}

constexpr ButtonStates kIdle{true, false, true, true, true, true, true, true};
constexpr ButtonStates kRecording{false, true, false, false, false, false, false, false};

class RecordTabTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(s.started); }
    void TearDown() override {
        if (f.Recording())
            f.Recording()->Stop();
    }
    void UseArea(const CaptureArea& area) {
        f.TheProject().Area = area;
        f.UpdateAreaLabel();
    }
    int32_t Frames() { return f.TheProject().Objects.Count(); }

    StartedForm s;
    TMainForm& f = *s.form;
    TestDrawing drawing;
};

TEST_F(RecordTabTest, RecordButtonRecordsChangesAndStopSelectsTheLastFrame) {
    unsigned long window = drawing.Window(40, 50, 100, 80, 0x808080);
    drawing.Sync();
    AddTextObject(f.TheProject()); // discarded by the start
    f.RefreshObjectList();
    UseArea({40, 50, 139, 129});
    f.RecordTab().BpSEd->setValue(20);

    f.RecordTab().RecordBtn->click();
    EXPECT_EQ(StatesOf(f), kRecording);
    EXPECT_TRUE(f.Recording()->Timer().isActive());
    EXPECT_EQ(f.Recording()->Timer().interval(), 50);
    EXPECT_TRUE(f.rasWinGod1()->MouseHookInstalled());
    EXPECT_EQ(f.TheProject().MovieWidth, 100);
    EXPECT_EQ(f.TheProject().MovieHeight, 80);
    EXPECT_EQ(f.Editor().Controls().ListView1->topLevelItemCount(),
              2); // the list is refreshed only at stop

    ASSERT_TRUE(QTest::qWaitFor([&] { return Frames() == 1; }, 3000));
    drawing.Fill(window, 5, 5, 10, 10, 0x00FF00);
    drawing.Sync();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frames() == 2; }, 3000));
    // Pointer movements reach the track through the mouse hook's event; buttons do not.
    const int32_t samples = f.TheProject().PointerTrack.Count();
    f.rasWinGod1MouseMsg(0, MouseMove, MouseHookStruct{60, 70, 0, 0, 0});
    f.rasWinGod1MouseMsg(0, LeftButtonDown, MouseHookStruct{61, 71, 0, 0, 0});
    ASSERT_EQ(f.TheProject().PointerTrack.Count(), samples + 1);
    EXPECT_EQ(f.TheProject().PointerTrack[samples].X, 20);
    EXPECT_EQ(f.TheProject().PointerTrack[samples].Y, 20);

    f.RecordTab().StopBtn->click();
    drawing.Destroy(window);
    EXPECT_EQ(StatesOf(f), kIdle);
    EXPECT_FALSE(f.Recording()->Timer().isActive());
    EXPECT_FALSE(f.rasWinGod1()->MouseHookInstalled());
    ASSERT_EQ(Frames(), 2);
    EXPECT_EQ(f.TheProject().Objects[0].Kind, KindPicture);
    const ObjectState& square = f.TheProject().Objects[1].Start;
    EXPECT_EQ(QRect(QPoint(square.Left, square.Top), QPoint(square.Right, square.Bottom)),
              QRect(QPoint(6, 6), QPoint(16, 16)));
    ASSERT_EQ(f.Editor().Controls().ListView1->topLevelItemCount(), 4);
    EXPECT_EQ(f.Editor().Controls().ListView1->indexOfTopLevelItem(
                  f.Editor().Controls().ListView1->currentItem()),
              2);
    ASSERT_EQ(f.Editor().Controls().ListView1->selectedItems().size(), 1);
    EXPECT_EQ(f.Editor().Controls().ListView1->selectedItems().first(),
              f.Editor().Controls().ListView1->topLevelItem(2));
    EXPECT_TRUE(f.statusBar()->currentMessage().startsWith("Recording stopped: 2 frames recorded."))
        << f.statusBar()->currentMessage().toStdString();
    EXPECT_EQ(s.ui.messages.size(), 1u); // the question before replacing the text
    QTest::qWait(120);
    EXPECT_EQ(Frames(), 2); // nothing after the stop
}

TEST_F(RecordTabTest, RecordingOverObjectsAsksFirstAndCancelStartsNothing) {
    UseArea({0, 0, 49, 49});
    AddTextObject(f.TheProject());
    f.RefreshObjectList();
    auto pressHotKey = [&] {
        f.rasWinGod1KeybrdMsg(0, 17, 1); // Ctrl + Shift + F11
        f.rasWinGod1KeybrdMsg(0, 16, 1);
        f.rasWinGod1KeybrdMsg(0, 122, 1);
        f.rasWinGod1KeybrdMsg(0, 122, -1);
        f.rasWinGod1KeybrdMsg(0, 16, -1);
        f.rasWinGod1KeybrdMsg(0, 17, -1);
    };
    const std::function<void()> starts[] = {[&] { f.RecordTab().RecordBtn->click(); }, pressHotKey};
    for (const auto& start : starts) {
        s.ui.messages.clear();
        s.ui.answers = {QMessageBox::Cancel};
        start();
        ASSERT_EQ(s.ui.messages.size(), 1u);
        const MessageRequest& question = s.ui.messages[0];
        EXPECT_EQ(question.text, kRecordOverMessage);
        EXPECT_EQ(question.caption, "Record now");
        EXPECT_EQ(question.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(question.icon, QMessageBox::Information);
        EXPECT_TRUE(question.aboveOtherWindows);
        EXPECT_EQ(StatesOf(f), kIdle);
        EXPECT_FALSE(f.Recording()->Recording());
        EXPECT_EQ(Frames(), 1);
        EXPECT_EQ(f.TheProject().Objects[0].Kind, KindText);
    }
    pressHotKey(); // OK
    EXPECT_EQ(s.ui.messages.size(), 2u);
    EXPECT_EQ(StatesOf(f), kRecording);
    ASSERT_EQ(Frames(), 1); // the whole area, taken at the start
    EXPECT_EQ(f.TheProject().Objects[0].Kind, KindPicture);
    f.StopBtnClick();
    // An empty project has nothing to lose: no question.
    ClearObjects(f.TheProject());
    f.RecordBtnClick();
    EXPECT_EQ(s.ui.messages.size(), 2u);
    EXPECT_EQ(StatesOf(f), kRecording);
}

TEST_F(RecordTabTest, StoppingBeforeTheFirstTickKeepsTheWholeAreaAndSelectsIt) {
    AddTextObject(f.TheProject());
    f.RefreshObjectList();
    f.Editor().Controls().ListView1->setCurrentItem(
        f.Editor().Controls().ListView1->topLevelItem(0));
    UseArea({0, 0, 49, 49});
    f.RecordTab().BpSEd->setValue(1);
    f.RecordBtnClick();
    f.StopBtnClick();
    ASSERT_EQ(Frames(), 1); // the start records the whole area
    EXPECT_EQ(f.TheProject().Objects[0].Kind, KindPicture);
    EXPECT_EQ(f.Editor().Controls().ListView1->topLevelItemCount(), 2);
    EXPECT_EQ(f.Editor().Controls().ListView1->currentItem(),
              f.Editor().Controls().ListView1->topLevelItem(0));
    EXPECT_EQ(f.TheProject().PointerTrack.Count(), 1); // the sample taken at the start
    EXPECT_EQ(f.statusBar()->currentMessage(), "Recording stopped: 1 frame recorded.");
}

TEST_F(RecordTabTest, StatusBarTellsWhenTheFrameRateWasNotHeld) {
    UseArea({0, 0, 49, 49});
    f.RecordTab().BpSEd->setValue(100);
    f.RecordBtnClick();
    QThread::msleep(300); // the window is busy: about 30 ticks fall due meanwhile
    // The first tick after that counts them.
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Recording()->SkippedTicks() > 0; }, 3000));
    f.StopBtnClick();
    const int64_t skipped = f.Recording()->SkippedTicks();
    EXPECT_GE(skipped, 20);
    EXPECT_EQ(f.statusBar()->currentMessage(),
              QStringLiteral("Recording stopped: %1 frame%2 recorded. %3 ticks were skipped: the "
                             "frame rate could not be held.")
                  .arg(Frames())
                  .arg(Frames() == 1 ? "" : "s")
                  .arg(skipped));
}

TEST_F(RecordTabTest, HotKeyMessagesToggleTheRecording) {
    UseArea({0, 0, 49, 49});
    f.rasWinGod1KeybrdMsg(0, 17, 1);  // Ctrl alone
    f.rasWinGod1KeybrdMsg(0, 122, 1); // F11
    EXPECT_EQ(StatesOf(f), kIdle);
    f.rasWinGod1KeybrdMsg(0, 18, 1); // + Alt
    f.rasWinGod1KeybrdMsg(0, 122, 1);
    EXPECT_EQ(StatesOf(f), kRecording);
    EXPECT_TRUE(f.Recording()->Timer().isActive());
    f.rasWinGod1KeybrdMsg(0, 122, -1); // releasing F11 does nothing
    EXPECT_EQ(StatesOf(f), kRecording);
    f.rasWinGod1KeybrdMsg(0, 122, 1);
    EXPECT_EQ(StatesOf(f), kIdle);
    EXPECT_FALSE(f.Recording()->Timer().isActive());
    f.rasWinGod1KeybrdMsg(0, 18, -1); // Alt up: Ctrl + F11 alone does nothing
    f.rasWinGod1KeybrdMsg(0, 122, 1);
    EXPECT_EQ(StatesOf(f), kIdle);
    f.rasWinGod1KeybrdMsg(0, 16, 1); // Ctrl + Shift
    f.rasWinGod1KeybrdMsg(0, 122, 1);
    EXPECT_EQ(StatesOf(f), kRecording);
    f.rasWinGod1KeybrdMsg(0, 122, 1); // auto-repeat toggles back
    EXPECT_EQ(StatesOf(f), kIdle);
}

TEST_F(RecordTabTest, CtrlShiftF11FromTheKeyboardStartsAndStops) {
    ASSERT_TRUE(f.rasWinGod1()->KeyboardHookInstalled());
    UseArea({0, 0, 49, 49});
    ASSERT_EQ(std::system("xdotool key ctrl+shift+F11"), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.RecordTab().StopBtn->isEnabled(); }, 3000));
    EXPECT_EQ(StatesOf(f), kRecording);
    ASSERT_EQ(std::system("xdotool key ctrl+shift+F11"), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.RecordTab().RecordBtn->isEnabled(); }, 3000));
    EXPECT_EQ(StatesOf(f), kIdle);
    EXPECT_FALSE(f.Recording()->Timer().isActive());
}

TEST_F(RecordTabTest, FullScreenButtonResetsTheAreaAndTheLabel) {
    UseArea({10, 20, 110, 220});
    EXPECT_EQ(f.RecordTab().ScreenInfo->text(), " Area: ( 10,20 ) - ( 110,220 ) ");
    f.RecordTab().FullScreenBtn->click();
    QScreen* primary = QGuiApplication::primaryScreen();
    QSize screen = primary->geometry().size() * primary->devicePixelRatio();
    const CaptureArea& area = f.TheProject().Area;
    EXPECT_EQ(QRect(QPoint(area.Left, area.Top), QPoint(area.Right, area.Bottom)),
              QRect(QPoint(0, 0), screen));
    EXPECT_EQ(f.RecordTab().ScreenInfo->text(), QStringLiteral(" Area: ( 0,0 ) - ( %1,%2 ) ")
                                                    .arg(screen.width() - 1)
                                                    .arg(screen.height() - 1));
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint position, Qt::MouseButtons buttons) {
    Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(position), target->mapToGlobal(QPointF(position)), button,
                      buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

// Drags on the selection window once it shows; counts the windows it saw.
void DragWhenShown(TSelectForm* form, QPoint from, QPoint to, int* shown) {
    QTimer::singleShot(20, form, [=] {
        if (!form->isVisible())
            return DragWhenShown(form, from, to, shown);
        ++*shown;
        QWidget* box = form->PaintBox1();
        SendMouse(box, QEvent::MouseButtonPress, from, Qt::LeftButton);
        SendMouse(box, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        SendMouse(box, QEvent::MouseMove, to, Qt::LeftButton);
        SendMouse(box, QEvent::MouseButtonRelease, to, Qt::NoButton);
    });
}

TEST_F(RecordTabTest, SelectAreaButtonTakesTheDraggedRectangle) {
    ASSERT_NE(f.RecordTab().SelectForm, nullptr);
    int shown = 0;
    DragWhenShown(f.RecordTab().SelectForm, {10, 20}, {110, 220}, &shown);
    f.RecordTab().SelArea2Btn->click();
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(f.RecordTab().SelectForm->isVisible());
    EXPECT_EQ(f.RecordTab().ScreenInfo->text(), " Area: ( 10,20 ) - ( 110,220 ) ");

    // The same window again; a drag up and to the left gives the same area in order.
    TSelectForm* first = f.RecordTab().SelectForm;
    DragWhenShown(f.RecordTab().SelectForm, {300, 200}, {100, 50}, &shown);
    f.SelArea2BtnClick();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(f.RecordTab().SelectForm, first);
    const CaptureArea& area = f.TheProject().Area;
    EXPECT_EQ(QRect(QPoint(area.Left, area.Top), QPoint(area.Right, area.Bottom)),
              QRect(QPoint(100, 50), QPoint(300, 200)));
    EXPECT_EQ(f.RecordTab().ScreenInfo->text(), " Area: ( 100,50 ) - ( 300,200 ) ");
}

TEST_F(RecordTabTest, SelectionDoesNotOpenWhileRecording) {
    UseArea({0, 0, 49, 49});
    f.RecordBtnClick();
    int shown = 0;
    // Should the window open, this closes it again so that the test can fail, not hang.
    QTimer::singleShot(300, f.RecordTab().SelectForm, [&] {
        if (f.RecordTab().SelectForm->isVisible()) {
            ++shown;
            f.RecordTab().SelectForm->reject();
        }
    });
    f.SelArea2BtnClick();
    QTest::qWait(400);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(f.RecordTab().ScreenInfo->text(), " Area: ( 0,0 ) - ( 49,49 ) ");
    f.StopBtnClick();
}

TEST_F(RecordTabTest, RecordingThatStopsBySelfKeepsItsFramesAndSaysWhy) {
    unsigned long window = drawing.Window(0, 0, 100, 100, 0x102030);
    drawing.Sync();
    UseArea({0, 0, 99, 99});
    f.RecordTab().BpSEd->setValue(60);
    ASSERT_NE(f.Recording(), nullptr);
    // Room for the capture buffers, the whole area and one changed pixel.
    f.Recording()->SetMemoryLimit(2 * 100 * 100 * 4 + 100 * 300 + 4);
    f.RecordBtnClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frames() == 1; }, 3000));
    drawing.Fill(window, 10, 50, 1, 1, 0xFFFFFF);
    drawing.Sync();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frames() == 2; }, 3000));
    drawing.Fill(window, 90, 90, 1, 1, 0xFFFFFF);
    drawing.Sync();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !s.ui.messages.empty(); }, 3000));
    drawing.Destroy(window);

    ASSERT_EQ(s.ui.messages.size(), 1u);
    EXPECT_TRUE(s.ui.messages[0].text.contains("Everything recorded so far is kept"));
    EXPECT_EQ(s.ui.messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(s.ui.messages[0].caption, DefaultCaption());
    EXPECT_EQ(StatesOf(f), kIdle);
    EXPECT_FALSE(f.Recording()->Timer().isActive());
    EXPECT_FALSE(f.rasWinGod1()->MouseHookInstalled());
    EXPECT_EQ(Frames(), 2);
    EXPECT_EQ(f.Editor().Controls().ListView1->topLevelItemCount(), 4);
    EXPECT_EQ(f.Editor().Controls().ListView1->indexOfTopLevelItem(
                  f.Editor().Controls().ListView1->currentItem()),
              2);
    EXPECT_TRUE(f.statusBar()->currentMessage().startsWith("Recording stopped: 2 frames"));
}

TEST_F(RecordTabTest, AreaOffTheScreenIsRefusedAndThePageStaysIdle) {
    AddTextObject(f.TheProject());
    UseArea({-300, -300, -10, -10});
    f.RecordBtnClick();
    ASSERT_EQ(s.ui.messages.size(), 2u); // the question, then the refusal
    EXPECT_EQ(s.ui.messages[1].text, "The capture area lies outside the screen.");
    EXPECT_EQ(s.ui.messages[1].caption, "Error");
    EXPECT_EQ(StatesOf(f), kIdle);
    EXPECT_FALSE(f.Recording()->Timer().isActive());
    EXPECT_EQ(Frames(), 1);
    EXPECT_EQ(f.RecordTab().ScreenInfo->text(), " Area: ( -300,-300 ) - ( -10,-10 ) ");
}

} // namespace
