// The movie commands as the main window runs them: its buttons, check boxes and text box.
#include "app/gui/export_commands.h"
#include "app/gui/main_form.h"
#include "model/project_objects.h"
#include "tests/app/fake_ui_services.h"

#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A program folder of its own with links to the real libraries, so Play writes there.
struct FormInOwnFolder {
    QTemporaryDir root;
    QString folder = root.filePath("bin") + "/";
    FakeUi ui;
    std::unique_ptr<TMainForm> form;
    bool started = false;

    FormInOwnFolder() {
        QDir().mkpath(folder);
        for (const char* name : {"libPictavo.so", "librasKB50.so", "librasM50.so", "player"})
            QFile::link(QStringLiteral(CLIPMOOR_PROGRAM_DIR "/") + name, folder + name);
        form = std::make_unique<TMainForm>(ui);
        started = form->FormCreate(folder);
    }
    ~FormInOwnFolder() { form.reset(); }
};

TEST(MainFormExport, PlayButtonWritesAndShowsThePlayingPage) {
    FormInOwnFolder f;
    ASSERT_TRUE(f.started);
    TMainForm& form = *f.form;
    EXPECT_EQ(form.SaveDialog1.Filter, "Flash movie (*.swf)|*.swf");
    EXPECT_EQ(form.SaveDialog1.DefaultExt, ".swf");
    EXPECT_FALSE(form.Export().Controls().PlayerPageCheck->isChecked());
    EXPECT_EQ(form.Export().Controls().PlayerPageCheck->text(),
              "Make the page play in browsers without Flash");
    EXPECT_TRUE(form.Export().Controls().BuildProgress->isHidden());

    AddVectorObject(form.TheProject());
    form.RecordTab().BpSEd->setValue(20);
    form.Export().Controls().PlayBtn->click();

    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(form.SaveDialog1.FileName, f.folder + "playtemp.swf");
    QFile movie(f.folder + "playtemp.swf");
    ASSERT_TRUE(movie.open(QIODevice::ReadOnly));
    QByteArray header = movie.read(32);
    EXPECT_TRUE(header.startsWith("FWS\x04"));
    // The frame rate's whole part follows the stage rectangle (5 + 4 n bits) and its fraction.
    const int rectBytes = (5 + 4 * (uint8_t(header[8]) >> 3) + 7) / 8;
    EXPECT_EQ(uint8_t(header[8 + rectBytes + 1]), 20) << "the frame rate comes from the field";
    QFile page(f.folder + "playtemp.htm");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    QByteArray pageText = page.readAll();
    EXPECT_TRUE(pageText.contains("width=\"500\" height=\"300\">\r\n"));
    EXPECT_EQ(form.Export().Controls().Memo1->toPlainText().toUtf8(),
              pageText.replace("\r\n", "\n").chopped(1));
    ASSERT_EQ(f.ui.openedPrivately.size(), 1u);
    EXPECT_EQ(f.ui.openedPrivately[0].host(), "127.0.0.1");
    EXPECT_EQ(form.Export().Controls().BuildProgress->maximum(),
              21); // 0 .. 1000 ms at 20 frames a second
    EXPECT_TRUE(form.Export().Controls().PlayBtn->isEnabled());
}

TEST(MainFormExport, CreateFlashFileButtonAsksForTheNameAndUsesTheCheckBoxes) {
    FormInOwnFolder f;
    ASSERT_TRUE(f.started);
    TMainForm& form = *f.form;
    AddVectorObject(form.TheProject());
    form.Export().Controls().CreateHTMLCheck->setChecked(false);
    f.ui.fileAnswers = {f.root.filePath("made.swf")};
    form.Export().Controls().CreateFlashBtn->click();
    ASSERT_EQ(f.ui.fileRequests.size(), 1u);
    EXPECT_TRUE(QFile::exists(f.root.filePath("made.swf")));
    EXPECT_FALSE(QFile::exists(f.root.filePath("made.htm")));
    // Shown on a page that loads the player, though no page was written.
    EXPECT_TRUE(f.ui.opened.empty());
    ASSERT_EQ(f.ui.openedPrivately.size(), 1u);
    EXPECT_TRUE(f.ui.openedPrivately[0].path().endsWith("/made.htm"));
    EXPECT_EQ(form.Export().Controls().Memo1->toPlainText().split('\n').size(), 10);

    // The same name again: asked first, and Cancel builds nothing.
    f.ui.fileAnswers = {f.root.filePath("made.swf")};
    f.ui.answers = {QMessageBox::Cancel};
    form.Export().Controls().CreateFlashBtn->click();
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].caption, kReplaceFileCaption);
    EXPECT_EQ(f.ui.fileRequests.size(), 3u); // the dialog came back, and was cancelled
    EXPECT_EQ(f.ui.openedPrivately.size(), 1u);
}

} // namespace
