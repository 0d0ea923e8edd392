// The recording tab in a native Wayland window on the headless Wayland desktop
// (tests/wayland/with-desktop.sh): the whole screen and the recording come through the
// screen-cast portal, and no X11 hook is installed.
#include "fake_ui_services.h"

#include "model/project_objects.h"
#include "record/ui/recording_session.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

TEST(WaylandRecordTab, WholeScreenAndRecordingComeThroughThePortal) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    const std::filesystem::path state =
        std::filesystem::temp_directory_path() / ("clipmoor-state-" + std::to_string(getpid()));
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    // The first cast passes the approved token; later ones the token it stored.
    setenv("CLIPMOOR_SCREENCAST_TOKEN", std::getenv("CLIPMOOR_TEST_SCREENCAST_TOKEN"), 1);
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
    std::filesystem::remove_all(state);
}

} // namespace
