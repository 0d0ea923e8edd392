// The area selection on a headless Wayland desktop whose monitor is scaled by 125 %
// (tests/wayland/with-desktop.sh --size 1920x1080 --scale 1.25): windows see 1536 x 864
// points, the screen cast sends 1920 x 1080 pixels, and a drag on the cast's frozen picture
// selects in the cast's pixels.
#include "fake_ui_services.h"
#include "portal_test_state.h"

#include "record/ui/select_form.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(WaylandScaledMonitor, AreaDragSelectsInTheCastsPixels) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().size(), QSize(1536, 864));
    PortalTestState state;
    StartedForm s;
    ASSERT_TRUE(s.started);
    TMainForm& f = *s.form;
    TSelectForm& form = *f.RecordTab().SelectForm;

    // The selection window opens once the cast has sent its first picture.
    bool dragged = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!form.isVisible())
            return;
        poll.stop();
        dragged = true;
        SelectPaintBox* box = form.PaintBox1();
        QTest::mousePress(box, Qt::LeftButton, {}, QPoint(400, 200));
        QTest::mouseMove(box, QPoint(800, 600));
        QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(800, 600));
        if (form.isVisible()) // the release did not close it
            form.reject();
    });
    poll.start(50);
    f.RecordTab().SelArea2Btn->click();
    EXPECT_TRUE(dragged) << (s.ui.messages.empty() ? "" : s.ui.messages[0].text.toStdString());
    EXPECT_EQ(f.RecordTab().ScreenInfo->text(),
              QStringLiteral(" Area: ( 500,250 ) - ( 1000,750 ) "));
}

} // namespace
