// The "Create Flash movie" tab, and the movie commands that both it and "Play" run.
#include "app/gui/artwork.h"
#include "app/gui/export_commands.h"
#include "app/gui/main_form.h"
#include "app/gui/paint_box.h"
#include "app/gui/tab_decor.h"
#include "editor/animation_editor.h"

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

QWidget* TMainForm::BuildMovieTab() {
    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(12);
    columns->addWidget(new SidePanel(PanelPicture::Movie, QStringLiteral("Create Flash movie")));

    CreateFlashBtn =
        new QPushButton(MakeToolIcon(ToolIcon::Movie), QStringLiteral("Create Flash file..."));
    CreateFlashBtn->setMinimumWidth(180);
    AutoLoadFlashCheck =
        new QCheckBox(QStringLiteral("Show file in the Flash player after creation"));
    AutoLoadFlashCheck->setChecked(true);
    CreateHTMLCheck = new QCheckBox(QStringLiteral("Also create a HTML file"));
    CreateHTMLCheck->setChecked(true);
    PlayerPageCheck = new QCheckBox(QStringLiteral("Make the page play in browsers without Flash"));
    PlayerPageCheck->setToolTip(
        QStringLiteral("Copies the browser player next to the page and adds its script line"));
    HtmlSourceLabel = new QLabel(QStringLiteral(
        "HTML source code - you may use it for your website (copy and paste into existing HTML "
        "source code):"));
    HtmlSourceLabel->setWordWrap(true);
    Memo1 = new QPlainTextEdit;
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* controls = new QVBoxLayout;
    controls->setSpacing(8);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(CreateFlashBtn);
    buttonRow->addStretch(1);
    controls->addLayout(buttonRow);
    controls->addWidget(AutoLoadFlashCheck);
    controls->addWidget(CreateHTMLCheck);
    controls->addWidget(PlayerPageCheck);
    controls->addSpacing(6);
    controls->addWidget(HtmlSourceLabel);
    controls->addWidget(Memo1, 1);
    columns->addLayout(controls, 1);

    // Frames done of all frames while a movie is built; seen from every tab.
    BuildProgress = new QProgressBar;
    BuildProgress->setMaximumWidth(220);
    BuildProgress->setFormat(QStringLiteral("Frame %v of %m"));
    BuildProgress->hide();
    statusBar()->addPermanentWidget(BuildProgress);

    ExportControls exportControls;
    exportControls.owner = this;
    exportControls.SaveDialog1 = &SaveDialog1;
    exportControls.BpSEd = BpSEd;
    exportControls.AutoLoadFlashCheck = AutoLoadFlashCheck;
    exportControls.CreateHTMLCheck = CreateHTMLCheck;
    exportControls.PlayerPageCheck = PlayerPageCheck;
    exportControls.Memo1 = Memo1;
    exportControls.BuildProgress = BuildProgress;
    exportControls.busyDisabled = {PlayBtn, CreateFlashBtn};
    exportControls.preview = PaintBox1;
    exportControls.recordingActive = [this] { return StopBtn && StopBtn->isEnabled(); };
    exportControls.hooks = [this] { return rasWinGod1; };
    exportControls.ListView1Click = [this] {
        if (Editor)
            Editor->ListView1Click();
    };
    exportControls.ShowError = [this](const QString& text) { ShowError(text); };
    export_ = std::make_unique<ExportCommands>(ui_, project_, std::move(exportControls));

    connect(CreateFlashBtn, &QPushButton::clicked, this, &TMainForm::CreateFlashBtnClick);
    if (PlayBtn)
        connect(PlayBtn, &QPushButton::clicked, this, &TMainForm::PlayBtnClick);

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
