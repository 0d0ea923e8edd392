// New, Open, Save, Save as and closing: the questions, the dialogs and the title.
#include "fake_ui_services.h"

#include "model/project_objects.h"

#include <QDir>
#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

constexpr const char* kNoname = "Vantrel Clipmoor 1.0 - [noname.fmo]";

template <typename Condition> void WaitFor(Condition done) {
    for (int i = 0; i < 100 && !done(); ++i)
        QTest::qWait(20);
}

struct ProjectCommands : testing::Test {
    StartedForm s;
    FakeUi& ui = s.ui;
    TMainForm& form = *s.form;
    Project& project = form.TheProject();
    QTemporaryDir dir;

    void SetUp() override { ASSERT_TRUE(s.started); }

    void AddContent() {
        AddTextObject(project);
        AddVectorObject(project);
        project.PointerTrack.Add()->X = 7;
        form.RefreshObjectList();
    }
    void ExpectQuestion(size_t index, const char* text, const char* caption) {
        ASSERT_LT(index, ui.messages.size());
        EXPECT_EQ(ui.messages[index].text, text);
        EXPECT_EQ(ui.messages[index].caption, caption);
        EXPECT_EQ(ui.messages[index].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(ui.messages[index].icon, QMessageBox::Information);
    }
    void ExpectError(const char* text) {
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_EQ(ui.messages.back().text, text);
        EXPECT_EQ(ui.messages.back().caption, "Error");
        EXPECT_EQ(ui.messages.back().buttons, QMessageBox::Ok);
        EXPECT_EQ(ui.messages.back().icon, QMessageBox::Critical);
    }
};

TEST_F(ProjectCommands, NewAsksAndOnlyOkClearsObjectsTrackAndTitle) {
    AddContent();
    ui.fileAnswers.push_back(dir.filePath("tour.fmo"));
    form.SaveAsBtnClick();
    form.RecordTab().BpSEd->setValue(30);
    form.RecordTab().CompressEd->setValue(40);
    project.Area = {10, 20, 300, 400};

    ui.answers = {QMessageBox::Cancel};
    form.NewBtnClick();
    ExpectQuestion(0, "You will lose any information that is not saved up to now.", "File/New");
    EXPECT_EQ(project.Objects.Count(), 2);
    EXPECT_EQ(project.PointerTrack.Count(), 1);
    EXPECT_EQ(form.Editor().Controls().ListView1->topLevelItemCount(), 4);
    EXPECT_EQ(form.windowTitle(), "Vantrel Clipmoor 1.0 - [tour.fmo]");

    form.NewBtnClick(); // OK
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(project.Objects.Count(), 0);
    EXPECT_EQ(project.PointerTrack.Count(), 0);
    EXPECT_EQ(form.Editor().Controls().ListView1->topLevelItemCount(), 0);
    EXPECT_EQ(form.windowTitle(), kNoname);
    EXPECT_EQ(project.FramesPerSecond, 30);
    EXPECT_EQ(project.Compression, 40);
    EXPECT_EQ(project.MovieWidth, 500);
    EXPECT_EQ(project.Area.Right, 300);
}

TEST_F(ProjectCommands, SaveOfAnUnnamedProjectAsksForANameAndCancelWritesNothing) {
    AddContent();
    form.SaveBtnClick();
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].mode, FileDialogMode::Save);
    EXPECT_EQ(ui.fileRequests[0].nameFilters, QStringList{"Clipmoor files (*.fmo)"});
    EXPECT_EQ(ui.fileRequests[0].defaultSuffix, "fmo");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_EQ(form.windowTitle(), kNoname);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProjectCommands, SaveAsAsksBeforeReplacingAndSaveThenWritesWithoutAsking) {
    QString path = dir.filePath("tour.fmo");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("something else entirely");
    }
    // Cancel shows the dialog again, proposing the name; a cancelled dialog writes nothing.
    ui.fileAnswers = {path};
    ui.answers = {QMessageBox::Cancel};
    form.SaveAsBtnClick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QDir::toNativeSeparators(path) + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(ui.messages[0].caption, "Confirm Save As");
    EXPECT_EQ(ui.messages[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(ui.messages[0].icon, QMessageBox::Warning);
    ASSERT_EQ(ui.fileRequests.size(), 2u);
    EXPECT_EQ(ui.fileRequests[1].initialFile, path);
    EXPECT_EQ(QFileInfo(path).size(), 23);
    EXPECT_EQ(form.windowTitle(), kNoname);

    ui.fileAnswers = {path}; // OK replaces it
    form.SaveAsBtnClick();
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(form.windowTitle(), "Vantrel Clipmoor 1.0 - [tour.fmo]");
    EXPECT_EQ(QFileInfo(path).size(), 54); // an empty project

    AddContent();
    form.SaveBtnClick(); // its own file: no dialog, no question
    EXPECT_EQ(ui.fileRequests.size(), 3u);
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_GT(QFileInfo(path).size(), 54);

    // A new name is not asked about; the dialog proposes the last name the next time.
    ui.fileAnswers = {dir.filePath("new.fmo")};
    form.SaveAsBtnClick();
    ASSERT_EQ(ui.fileRequests.size(), 4u);
    EXPECT_EQ(ui.fileRequests[3].initialFile, path);
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("new.fmo")));
}

TEST_F(ProjectCommands, OpenAsksThenLoadsObjectsSettingsAndTitle) {
    AddContent();
    form.RecordTab().BpSEd->setValue(30);
    form.RecordTab().CompressEd->setValue(50);
    QString path = dir.filePath("tour.fmo");
    ui.fileAnswers.push_back(path);
    form.SaveAsBtnClick();
    form.NewBtnClick();
    form.RecordTab().BpSEd->setValue(5);
    form.RecordTab().CompressEd->setValue(25);
    ui.messages.clear();

    ui.answers = {QMessageBox::Cancel};
    form.OpenBtnClick();
    ExpectQuestion(0, "You will lose any information that is not saved up to now.", "File/Open");
    EXPECT_EQ(ui.fileRequests.size(), 1u); // no dialog after Cancel

    form.OpenBtnClick(); // dialog cancelled
    EXPECT_EQ(ui.fileRequests.size(), 2u);
    EXPECT_EQ(ui.fileRequests[1].mode, FileDialogMode::Open);
    EXPECT_EQ(form.windowTitle(), kNoname);

    ui.fileAnswers.push_back(path);
    form.OpenBtnClick();
    EXPECT_EQ(form.windowTitle(), "Vantrel Clipmoor 1.0 - [tour.fmo]");
    EXPECT_EQ(project.Objects.Count(), 2);
    ASSERT_EQ(form.Editor().Controls().ListView1->topLevelItemCount(), 4);
    EXPECT_EQ(form.Editor().Controls().ListView1->topLevelItem(0)->text(0),
              "Text object: 'Text': Start");
    EXPECT_EQ(form.Editor().Controls().ListView1->topLevelItem(3)->text(0),
              "  Graphic object: End");
    EXPECT_EQ(form.RecordTab().BpSEd->value(), 30);
    EXPECT_EQ(form.RecordTab().CompressEd->value(), 50);
    EXPECT_EQ(project.Compression, 50);
}

TEST_F(ProjectCommands, OpenAndSaveFailuresShowTheMessageAndKeepTheProject) {
    AddContent();
    QString junk = dir.filePath("junk.fmo");
    {
        QFile file(junk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100, 'x'));
    }
    ui.fileAnswers.push_back(junk);
    form.OpenBtnClick();
    ExpectError("This is not a valid Clipmoor file.");
    EXPECT_EQ(project.Objects.Count(), 2);
    EXPECT_EQ(form.windowTitle(), kNoname);

    ui.fileAnswers.push_back(dir.filePath("missing.fmo"));
    form.OpenBtnClick();
    ExpectError("Can not open the file!");

    ui.fileAnswers.push_back(dir.filePath("no/such/folder/tour.fmo"));
    form.SaveAsBtnClick();
    ExpectError("Can not create the file! (The folder does not exist.)");
    EXPECT_EQ(form.windowTitle(), kNoname);
    EXPECT_EQ(project.Objects.Count(), 2);
}

TEST_F(ProjectCommands, AltLettersRunTheToolBarCommands) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ui.answers = {QMessageBox::Cancel};
    // A mnemonic presses its button visibly; the click follows a moment later.
    QTest::keyClick(&form, Qt::Key_N, Qt::AltModifier);
    WaitFor([&] { return !ui.messages.empty(); });
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "File/New");
    QTest::keyClick(&form, Qt::Key_A, Qt::AltModifier);
    WaitFor([&] { return !ui.fileRequests.empty(); });
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].mode, FileDialogMode::Save);
}

TEST_F(ProjectCommands, ClosingTheWindowAlwaysAsks) {
    form.show();
    ui.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    ExpectQuestion(0,
                   "You leave the program now. You will lose any information that is not saved "
                   "up to now.",
                   "Quit program");
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ui.messages.size(), 2u);
}

} // namespace
