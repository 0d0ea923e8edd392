// The "Create Flash movie" tab, and the movie commands that both it and "Play" run.
#include "app/gui/artwork.h"
#include "app/gui/export_commands.h"
#include "app/gui/main_form.h"
#include "app/gui/tab_decor.h"
#include "editor/animation_editor.h"
#include "record/ui/recording_session.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QVBoxLayout>

QWidget* TMainForm::BuildMovieTab(ExportControls c) {
    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(12);
    columns->addWidget(new SidePanel(PanelPicture::Movie, QStringLiteral("Create Flash movie")));

    c.CreateFlashBtn =
        new QPushButton(MakeToolIcon(ToolIcon::Movie), QStringLiteral("Create Flash file..."));
    c.CreateFlashBtn->setMinimumWidth(180);
    c.CreateVideoBtn =
        new QPushButton(MakeToolIcon(ToolIcon::Movie), QStringLiteral("Create video file..."));
    c.CreateVideoBtn->setToolTip(QStringLiteral("The same movie as an MP4, WebM or GIF file"));
    c.AutoLoadFlashCheck =
        new QCheckBox(QStringLiteral("Show file in the Flash player after creation"));
    c.AutoLoadFlashCheck->setChecked(true);
    c.CreateHTMLCheck = new QCheckBox(QStringLiteral("Also create a HTML file"));
    c.CreateHTMLCheck->setChecked(true);
    c.PlayerPageCheck =
        new QCheckBox(QStringLiteral("Make the page play in browsers without Flash"));
    c.PlayerPageCheck->setToolTip(
        QStringLiteral("Copies the browser player next to the page and adds its script line"));
    auto* htmlSourceLabel = new QLabel(QStringLiteral(
        "HTML source code - you may use it for your website (copy and paste into existing HTML "
        "source code):"));
    htmlSourceLabel->setWordWrap(true);
    c.Memo1 = new QPlainTextEdit;
    c.Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    c.Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* controls = new QVBoxLayout;
    controls->setSpacing(8);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(c.CreateFlashBtn);
    buttonRow->addWidget(c.CreateVideoBtn);
    buttonRow->addStretch(1);
    controls->addLayout(buttonRow);
    controls->addWidget(c.AutoLoadFlashCheck);
    controls->addWidget(c.CreateHTMLCheck);
    controls->addWidget(c.PlayerPageCheck);
    controls->addSpacing(6);
    controls->addWidget(htmlSourceLabel);
    controls->addWidget(c.Memo1, 1);
    columns->addLayout(controls, 1);

    // Frames done of all frames while a movie is built; seen from every tab.
    c.BuildProgress = new QProgressBar;
    c.BuildProgress->setMaximumWidth(220);
    c.BuildProgress->setFormat(QStringLiteral("Frame %v of %m"));
    c.BuildProgress->hide();
    statusBar()->addPermanentWidget(c.BuildProgress);
    c.CancelBuildBtn = new QPushButton(QStringLiteral("Cancel"));
    c.CancelBuildBtn->setToolTip(QStringLiteral("Stop writing the video (Esc)"));
    c.CancelBuildBtn->hide();
    statusBar()->addPermanentWidget(c.CancelBuildBtn);

    c.owner = this;
    c.SaveDialog1 = &SaveDialog1;
    c.VideoDialog = &VideoDialog;
    c.preview = editor_->Controls().PaintBox1;
    c.recordingActive = [this] { return recording_ && recording_->Recording(); };
    c.hooks = [this] { return hookComponent_.get(); };
    c.ListView1Click = [this] { editor_->ListView1Click(); };
    c.ShowError = [this](const QString& text) { ShowError(text); };
    connect(c.CreateFlashBtn, &QPushButton::clicked, this, &TMainForm::CreateFlashBtnClick);
    connect(c.PlayBtn, &QPushButton::clicked, this, &TMainForm::PlayBtnClick);
    connect(c.CreateVideoBtn, &QPushButton::clicked, this,
            [this] { export_->CreateVideoBtnClick(); });
    export_ = std::make_unique<ExportCommands>(ui_, project_, std::move(c));

    return MakeTabPage(QStringLiteral("Create Flash movie - here you can create the Flash file "
                                      "(SWF) and an HTML file to upload both to the web"),
                       content);
}

namespace {

// Where Play goes when the program folder takes no files (an installed program).
QString PlayCacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

} // namespace

void TMainForm::PlayBtnClick() {
    export_->SetFolders(programFolder_, PlayCacheFolder());
    export_->PlayBtnClick();
}

void TMainForm::CreateFlashBtnClick() {
    export_->SetFolders(programFolder_, PlayCacheFolder());
    export_->CreateFlashBtnClick();
}

void TMainForm::BuildMovie(const QString& movieFile) {
    export_->BuildMovie(movieFile);
}

void TMainForm::PublishMovie(const QString& movieFile) {
    export_->PublishMovie(movieFile);
}
