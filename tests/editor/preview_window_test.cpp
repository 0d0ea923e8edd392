// The preview on the real main window: what it draws and how the mouse edits the boxes.
#include "editor_test_support.h"

#include "imaging/pictavo.h"
#include "widgets/system_colors.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QMouseEvent>

#include <sys/resource.h>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

void SetBox(ObjectState& state, int left, int top, int right, int bottom) {
    state.Left = left;
    state.Top = top;
    state.Right = right;
    state.Bottom = bottom;
}

// A vector object with the Start box (10, 10, 50, 30), its Start row selected.
struct DragWindow : EditorWindow {
    DragWindow() {
        c.VektorObjekt1->trigger();
        SetBox(project.Objects[0].Start, 10, 10, 50, 30);
        SetBox(project.Objects[0].End, 200, 200, 240, 220);
        Show();
    }
    ObjectState& Start() { return project.Objects[0].Start; }
    // Mouse events delivered to the preview at once, as the window system would.
    void Send(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons held) {
        const QPointF local(x, y);
        QMouseEvent event(type, local, c.PaintBox1->mapToGlobal(local), button, held, {});
        QCoreApplication::sendEvent(c.PaintBox1, &event);
    }
    void Press(int x, int y) {
        buttons = Qt::LeftButton;
        Send(QEvent::MouseButtonPress, x, y, Qt::LeftButton, buttons);
    }
    void Move(int x, int y) { Send(QEvent::MouseMove, x, y, Qt::NoButton, buttons); }
    void Release(int x, int y) {
        buttons = {};
        Send(QEvent::MouseButtonRelease, x, y, Qt::LeftButton, buttons);
    }
    Qt::MouseButtons buttons; // held during moves
};

std::array<int, 4> Box(const ObjectState& s) {
    return {s.Left, s.Top, s.Right, s.Bottom};
}

TEST(PreviewMouse, ResizesAndMovesTheSelectedBox) {
    DragWindow w;
    w.Press(51, 20); // right edge handle
    w.Move(65, 20);
    w.Release(80, 20);
    EXPECT_EQ(Box(w.Start()), (std::array{10, 10, 80, 30}));

    SetBox(w.Start(), 10, 10, 50, 30);
    w.Press(20, 20);
    w.Move(70, 50);
    w.Release(120, 70);
    EXPECT_EQ(Box(w.Start()), (std::array{110, 60, 150, 80}));
    EXPECT_EQ(w.editor->Drag().Dragging, 0);

    SetBox(w.Start(), 10, 10, 50, 30);
    w.Press(51, 20);
    w.Release(51, 20);
    EXPECT_EQ(w.Start().Right, 51) << "the frame's last pixel becomes the first outside";
}

TEST(PreviewMouse, HandlesReachThreePixelsAndThePointerShows) {
    DragWindow w;
    w.Move(7, 10);
    EXPECT_EQ(w.editor->Drag().DragMode, DragTopLeft);
    EXPECT_EQ(w.c.PaintBox1->cursor().shape(), Qt::SizeFDiagCursor);
    w.Move(6, 10);
    EXPECT_EQ(w.editor->Drag().DragMode, DragNone);
    EXPECT_EQ(w.c.PaintBox1->cursor().shape(), Qt::ArrowCursor);
    w.Move(30, 20);
    EXPECT_EQ(w.c.PaintBox1->cursor().shape(), Qt::PointingHandCursor);
    w.Move(30, 31);
    EXPECT_EQ(w.c.PaintBox1->cursor().shape(), Qt::SizeVerCursor);
    w.Press(6, 10);
    w.Release(2, 2);
    EXPECT_EQ(Box(w.Start()), (std::array{10, 10, 50, 30})) << "a miss drags nothing";
}

TEST(PreviewMouse, BoxesStayWithinReach) {
    DragWindow w;
    w.Press(20, 20);
    w.Move(-300, 20);
    w.Release(-400, 20);
    EXPECT_EQ(w.Start().Right, 1);
    EXPECT_EQ(w.Start().Left, -39);
    w.Press(-35, 20); // what is left of it can still be grabbed
    w.Release(2000, 20);
    EXPECT_EQ(w.Start().Left, 499);
}

TEST(PreviewMouse, ClickSelectsTheOtherStateBeforeDragging) {
    DragWindow w;
    w.editor->SelectRow(1); // End row
    w.Press(20, 20);        // inside the Start box
    w.Release(20, 20);
    EXPECT_EQ(w.editor->SelectedRow(), 0);
    EXPECT_EQ(w.editor->Drag().Dragging, 0);
    w.Press(20, 20);
    EXPECT_EQ(w.editor->Drag().Dragging, 1);
    EXPECT_EQ(w.editor->Drag().DragMode, DragMove);
    w.Release(30, 20);
    EXPECT_EQ(w.Start().Left, 20);

    // With every object shown, a click picks the last object under the pointer.
    w.c.OnlyActualCheck->setChecked(false);
    w.c.VektorObjekt1->trigger();
    SetBox(w.project.Objects[1].Start, 300, 100, 350, 150);
    w.editor->SelectRow(0);
    w.Press(320, 120);
    w.Release(320, 120);
    EXPECT_EQ(w.editor->SelectedRow(), 2);
}

// The bounding box of everything that is not white.
QRect InkBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kWhite)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// A rectangle with its Start box at (20, 20, 60, 60) and its End box at (200, 150, 240, 190).
AnimObject& AddRectangle(EditorWindow& w) {
    w.c.VektorObjekt1->trigger();
    AnimObject& rectangle = w.project.Objects[w.project.Objects.Count() - 1];
    SetBox(rectangle.Start, 20, 20, 60, 60);
    SetBox(rectangle.End, 200, 150, 240, 190);
    return rectangle;
}

TEST(PreviewPicture, WhiteWithoutSelectionThenTheObjectsColours) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    AnimObject& rectangle = AddRectangle(w);
    rectangle.End.Color = 0x00FF00; // lime
    w.c.ListView1->clearSelection();
    QImage empty = w.editor->RenderPreview();
    ASSERT_EQ(empty.size(), QSize(500, 300));
    for (int y = 0; y < empty.height(); ++y)
        for (int x = 0; x < empty.width(); ++x)
            ASSERT_EQ(empty.pixel(x, y), kWhite) << x << "," << y;

    w.editor->SelectRow(0);
    QImage shown = w.editor->RenderPreview();
    // The Start colour is the system's window-text colour.
    const QColor windowText = w.c.PaintBox1->palette().color(QPalette::WindowText);
    EXPECT_EQ(shown.pixel(40, 40), windowText.rgb());
    EXPECT_EQ(shown.pixel(220, 170), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(100, 70), kWhite);
    // The blue line from (20, 20) to (200, 150) runs between the boxes; at x = 110 it is
    // at y = 20 + 90 * 130 / 180 = 85.
    bool blueNear = false;
    for (int y = 84; y <= 86; ++y)
        blueNear |= shown.pixel(110, y) == qRgb(0, 0, 255);
    EXPECT_TRUE(blueNear);
    // Frame and handles around the selected Start box: Right and Bottom are its last pixels.
    EXPECT_EQ(shown.pixel(60, 45), kBlack);
    EXPECT_EQ(shown.pixel(61, 45), kWhite);
    EXPECT_EQ(shown.pixel(18, 18), kBlack) << "top left handle";
    EXPECT_EQ(shown.pixel(63, 63), kBlack) << "bottom right handle";

    w.c.NoArrowsCheck->setChecked(true);
    EXPECT_EQ(w.editor->RenderPreview().pixel(110, 85), kWhite);

    // An ellipse leaves its box's corners white.
    w.c.ObjectKindBox->setCurrentIndex(1);
    QImage ellipse = w.editor->RenderPreview();
    EXPECT_EQ(ellipse.pixel(40, 40), windowText.rgb());
    EXPECT_EQ(ellipse.pixel(25, 25), kWhite);
}

TEST(PreviewPicture, TransparencyBlendsAsTheMovieDoes) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    AnimObject& rectangle = AddRectangle(w);
    rectangle.Start.Color = rectangle.End.Color = 0x0000FF; // red
    w.c.NoArrowsCheck->setChecked(true);
    w.c.ListView1->clearSelection();
    w.c.OnlyActualCheck->setChecked(false);
    // The movie's alpha for 40 % is 153: red over white leaves 102 of green and blue.
    for (auto [transparency, rest] : {std::pair{0, 0}, std::pair{40, 102}, std::pair{100, 255}}) {
        rectangle.Start.Transparency = transparency;
        QImage image = w.editor->RenderPreview();
        const QColor drawn = image.pixelColor(40, 40);
        EXPECT_EQ(drawn.red(), 255) << transparency;
        EXPECT_NEAR(drawn.green(), rest, 1) << transparency;
        EXPECT_NEAR(drawn.blue(), rest, 1) << transparency;
        EXPECT_EQ(image.pixel(220, 170), qRgb(255, 0, 0)) << "the End state is opaque";
    }
    // A text fades the same way: nothing of it shows at 100 %.
    w.AddTexts(1);
    for (AnimObject* object : {&w.project.Objects[0], &w.project.Objects[1]})
        object->Start.Transparency = object->End.Transparency = 100;
    w.c.ListView1->clearSelection();
    EXPECT_EQ(InkBounds(w.editor->RenderPreview()), QRect());
}

TEST(PreviewPicture, PictureFillsItsAspectRatioWithinTheBox) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    DibImage picture{};
    Pictavo().newdib(&picture, 200, 100, 24, nullptr, 0);
    for (int y = 0; y < 100; ++y) {
        uint8_t* row = DibRow(picture, y);
        for (int x = 0; x < 200; ++x) {
            row[3 * x] = x < 100 ? 0 : 255; // left half red, right half blue
            row[3 * x + 1] = 0;
            row[3 * x + 2] = x < 100 ? 255 : 0;
        }
    }
    AddPictureObject(w.project, picture);
    w.f.RefreshObjectList();
    SetBox(w.project.Objects[0].Start, 100, 100, 200, 200);
    SetBox(w.project.Objects[0].End, 300, 50, 400, 150);
    w.c.NoArrowsCheck->setChecked(true);
    w.editor->SelectRow(1);
    QImage image = w.editor->RenderPreview();
    EXPECT_EQ(image.pixel(101, 101), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(149, 148), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(150, 101), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(198, 148), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(150, 150), kWhite) << "below the fitted 100 x 50 area";
    EXPECT_EQ(image.pixel(150, 180), kWhite);

    // A quarter turn stands the End state's fitted 100 x 50 area on its end around its
    // centre (350, 75), counter-clockwise: the right half turns upwards.
    w.project.Objects[0].End.Rotation = 900;
    QImage turned = w.editor->RenderPreview();
    EXPECT_EQ(turned.pixel(350, 20), kWhite);
    EXPECT_EQ(turned.pixel(320, 75), kWhite);
    EXPECT_EQ(turned.pixel(350, 30), qRgb(0, 0, 255));
    EXPECT_EQ(turned.pixel(350, 120), qRgb(255, 0, 0));
}

TEST(PreviewPicture, APartOfTheMovieIsTheSameCropOfTheWhole) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.c.VektorObjekt1->trigger();
    SetBox(w.project.Objects[0].Start, 20, 30, 140, 90);
    w.project.Objects[0].Start.Rotation = 250;
    DibImage picture{};
    Pictavo().newdib(&picture, 60, 40, 24, nullptr, 0);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 180; ++x)
            DibRow(picture, y)[x] = static_cast<uint8_t>(x * 7 + y * 3);
    AddPictureObject(w.project, picture);
    SetBox(w.project.Objects[1].Start, 250, 120, 430, 260);
    w.project.Objects[1].End.Rotation = -330;
    w.f.RefreshObjectList();
    w.c.OnlyActualCheck->setChecked(false);
    w.editor->SelectRow(2);
    const QImage whole = w.editor->RenderPreview();
    ASSERT_EQ(whole.size(), QSize(500, 300));
    for (const QRect& part : {QRect(0, 0, 500, 300), QRect(37, 21, 150, 90),
                              QRect(300, 150, 200, 150), QRect(333, 177, 1, 1)})
        EXPECT_EQ(w.editor->RenderPreview(part), whole.copy(part)) << part.x() << "," << part.y();
}

TEST(PreviewPicture, AHugeMovieRepaintsOnlyWhatIsVisible) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.project.MovieWidth = w.project.MovieHeight = 20000; // 1.6 GB as one image
    w.c.VektorObjekt1->trigger();
    w.editor->RepaintPreview();
    w.Show();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    w.c.PaintBox1->repaint();
    QTest::qWait(50);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024) << "kilobytes";
}

TEST(PreviewPicture, TextTurnsAboutTheCentreOfItsExtent) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.AddTexts(1);
    AnimObject& text = w.project.Objects[0];
    std::free(text.Text);
    text.Text = strdup("Turning words");
    SetBox(text.Start, 250, 150, 290, 190);
    text.End = text.Start;
    w.c.ListView1->clearSelection();
    w.c.OnlyActualCheck->setChecked(false);
    w.c.NoArrowsCheck->setChecked(true);
    const QRect flat = InkBounds(w.editor->RenderPreview());
    ASSERT_GT(flat.width(), 3 * flat.height());
    text.Start.Rotation = text.End.Rotation = 900;
    const QRect turned = InkBounds(w.editor->RenderPreview());
    EXPECT_GT(turned.height(), 3 * turned.width());
    EXPECT_NEAR(turned.center().x(), flat.center().x(), 4);
    EXPECT_NEAR(turned.center().y(), flat.center().y(), 4);
}

TEST(PreviewScreenshot, EditingTabWithObjects) {
    EditorWindow w;
    ASSERT_TRUE(w.started);
    w.AddTexts(1);
    w.c.TextEd->setText("Welcome!");
    w.c.FontSize->setEditText("36");
    SetBox(w.project.Objects[0].Start, 20, 20, 60, 60);
    w.c.VektorObjekt1->trigger();
    w.c.ObjectKindBox->setCurrentIndex(1);
    w.c.TFarbeEd2->Change(12); // blue
    SetBox(w.project.Objects[1].Start, 260, 40, 360, 100);
    w.project.Objects[1].End.Color = 0x00A5FF;
    w.project.Objects[1].End.Rotation = 300;
    DibImage picture{};
    Pictavo().newdib(&picture, 120, 80, 24, nullptr, 0);
    for (int y = 0; y < 80; ++y) {
        uint8_t* row = DibRow(picture, y);
        for (int x = 0; x < 120; ++x) {
            row[3 * x] = static_cast<uint8_t>(2 * x);
            row[3 * x + 1] = static_cast<uint8_t>(3 * y);
            row[3 * x + 2] = 200;
        }
    }
    AddPictureObject(w.project, picture);
    SetBox(w.project.Objects[2].Start, 330, 170, 450, 250);
    SetBox(w.project.Objects[2].End, 60, 180, 180, 260);
    w.project.Objects[2].End.Rotation = -200;
    w.f.RefreshObjectList();
    w.c.OnlyActualCheck->setChecked(false);
    w.editor->SelectRow(2);
    w.Show();
    QDir folder(CLIPMOOR_BINARY_DIR "/screenshots");
    ASSERT_TRUE(folder.mkpath("."));
    QTest::qWait(50);
    EXPECT_TRUE(w.f.grab().toImage().save(folder.filePath("editor-tab.png")));
    w.editor->SelectRow(0);
    QTest::qWait(50);
    EXPECT_TRUE(w.f.grab().toImage().save(folder.filePath("editor-tab-text.png")));
    EXPECT_TRUE(w.editor->RenderPreview().save(folder.filePath("editor-preview.png")));
}

} // namespace
