// The export commands over real widgets, a real image library and a project of 640 x 480
// pixels with a rectangle that moves for one second, in a temporary program folder.
#pragma once

#include "app/gui/export_commands.h"
#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "tests/app/fake_ui_services.h"
#include "tests/support/object_state.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

class ExportFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }

    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        program_ = root_.filePath("bin") + "/";
        cache_ = root_.filePath("cache");
        QDir().mkpath(program_);
        project_.ProgramFolder = QFile::encodeName(program_).toStdString();
        project_.MovieWidth = 640;
        project_.MovieHeight = 480;
        project_.FramesPerSecond = 10;

        autoLoad_.setChecked(true);
        createHtml_.setChecked(true);
        saveDialog_ = {"Flash movie (*.swf)|*.swf", ".swf", {}};
        videoDialog_ = {kVideoFilter, ".mp4", {}};
        MakeCommands();
    }

    void TearDown() override { ClearObjects(project_); }

    void MakeCommands(UiServices* ui = nullptr) {
        ExportControls controls;
        controls.owner = &owner_;
        controls.SaveDialog1 = &saveDialog_;
        controls.VideoDialog = &videoDialog_;
        controls.AutoLoadFlashCheck = &autoLoad_;
        controls.CreateHTMLCheck = &createHtml_;
        controls.PlayerPageCheck = &playerPage_;
        controls.Memo1 = &memo_;
        controls.BuildProgress = &progress_;
        controls.PlayBtn = &playBtn_;
        controls.CreateFlashBtn = &createBtn_;
        controls.CreateVideoBtn = &videoBtn_;
        controls.CancelBuildBtn = &cancelBtn_;
        controls.recordingActive = [this] { return recording_; };
        controls.ListView1Click = [this] { ++listClicks_; };
        commands_ = std::make_unique<ExportCommands>(ui ? *ui : ui_, project_, controls);
        commands_->SetFolders(program_, cache_);
    }

    AnimObject* AddMovingRectangle() {
        AnimObject* object = AddVectorObject(project_);
        object->Shape = 0;
        object->Start = BoxState(20, 20, 120, 120, 0, 0x0000FF);    // red
        object->End = BoxState(500, 340, 600, 440, 1000, 0x0000FF); // to the lower right
        return object;
    }

    static QByteArray ReadFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QByteArray PageBytes(const std::vector<std::string>& lines) {
        QByteArray bytes;
        for (const std::string& line : lines)
            bytes += QByteArray::fromStdString(line) + "\r\n";
        return bytes;
    }

    QTemporaryDir root_;
    QString program_;
    QString cache_;
    Project project_;
    FakeUi ui_;
    QWidget owner_;
    TFileDialogSettings saveDialog_, videoDialog_;
    QCheckBox autoLoad_, createHtml_, playerPage_;
    QPlainTextEdit memo_;
    QProgressBar progress_;
    QPushButton playBtn_, createBtn_, videoBtn_, cancelBtn_;
    bool recording_ = false;
    int listClicks_ = 0;
    std::unique_ptr<ExportCommands> commands_;
};
