#include "record/core/capture_geometry.h"
#include "record/ui/select_form.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `actions` on the open selection window, then lets SelectArea (or SelectAreaOnPicture
// when `picture` is given) return.
bool SelectWith(TSelectForm& form, CaptureArea& area,
                const std::function<void(SelectPaintBox*)>& actions, bool recording = false,
                const QImage* picture = nullptr) {
    bool ran = false;
    QTimer::singleShot(0, &form, [&] {
        ran = true;
        EXPECT_TRUE(form.isVisible());
        actions(form.PaintBox1());
        if (form.isVisible()) // the actions did not close it
            form.reject();
    });
    bool selected = picture ? SelectAreaOnPicture(form, *picture, area, recording)
                            : SelectArea(form, area, recording);
    EXPECT_EQ(ran, selected);
    return selected;
}

int RedPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == qRgb(255, 0, 0);
    return count;
}

TEST(SelectForm, DragInAnyDirectionSelectsTheSameArea) {
    TSelectForm form;
    CaptureArea area = PrimaryScreenArea();
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(CaptureAreaLabelText(area), " Area: ( 0,0 ) - ( " +
                                              std::to_string(screen.width() - 1) + "," +
                                              std::to_string(screen.height() - 1) + " ) ");

    // Closed without a drag on first use: the points are still 0, 0.
    ASSERT_TRUE(SelectWith(form, area, [](SelectPaintBox*) {}));
    EXPECT_EQ(CaptureAreaLabelText(area), " Area: ( 0,0 ) - ( 1,1 ) ");

    ASSERT_TRUE(SelectWith(form, area, [&](SelectPaintBox* box) {
        EXPECT_EQ(form.geometry(), QRect(0, 0, screen.width(), screen.height()));
        EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
        QTest::mousePress(box, Qt::LeftButton, {}, QPoint(300, 200));
        QTest::mouseMove(box, QPoint(200, 120));
        QTest::mouseMove(box, QPoint(100, 50));
        QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(100, 50));
        EXPECT_FALSE(form.isVisible()); // the release closed it
    }));
    EXPECT_EQ(CaptureAreaLabelText(area), " Area: ( 100,50 ) - ( 300,200 ) ");

    // Any button starts the drag; a click without movement gives 2 x 2 pixels.
    ASSERT_TRUE(SelectWith(form, area, [](SelectPaintBox* box) {
        QTest::mousePress(box, Qt::RightButton, {}, QPoint(10, 10));
        QTest::mouseRelease(box, Qt::RightButton, {}, QPoint(10, 10));
    }));
    EXPECT_EQ(CaptureAreaLabelText(area), " Area: ( 10,10 ) - ( 11,11 ) ");

    // Esc closes the window; the points left from the last use count, as for any close.
    ASSERT_TRUE(SelectWith(form, area, [&](SelectPaintBox* box) {
        QTest::mouseMove(box, QPoint(500, 400)); // no button: ignored
        QTest::keyClick(&form, Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible());
    }));
    EXPECT_EQ(CaptureAreaLabelText(area), " Area: ( 10,10 ) - ( 11,11 ) ");

    // While the recording timer runs the window does not open.
    CaptureArea kept = area;
    EXPECT_FALSE(SelectWith(
        form, area, [](SelectPaintBox*) {}, true));
    EXPECT_EQ(CaptureAreaLabelText(area), CaptureAreaLabelText(kept));
}

TEST(SelectForm, PointsMapToTheStreamsDevicePixels) {
    const struct {
        QPoint start, end;
        QSize window, picture;
        CaptureArea expected;
    } cases[] = {
        {{100, 80}, {300, 200}, {1536, 864}, {1920, 1080}, {125, 100, 375, 250}}, // 125 %
        {{300, 200}, {100, 80}, {1536, 864}, {1920, 1080}, {125, 100, 375, 250}},
        {{0, 0}, {1535, 863}, {1536, 864}, {1920, 1080}, {0, 0, 1918, 1078}},
        {{10, 10}, {20, 30}, {800, 600}, {1600, 1200}, {20, 20, 40, 60}}, // 200 %
        {{10, 10}, {20, 30}, {800, 600}, {800, 600}, {10, 10, 20, 30}},
    };
    for (const auto& c : cases) {
        CaptureArea area = WindowPointsToPicturePixels(c.start, c.end, c.window, c.picture);
        EXPECT_EQ(CaptureAreaLabelText(area), CaptureAreaLabelText(c.expected));
    }
}

TEST(SelectForm, DragOnAStreamPictureSelectsInItsPixels) {
    TSelectForm form;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QImage picture(screen.size() * 2, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 255));
    CaptureArea area{};
    ASSERT_TRUE(SelectWith(
        form, area,
        [&](SelectPaintBox* box) {
            // The picture covers the window, shrunk to its points.
            EXPECT_EQ(box->grab().toImage().pixel(screen.width() - 1, screen.height() - 1),
                      qRgb(0, 0, 255));
            QTest::mousePress(box, Qt::LeftButton, {}, QPoint(100, 50));
            QTest::mouseMove(box, QPoint(300, 200));
            QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(300, 200));
        },
        false, &picture));
    EXPECT_EQ(CaptureAreaLabelText(area), " Area: ( 200,100 ) - ( 600,400 ) ");
}

TEST(SelectForm, RubberBandIsARedOutlineOverTheFrozenPicture) {
    TSelectForm form;
    QPixmap picture(200, 150);
    picture.fill(QColor(0, 128, 0));
    form.SetScreenPicture(picture);
    form.ResetDragging();
    form.setGeometry(0, 0, 200, 150);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    SelectPaintBox* box = form.PaintBox1();

    QTest::mouseMove(box, QPoint(30, 30)); // before any press: nothing drawn
    QImage still = box->grab().toImage();
    EXPECT_EQ(RedPixels(still), 0);
    EXPECT_EQ(still.pixel(30, 30), qRgb(0, 128, 0));

    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(120, 90));
    EXPECT_EQ(RedPixels(box->grab().toImage()), 0); // the press alone draws nothing
    QTest::mouseMove(box, QPoint(20, 30));
    QImage band = box->grab().toImage();
    EXPECT_EQ(band.pixel(20, 60), qRgb(255, 0, 0));  // left edge
    EXPECT_EQ(band.pixel(120, 60), qRgb(255, 0, 0)); // right edge
    EXPECT_EQ(band.pixel(70, 30), qRgb(255, 0, 0));  // top edge
    EXPECT_EQ(band.pixel(70, 90), qRgb(255, 0, 0));  // bottom edge
    EXPECT_EQ(band.pixel(70, 60), qRgb(0, 128, 0));  // no fill
    EXPECT_EQ(band.pixel(10, 10), qRgb(0, 128, 0));
    EXPECT_NEAR(RedPixels(band), 2 * (101 + 61), 8);

    // A new move draws the band afresh over the picture.
    QTest::mouseMove(box, QPoint(110, 80));
    QImage moved = box->grab().toImage();
    EXPECT_EQ(moved.pixel(20, 60), qRgb(0, 128, 0));
    EXPECT_EQ(moved.pixel(110, 85), qRgb(255, 0, 0));
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(110, 80));
    EXPECT_EQ(form.EndPoint(), QPoint(110, 80));
    EXPECT_EQ(form.StartPoint(), QPoint(120, 90));
    EXPECT_FALSE(form.isVisible());
}

} // namespace
