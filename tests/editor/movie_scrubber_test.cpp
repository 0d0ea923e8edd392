// The movie view beside the editing preview: the slider's frame, playing, and following edits.
#include "editor_test_support.h"

#include "editor/movie_scrubber.h"
#include "tests/support/object_state.h"

namespace {

TEST(MovieScrubber, ShowsTheMovieAtTheSlidersTimePlaysAndFollowsEdits) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.Show();
    w.c.VektorObjekt1->trigger();
    AnimObject& box = w.project.Objects[0];
    box.Start = BoxState(20, 20, 60, 60, 0, 0x0000FF);      // red, from the top left
    box.End = BoxState(200, 150, 240, 190, 1000, 0x0000FF); // to the lower right in 1 s
    box.RemoveWhenFinished = false;
    w.project.FramesPerSecond = 10;
    w.c.PaintBox1->repaint(); // the editor's paint tells the movie view

    MovieScrubber& scrubber = w.f.Scrubber();
    QSlider& slider = *scrubber.Slider();
    ASSERT_TRUE(QTest::qWaitFor([&] { return slider.maximum() == 10; }, 2000));
    const QRgb red = qRgb(255, 0, 0);
    slider.setValue(0);
    EXPECT_EQ(scrubber.Frame().pixel(40, 40), red);
    slider.setValue(10);
    EXPECT_EQ(scrubber.Frame().pixel(220, 170), red);
    EXPECT_EQ(scrubber.Frame().pixel(40, 40), qRgb(255, 255, 255));

    // Play runs from the start to the end and stops there.
    scrubber.PlayButton()->click();
    EXPECT_EQ(slider.value(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !scrubber.PlayButton()->isChecked(); }, 5000));
    EXPECT_EQ(slider.value(), 10);

    box.End.Color = 0xFF0000; // blue
    w.c.PaintBox1->repaint();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return scrubber.Frame().pixel(220, 170) == qRgb(0, 0, 255); }, 2000));
}

} // namespace
