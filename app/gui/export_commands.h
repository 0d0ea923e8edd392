// "Play" and "Create Flash file...": build the movie with a progress bar, fill the HTML code
// box, save the page next to the movie and show the page or the movie. "Create video
// file...": the same frames as a video, shown by the desktop's default program. The main window
// builds the movie tab's controls and hands them over; this class holds the one list of them and no
// window of its own.
#pragma once

#include "app/gui/local_web_server.h"
#include "app/gui/ui_services.h"
#include "model/project.h"
#include "model/result.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QProgressBar;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class TrasWinGod;

inline constexpr const char* kPageNotSavedMessage = "Can not save the HTML page %1";
inline constexpr const char* kVideoNameMessage =
    "A video file's name ends in .mp4, .webm or .gif: that is how its format is chosen.";

// What the commands use of the main window: the movie tab's controls, named as in the window
// layout, the Play button of the editing tab and the window's services.
struct ExportControls {
    QWidget* owner = nullptr; // parent of boxes and dialogs
    TFileDialogSettings* SaveDialog1 = nullptr;
    TFileDialogSettings* VideoDialog = nullptr; // MP4, WebM and GIF
    QPushButton* PlayBtn = nullptr;             // the build buttons rest while a build runs
    QPushButton* CreateFlashBtn = nullptr;
    QPushButton* CreateVideoBtn = nullptr;
    QCheckBox* AutoLoadFlashCheck = nullptr;
    QCheckBox* CreateHTMLCheck = nullptr;
    QCheckBox* PlayerPageCheck = nullptr; // copy the browser player next to the page
    QPlainTextEdit* Memo1 = nullptr;
    QProgressBar* BuildProgress = nullptr; // in the status bar while a movie is built
    QPushButton* CancelBuildBtn = nullptr; // beside it while a video is built; Escape too
    QWidget* preview = nullptr;            // not painted while a build runs
    // True while a recording runs: its timer must not fire in the middle of a build, so the
    // build then keeps the window waiting until it is done.
    std::function<bool()> recordingActive;
    std::function<TrasWinGod*()> hooks; // their events are held off while a build runs
    std::function<void()> ListView1Click;
    std::function<void(const QString&)> ShowError;
};

class ExportCommands {
public:
    ExportCommands(UiServices& ui, Project& project, ExportControls controls);
    ~ExportCommands();

    const ExportControls& Controls() const { return controls_; }

    // programFolder ends in '/'; cacheFolder is where Play goes when it cannot write there.
    void SetFolders(const QString& programFolder, const QString& cacheFolder);

    void PlayBtnClick();
    void CreateFlashBtnClick();
    void CreateVideoBtnClick();
    // Builds the movie into movieFile at the project's frames per second and JPEG
    // quality, then runs ListView1Click. False (after a message) when the movie could
    // not be written.
    bool BuildMovie(const QString& movieFile);
    // Fills Memo1 and writes what the check boxes ask for: the page next to movieFile, with
    // the player's line and a copy of the player when "play in browsers without Flash" is
    // ticked (Play lends its scratch folder the installed player instead). When the movie is
    // to be shown, the browser gets it through the local server on a page that loads the
    // player, whatever was written.
    void PublishMovie(const QString& movieFile, bool forPlay = false);
    // Writes the video (its format from the name's extension) at the project's frames per
    // second and compression. False (after a message) when it could not be written; false
    // without one when the user cancelled it.
    bool BuildVideo(const QString& videoFile);

    bool Building() const { return building_; }
    LocalWebServer& WebServer() { return server_; }
    // The lines that the last publish put into Memo1 (and the page, when one was saved).
    const std::vector<std::string>& PublishedLines() const { return lines_; }

private:
    class BuildGuard;
    // Shows the page through the server, which then serves it and writtenBeside (the names
    // of the files the program wrote next to it for it) and nothing else of its folder.
    void ShowPage(const QString& pageFile, const QStringList& writtenBeside);
    // Shows the movie on a page held by the server only, beside the files written for it.
    void ShowMovie(const QString& movieFile, const QStringList& writtenBeside);
    // After a build: the object list shown again, and a failure's message. True on success.
    bool FinishBuild(const Result& result);
    void ReportError(const QString& text);

    UiServices& ui_;
    Project& project_;
    ExportControls controls_;
    QString programFolder_;
    QString cacheFolder_;
    LocalWebServer server_;
    bool building_ = false;
    std::vector<std::string> lines_;
};
