#include "app/gui/main_form.h"

#include "app/gui/about_box.h"
#include "app/gui/artwork.h"
#include "app/gui/export_commands.h"
#include "app/gui/paint_box.h"
#include "app/gui/picture_button.h"
#include "app/gui/remote_control.h"
#include "editor/animation_editor.h"
#include "editor/preview_painter.h"
#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"
#include "record/core/capture_geometry.h"
#include "record/core/global_shortcut_portal.h"
#include "record/hooks/ras_win_god.h"
#include "record/hooks/xcb_hook_host.h"
#include "record/ui/recording_session.h"
#include "widgets/swatch_color_combo_box.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

QString AreaLabelText(const CaptureArea& area) {
    return QString::fromStdString(CaptureAreaLabelText(area));
}

QString ProjectText(const std::string& text) {
    // The editor's preview decodes project texts the same way: one rule for both.
    return DecodeProjectText(text.c_str());
}

TMainForm::TMainForm(UiServices& ui, QWidget* parent) : QMainWindow(parent), ui_(ui) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowIcon(ProgramIcon());

    OpenDialog1 = {kProjectFilter, ".fmo", {}};
    SaveDialog2 = {kProjectFilter, ".fmo", {}};
    SaveDialog1 = {kMovieFilter, ".swf", {}};
    VideoDialog = {kVideoFilter, ".mp4", {}};

    BuildToolBar();
    QTabWidget* pages = controls_.PageControl1 = new QTabWidget;
    pages->setObjectName(QStringLiteral("PageControl1"));
    pages->setDocumentMode(false);
    // The Play button sits on the editing tab but runs the movie commands.
    ExportControls movieCommands;
    controls_.TabSheet2 = BuildRecordTab();
    controls_.TabSheet1 = BuildEditTab(movieCommands);
    controls_.TabSheet3 = BuildMovieTab(std::move(movieCommands));
    pages->addTab(controls_.TabSheet2, QStringLiteral("Record screen action"));
    pages->addTab(controls_.TabSheet1, QStringLiteral("Edit animation"));
    pages->addTab(controls_.TabSheet3, QStringLiteral("Create Flash movie"));
    pages->setCurrentIndex(0);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 4, 6, 0);
    layout->setSpacing(0);
    layout->addWidget(pages, 1);
    layout->addWidget(BuildBottomBar());
    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);
    controls_.HotKeyShared = new QLabel(QString::fromUtf8(kHotKeySharedMessage));
    controls_.HotKeyShared->setObjectName(QStringLiteral("HotKeyShared"));
    controls_.HotKeyShared->hide();
    statusBar()->addPermanentWidget(controls_.HotKeyShared);

    controls_.AboutBox = new TAboutBox(this);

    resize(kWidth, kHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect available = screen->availableGeometry();
        move(available.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    SetCurrentFileName(QString());
}

TMainForm::~TMainForm() {
    desktopHotKey_.reset();
    // The editor goes first: no control may reach it once the project is gone.
    delete editor_;
    editor_ = nullptr;
    recording_.reset(); // removes the mouse hook while the component still exists
    FormDestroy();
    hookComponent_.reset(); // removes the hooks before the host goes
}

bool TMainForm::FormCreate(const QString& programFolder) {
    programFolder_ = WithTrailingSlash(
        programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder);
    project_.ProgramFolder = LocalPath(programFolder_);
    OpenDialog2.Filter = QString::fromUtf8(kPictureFilter);

    if (!LoadPictavo(project_.ProgramFolder)) {
        ui_.ShowMessage(this, {QString::fromUtf8(kPictavoLoadError), DefaultCaption(),
                               QMessageBox::Ok, QMessageBox::Critical});
        return false;
    }

    // The capture area starts as the whole primary screen (without asking a Wayland
    // desktop for its stream at start-up).
    SetPrimaryScreenArea();
    project_.MovieWidth = kDefaultMovieWidth;
    project_.MovieHeight = kDefaultMovieHeight;
    CompressEdChange();
    captureBackend_ =
        CaptureBackendOfSession(QGuiApplication::platformName() == QLatin1String("xcb") ||
                                !qEnvironmentVariableIsEmpty("DISPLAY"));
    // A Wayland client sees no global keys: the desktop's portal binds one if it can, and
    // `clipmoor --toggle-recording` always stands in.
    if (captureBackend_ == CaptureBackend::X11) {
        InstallKeyboardHook();
    } else {
        ConnectRecorder();
        BindDesktopHotKey();
    }
    remoteControl_ = new RemoteControl([this] { return ToggleRecording(); }, this);
    remoteControl_->Listen(ControlSocketPath());
    return true;
}

void TMainForm::InstallKeyboardHook() {
    hookHost_ = std::make_unique<XcbHookHost>();
    hookComponent_ = std::make_unique<TrasWinGod>(*hookHost_, project_.ProgramFolder);
    ConnectRecorder();
    // Without the hook the program runs on, only the hot key does not work.
    try {
        hookComponent_->InstallKeyboardHook();
        // The hot key still works then, but the program in front gets it too.
        controls_.HotKeyShared->setVisible(hookComponent_->HotKeyGrabbed() == HotKeyTakenByOther);
    } catch (const HookError& error) {
        ui_.ShowMessage(this, {QString::fromUtf8(error.what()), DefaultCaption(), QMessageBox::Ok,
                               QMessageBox::Critical});
    }
}

void TMainForm::BindDesktopHotKey() {
    // The portal calls back on its own thread; the window acts on its own.
    desktopHotKey_ = std::make_unique<GlobalShortcutPortal>(
        GlobalShortcut{"toggle-recording", "Start or stop recording", "CTRL+ALT+F11"},
        [this] { QMetaObject::invokeMethod(this, [this] { ToggleRecording(); }); },
        [this](const std::string&) {
            QMetaObject::invokeMethod(this, [this] {
                statusBar()->showMessage(QString::fromUtf8(kNoDesktopHotKeyMessage));
            });
        });
}

void TMainForm::SetCurrentFileName(const QString& fileName) {
    std::string title = ::SetCurrentFileName(project_, LocalPath(fileName));
    setWindowTitle(FromLocal(title));
}

void TMainForm::UpdateAreaLabel() {
    record_.ScreenInfo->setText(AreaLabelText(project_.Area));
}

void TMainForm::CompressEdChange() {
    project_.Compression = record_.CompressEd->value();
}

void TMainForm::BpSEdChange() {
    project_.FramesPerSecond = record_.BpSEd->value();
}

void TMainForm::ShowProjectSettings() {
    record_.BpSEd->setValue(project_.FramesPerSecond);
    record_.CompressEd->setValue(project_.Compression);
    // The fields clamp; the project keeps what they show.
    BpSEdChange();
    CompressEdChange();
}

void TMainForm::RefreshObjectList() {
    editor_->RefreshObjectList();
}

void TMainForm::ShowError(const QString& text) {
    ui_.ShowMessage(
        this, {text, QString::fromUtf8(kErrorCaption), QMessageBox::Ok, QMessageBox::Critical});
}

bool TMainForm::Confirm(const QString& text, const QString& caption, bool aboveOtherWindows) {
    QMessageBox::StandardButton answer =
        ui_.ShowMessage(this, {text, caption, QMessageBox::Ok | QMessageBox::Cancel,
                               QMessageBox::Information, aboveOtherWindows});
    return answer == QMessageBox::Ok;
}

void TMainForm::NewBtnClick() {
    if (!Confirm(QString::fromUtf8(kLoseInformationMessage), QStringLiteral("File/New")))
        return;
    ClearObjects(project_);
    project_.PointerTrack.Clear();
    RefreshObjectList();
    SetCurrentFileName(QString());
}

void TMainForm::OpenBtnClick() {
    if (!Confirm(QString::fromUtf8(kLoseInformationMessage), QStringLiteral("File/Open")))
        return;
    if (!OpenDialog1.Execute(ui_, this, FileDialogMode::Open))
        return;
    OpenProjectFile(OpenDialog1.FileName);
}

bool TMainForm::OpenProjectFile(const QString& path) {
    Result result = LoadProject(project_, LocalPath(path));
    if (!result) {
        ShowError(QString::fromStdString(result.message));
        return false;
    }
    ShowProjectSettings();
    SetCurrentFileName(path);
    RefreshObjectList();
    return true;
}

void TMainForm::SaveBtnClick() {
    if (project_.CurrentFileName.empty())
        SaveAsBtnClick();
    else
        SaveTo(FromLocal(project_.CurrentFileName));
}

void TMainForm::SaveAsBtnClick() {
    if (SaveDialog2.Execute(ui_, this, FileDialogMode::Save))
        SaveTo(SaveDialog2.FileName);
}

void TMainForm::SaveTo(const QString& path) {
    Result result = SaveProject(project_, LocalPath(path));
    if (!result) {
        ShowError(QString::fromStdString(result.message));
        return;
    }
    SetCurrentFileName(path);
}

bool TMainForm::FormCloseQuery() {
    return Confirm(QString::fromUtf8(kQuitMessage), QStringLiteral("Quit program"));
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TMainForm::FormDestroy() {
    // Objects own strings and pictures; pictures exist only with the image library loaded.
    if (PictavoLoaded() || project_.Objects.Count() == 0)
        ClearObjects(project_);
}

void TMainForm::ueberbtnClick() {
    ui_.ShowModal(*controls_.AboutBox);
}

void TMainForm::hilfebtnClick() {
    ui_.OpenUrl(QUrl::fromLocalFile(programFolder_ + QString::fromUtf8(kHelpDocument)));
}

void TMainForm::EndeBtnClick() {
    close();
}

void TMainForm::wwwBtnClick() {
    ui_.OpenUrl(QUrl(QString::fromUtf8(kMakerWebAddress)));
}
