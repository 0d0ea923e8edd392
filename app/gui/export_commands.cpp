#include "app/gui/export_commands.h"

#include "app/gui/export_files.h"
#include "app/gui/local_path.h"
#include "model/project_objects.h"
#include "movie/movie_builder.h"
#include "movie/publish.h"
#include "record/hooks/ras_win_god.h"
#include "video/video_export.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace {

// Keeps the window open while a build runs: the build's data lives in it.
class CloseBlocker : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close)
            return false;
        event->ignore();
        return true;
    }
};

// While a video is built, the window's input reaches only the Cancel button: a click there or
// Escape anywhere cancels; other clicks, keys, shortcuts and drops are dropped, since the
// project they would change is being drawn. Events for windows pass: Qt hands them on to
// their widgets, which this sees again.
class CancelGate : public QObject {
public:
    CancelGate(QPushButton* button, bool& cancelled) : button_(button), cancelled_(cancelled) {}

    bool eventFilter(QObject* receiver, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                cancelled_ = true;
            [[fallthrough]];
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return receiver->isWidgetType() && receiver != button_;
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
            return true;
        default:
            return false;
        }
    }

private:
    QPushButton* button_;
    bool& cancelled_;
};

// How often a running build lets the window repaint.
constexpr int kRepaintIntervalMs = 40;

} // namespace

// Everything a running build holds off, and gives back however the build ends: the buttons
// that start another build, hook events and a recording's captures (they would change the
// Project under the builder), the preview's painting and closing the window.
class ExportCommands::BuildGuard {
public:
    // video: the Cancel button shows (Cancelled() says whether it was used) and the bar counts
    // in percent, since a GIF's frames are drawn twice (palette, then pictures).
    explicit BuildGuard(ExportCommands& commands, bool video = false)
        : commands_(commands), controls_(commands.controls_) {
        commands_.building_ = true;
        for (QWidget* widget : BuildButtons())
            if (widget) {
                wasEnabled_.push_back(widget->isEnabled());
                widget->setEnabled(false);
            }
        holdWindow_ = controls_.recordingActive && controls_.recordingActive();
        if (controls_.hooks)
            hooks_ = controls_.hooks();
        if (hooks_) {
            keyboard_ = std::move(hooks_->OnKeybrdMsg);
            mouse_ = std::move(hooks_->OnMouseMsg);
            hooks_->OnKeybrdMsg = nullptr;
            hooks_->OnMouseMsg = nullptr;
        }
        if (controls_.preview) {
            previewWasUpdating_ = controls_.preview->updatesEnabled();
            controls_.preview->setUpdatesEnabled(false);
        }
        if (controls_.owner)
            controls_.owner->installEventFilter(&closeBlocker_);
        if (QProgressBar* bar = controls_.BuildProgress) {
            barFormat_ = bar->format();
            if (video)
                bar->setFormat(QStringLiteral("%p%"));
            bar->setRange(0, 0);
            bar->setValue(0);
            bar->show();
        }
        if (video && controls_.CancelBuildBtn && !holdWindow_) {
            cancelButton_ = controls_.CancelBuildBtn;
            gate_ = std::make_unique<CancelGate>(cancelButton_, cancelled_);
            cancelConnection_ = QObject::connect(cancelButton_, &QPushButton::clicked,
                                                 [this] { cancelled_ = true; });
            cancelButton_->setEnabled(true);
            cancelButton_->show();
            qApp->installEventFilter(gate_.get());
        }
        sinceRepaint_.start();
        AllowRepaint();
    }

    ~BuildGuard() {
        if (gate_) {
            qApp->removeEventFilter(gate_.get());
            QObject::disconnect(cancelConnection_);
            cancelButton_->hide();
        }
        if (controls_.owner)
            controls_.owner->removeEventFilter(&closeBlocker_);
        // Clicks and keys held back during the build reach the window now, while the build
        // buttons are still disabled: a click on Play during a build does not start another.
        if (!holdWindow_)
            QCoreApplication::processEvents();
        if (QProgressBar* bar = controls_.BuildProgress) {
            bar->hide();
            bar->setFormat(barFormat_);
        }
        if (controls_.preview)
            controls_.preview->setUpdatesEnabled(previewWasUpdating_);
        if (hooks_) {
            hooks_->OnKeybrdMsg = std::move(keyboard_);
            hooks_->OnMouseMsg = std::move(mouse_);
        }
        size_t i = 0;
        for (QWidget* widget : BuildButtons())
            if (widget)
                widget->setEnabled(wasEnabled_[i++]);
        commands_.building_ = false;
    }

    // False once the user cancelled.
    bool Progress(int32_t framesDone, int32_t frameCount) {
        if (QProgressBar* bar = controls_.BuildProgress) {
            bar->setRange(0, frameCount);
            bar->setValue(framesDone);
        }
        if (sinceRepaint_.elapsed() >= kRepaintIntervalMs)
            AllowRepaint();
        return !cancelled_;
    }
    bool Cancelled() const { return cancelled_; }

private:
    std::array<QWidget*, 3> BuildButtons() const {
        return {controls_.PlayBtn, controls_.CreateFlashBtn, controls_.CreateVideoBtn};
    }
    void AllowRepaint() {
        if (holdWindow_)
            return;
        // With the gate, input is handled (and all but Cancel dropped) instead of held back.
        QCoreApplication::processEvents(gate_ ? QEventLoop::AllEvents
                                              : QEventLoop::ExcludeUserInputEvents);
        sinceRepaint_.restart();
    }

    ExportCommands& commands_;
    ExportControls& controls_;
    std::vector<bool> wasEnabled_;
    bool holdWindow_ = false;
    TrasWinGod* hooks_ = nullptr;
    TKeybrdMsg keyboard_;
    TMouseMsg mouse_;
    bool previewWasUpdating_ = true;
    CloseBlocker closeBlocker_;
    QElapsedTimer sinceRepaint_;
    QString barFormat_;                   // the progress bar's own, given back at the end
    QPushButton* cancelButton_ = nullptr; // set while the gate is installed
    std::unique_ptr<CancelGate> gate_;
    QMetaObject::Connection cancelConnection_;
    bool cancelled_ = false;
};

ExportCommands::ExportCommands(UiServices& ui, Project& project, ExportControls controls)
    : ui_(ui), project_(project), controls_(std::move(controls)) {}

ExportCommands::~ExportCommands() = default;

void ExportCommands::SetFolders(const QString& programFolder, const QString& cacheFolder) {
    programFolder_ = programFolder;
    cacheFolder_ = cacheFolder;
    server_.SetPlayerFolder(InstalledPlayerFolder(programFolder));
}

void ExportCommands::PlayBtnClick() {
    if (building_)
        return;
    // An installed program cannot write into its own folder; its scratch movie goes to the
    // user's cache instead. The save dialog offers it next time, as it always has.
    const QString movieFile =
        PlayFolder(programFolder_, cacheFolder_) + QString::fromUtf8(kPlayMovieName);
    controls_.SaveDialog1->FileName = movieFile;
    if (BuildMovie(movieFile))
        PublishMovie(movieFile, true);
}

void ExportCommands::CreateFlashBtnClick() {
    if (building_)
        return;
    if (!controls_.SaveDialog1->Execute(ui_, controls_.owner, FileDialogMode::Save))
        return;
    const QString movieFile = controls_.SaveDialog1->FileName;
    if (BuildMovie(movieFile))
        PublishMovie(movieFile, false);
}

bool ExportCommands::BuildMovie(const QString& movieFile) {
    if (building_)
        return false;
    Result result;
    {
        BuildGuard guard(*this);
        const MovieSettings settings{static_cast<double>(project_.FramesPerSecond),
                                     JpegQuality(project_.Compression)};
        result =
            ::BuildMovie(project_, LocalPath(movieFile), settings,
                         [&guard](int32_t done, int32_t count) { guard.Progress(done, count); });
    }
    return FinishBuild(result);
}

void ExportCommands::CreateVideoBtnClick() {
    if (building_)
        return;
    if (!controls_.VideoDialog->Execute(ui_, controls_.owner, FileDialogMode::Save))
        return;
    const QString videoFile = controls_.VideoDialog->FileName;
    if (BuildVideo(videoFile) && controls_.AutoLoadFlashCheck->isChecked())
        ui_.OpenUrl(QUrl::fromLocalFile(videoFile));
}

bool ExportCommands::BuildVideo(const QString& videoFile) {
    if (building_)
        return false;
    const std::optional<VideoFormat> format = VideoFormatNamed(LocalPath(videoFile));
    if (!format) {
        ReportError(QString::fromUtf8(kVideoNameMessage));
        return false;
    }
    Result result;
    bool cancelled = false;
    {
        BuildGuard guard(*this, true);
        const VideoExportSettings settings{*format, static_cast<double>(project_.FramesPerSecond),
                                           project_.Compression};
        result = ExportVideo(
            project_, LocalPath(videoFile), settings,
            [&guard](int32_t done, int32_t count) { return guard.Progress(done, count); });
        cancelled = guard.Cancelled() && !result;
    }
    if (cancelled) { // what the user asked for: no message
        FinishBuild({});
        return false;
    }
    return FinishBuild(result);
}

void ExportCommands::PublishMovie(const QString& movieFile, bool forPlay) {
    const std::string movieName = FileNamePart(LocalPath(movieFile));
    const bool createPage = controls_.CreateHTMLCheck->isChecked();
    const bool playerOnPage = controls_.PlayerPageCheck && controls_.PlayerPageCheck->isChecked();
    const bool ownPlayerCopy = playerOnPage && !forPlay;

    lines_ = PublishedPageLines(movieName, project_.MovieWidth, project_.MovieHeight, playerOnPage);
    QStringList memoLines;
    for (const std::string& line : lines_)
        memoLines << FromLocal(line);
    controls_.Memo1->setPlainText(memoLines.join(QLatin1Char('\n')));

    QStringList written{FromLocal(movieName)};
    if (ownPlayerCopy) {
        QString error;
        if (!CopyPlayerFiles(InstalledPlayerFolder(programFolder_),
                             QFileInfo(movieFile).absolutePath(), &error)) {
            ReportError(error);
            return;
        }
        written += PlayerFileNames(InstalledPlayerFolder(programFolder_));
    }

    const std::string pageName = HtmlPageName(LocalPath(movieFile));
    if (createPage) {
        if (Result saved = SaveHtmlPage(pageName, lines_); !saved) {
            ReportError(QString::fromUtf8(kPageNotSavedMessage).arg(FromLocal(pageName)) + "\n" +
                        QString::fromStdString(saved.message));
            return;
        }
    }
    if (!controls_.AutoLoadFlashCheck->isChecked())
        return;
    // Nothing on a current desktop plays a bare movie, and a page without the player's line
    // plays only with a Flash plug-in: the movie is shown on a page that loads the player.
    if (createPage && playerOnPage)
        ShowPage(FromLocal(pageName), written);
    else
        ShowMovie(movieFile, written);
}

void ExportCommands::ShowPage(const QString& pageFile, const QStringList& writtenBeside) {
    // The browser player needs HTTP; without the server the page is opened from disk.
    const QFileInfo page(pageFile);
    if (server_.Start()) {
        const QUrl url =
            server_.ServePage(page.absolutePath(), QStringList(page.fileName()) + writtenBeside);
        if (!url.isEmpty() && ui_.OpenPrivateUrl(url))
            return;
    }
    ui_.OpenUrl(QUrl::fromLocalFile(pageFile));
}

void ExportCommands::ShowMovie(const QString& movieFile, const QStringList& writtenBeside) {
    const QFileInfo movie(movieFile);
    const std::string movieName = FileNamePart(LocalPath(movieFile));
    QByteArray page;
    for (const std::string& line :
         PublishedPageLines(movieName, project_.MovieWidth, project_.MovieHeight, true))
        page += QByteArray::fromStdString(line) + "\r\n";
    if (server_.Start()) {
        const QUrl url = server_.ServeHeldPage(
            movie.absolutePath(), FromLocal(FileNamePart(HtmlPageName(LocalPath(movieFile)))), page,
            writtenBeside);
        if (!url.isEmpty() && ui_.OpenPrivateUrl(url))
            return;
    }
    ui_.OpenUrl(QUrl::fromLocalFile(movieFile));
}

bool ExportCommands::FinishBuild(const Result& result) {
    if (controls_.ListView1Click)
        controls_.ListView1Click();
    if (!result) {
        ReportError(FromLocal(result.message));
        return false;
    }
    return true;
}

void ExportCommands::ReportError(const QString& text) {
    if (controls_.ShowError)
        controls_.ShowError(text);
    else
        ui_.ShowMessage(controls_.owner,
                        {text, QStringLiteral("Error"), QMessageBox::Ok, QMessageBox::Critical});
}
