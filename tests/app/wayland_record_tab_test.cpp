// The recording tab in a native Wayland window on the headless Wayland desktop
// (tests/wayland/with-desktop.sh): the whole screen and the recording come through the
// screen-cast portal, and no X11 hook is installed.
#include "fake_ui_services.h"
#include "portal_test_state.h"

#include "model/project_objects.h"
#include "record/ui/recording_session.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(WaylandRecordTab, WholeScreenAndRecordingComeThroughThePortal) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    // The first cast passes the approved token; later ones the token it stored.
    PortalTestState state;
    StartedForm s;
    ASSERT_TRUE(s.started);
    TMainForm& f = *s.form;
    EXPECT_EQ(f.rasWinGod1(), nullptr);

    f.RecordTab().FullScreenBtn->click();
    unsetenv("CLIPMOOR_SCREENCAST_TOKEN");
    EXPECT_EQ(f.RecordTab().ScreenInfo->text(), QStringLiteral(" Area: ( 0,0 ) - ( 1279,719 ) "));

    f.RecordTab().RecordBtn->click();
    ASSERT_TRUE(f.Recording()->Recording())
        << (s.ui.messages.empty() ? "" : s.ui.messages[0].text.toStdString());
    QTest::qWait(1000);
    f.RecordTab().StopBtn->click();
    EXPECT_EQ(f.TheProject().MovieWidth, 1280);
    EXPECT_EQ(f.TheProject().MovieHeight, 720);
    EXPECT_GE(f.TheProject().Objects.Count(), 1);
    EXPECT_TRUE(s.ui.messages.empty());
}

} // namespace
