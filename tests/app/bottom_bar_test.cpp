// The web button and the three picture buttons with their pressed effect.
#include "fake_ui_services.h"

#include "app/gui/about_box.h"
#include "app/gui/picture_button.h"

#include <QFileInfo>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

struct BottomBar : testing::Test {
    StartedForm s;
    FakeUi& ui = s.ui;
    TMainForm& form = *s.form;

    void SetUp() override {
        ASSERT_TRUE(s.started);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
};

TEST_F(BottomBar, QuitButtonDraggedOutAndReleasedDoesNotQuit) {
    PictureButton* quit = form.Controls().EndeBtn;
    QPoint inside(50, 15);
    QTest::mousePress(quit, Qt::LeftButton, {}, inside);
    EXPECT_TRUE(quit->PressedPictureShown());
    QTest::mouseMove(quit, QPoint(150, 15));
    EXPECT_FALSE(quit->PressedPictureShown());
    QTest::mouseMove(quit, QPoint(100, 29)); // the last pixel is still inside
    EXPECT_TRUE(quit->PressedPictureShown());
    QTest::mouseMove(quit, QPoint(101, 29));
    EXPECT_FALSE(quit->PressedPictureShown());
    QTest::mouseRelease(quit, Qt::LeftButton, {}, QPoint(150, 15));
    EXPECT_FALSE(quit->PressedPictureShown());
    EXPECT_FALSE(quit->Pressed());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(form.isVisible());

    // Moves without a press change nothing.
    QTest::mouseMove(quit, inside);
    EXPECT_FALSE(quit->PressedPictureShown());

    ui.answers = {QMessageBox::Cancel};
    QTest::mouseClick(quit, Qt::LeftButton, {}, inside);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Quit program");
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(quit->PressedPictureShown());

    QTest::mouseClick(quit, Qt::LeftButton, {}, inside);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(BottomBar, PicturesDifferWhenPressed) {
    QImage normal = form.Controls().ueberbtn->NormalPicture().toImage();
    QImage pressed = form.Controls().ueberbtn->PressedPicture().toImage();
    EXPECT_EQ(normal.size(), pressed.size());
    EXPECT_NE(normal, pressed);
    EXPECT_EQ(form.Controls().ueberbtn->size(), QSize(101, 30));
    EXPECT_EQ(form.Controls().ueberbtn->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(BottomBar, InfoHelpAndWebButtons) {
    QTest::mouseClick(form.Controls().ueberbtn, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(ui.modals.size(), 1u);
    auto* about = qobject_cast<TAboutBox*>(ui.modals[0]);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), "Info");
    EXPECT_EQ(about->size(), QSize(298, 213));

    QTest::mouseClick(form.Controls().hilfebtn, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(ui.opened.size(), 1u);
    QString help = ui.opened[0].toLocalFile();
    EXPECT_EQ(help, QStringLiteral(CLIPMOOR_PROGRAM_DIR "/help/index.html"));
    EXPECT_TRUE(QFileInfo(help).isFile());

    form.Controls().wwwBtn->click();
    ASSERT_EQ(ui.opened.size(), 2u);
    EXPECT_EQ(ui.opened[1], QUrl(QString::fromUtf8(kMakerWebAddress)));
    EXPECT_EQ(form.Controls().wwwBtn->toolTip(), "Go to the Vantrel website...");
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
