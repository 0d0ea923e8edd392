// Pictures of every tab and of the about box, saved into build/screenshots for review.
#include "fake_ui_services.h"

#include "app/gui/about_box.h"
#include "model/project_objects.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// True when the picture has more than a handful of colours: something was drawn.
bool LooksDrawn(const QImage& image) {
    QSet<QRgb> colors;
    for (int y = 0; y < image.height() && colors.size() < 50; y += 3) {
        for (int x = 0; x < image.width(); x += 3)
            colors.insert(image.pixel(x, y));
    }
    return colors.size() >= 50;
}

TEST(Screenshots, EveryTabAndTheAboutBox) {
    StartedForm s;
    ASSERT_TRUE(s.started);
    TMainForm& form = *s.form;
    AddTextObject(form.TheProject());
    AddVectorObject(form.TheProject());
    form.RefreshObjectList();
    form.Editor().Controls().ListView1->setCurrentItem(
        form.Editor().Controls().ListView1->topLevelItem(0));
    form.Export().Controls().Memo1->setPlainText(
        "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" ...");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    QDir folder(CLIPMOOR_BINARY_DIR "/screenshots");
    ASSERT_TRUE(folder.mkpath("."));
    const char* names[] = {"main-window-record.png", "main-window-edit.png",
                           "main-window-movie.png"};
    for (int tab = 0; tab < 3; ++tab) {
        form.Controls().PageControl1->setCurrentIndex(tab);
        form.statusBar()->clearMessage();
        QTest::qWait(50);
        EXPECT_EQ(form.size(), QSize(750, 550)) << "the layout needs more room on " << names[tab];
        QImage shot = form.grab().toImage();
        EXPECT_TRUE(LooksDrawn(shot)) << names[tab];
        EXPECT_TRUE(shot.save(folder.filePath(names[tab])));
    }

    form.Controls().AboutBox->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.Controls().AboutBox));
    QImage about = form.Controls().AboutBox->grab().toImage();
    EXPECT_TRUE(about.save(folder.filePath("about-box.png")));
    form.Controls().AboutBox->hide();
}

} // namespace
