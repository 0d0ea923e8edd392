// The program's main window: the tool bar with the project commands, the recording,
// editing and movie tabs, the bottom bar and the status bar. It owns the Project for the
// whole run. Handlers keep the names the product has always used and stay thin: they hand
// the work to the model, the recording session, the editor and the movie commands.
#pragma once

#include "app/gui/local_path.h"
#include "app/gui/ui_services.h"
#include "model/project.h"
#include "record/core/capture_choice.h"

#include <QMainWindow>
#include <QString>

#include <memory>
#include <string>

class ExportCommands;
class GlobalShortcutPortal;
struct EditorControls;
struct ExportControls;
class PictureButton;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolBar;
class QToolButton;
class AnimationEditor;
class MovieScrubber;
class RecordingSession;
class RemoteControl;
class TAboutBox;
class TPaintBox;
class TSelectForm;
class TrasWinGod;
class XcbHookHost;
struct MouseHookStruct;

// The maker's web address: the caption of the web button and where it leads. The maker has
// no public site yet, so this is a reserved example domain that can never reach a stranger.
inline constexpr const char* kMakerWebAddress = "https://vantrel.example/clipmoor/";
inline constexpr const char* kMakerWebCaption = "vantrel.example";

inline constexpr const char* kHelpDocument = "help/index.html"; // in the program folder

inline constexpr const char* kProjectFilter = "Clipmoor files (*.fmo)|*.fmo";
inline constexpr const char* kMovieFilter = "Flash movie (*.swf)|*.swf";
inline constexpr const char* kVideoFilter =
    "MP4 video (*.mp4)|*.mp4|WebM video (*.webm)|*.webm|GIF animation (*.gif)|*.gif";
inline constexpr const char* kPictureFilter =
    "All picture|*.BMP;*.DIB;*.GIF;*.IFF;*.JIF;*.JPG;*.LBM;*.PCX;*.RLE;*.TGA;*.TIF;*.PNG|"
    "BMP - Windows,OS/2 Bitmap|*.BMP|DIB - Windows,OS/2 DIB|*.DIB|"
    "GIF - CompuServe Graphics Interchange|*.GIF|IFF - Amiga|*.IFF|"
    "JIF - JPEG - JFIF Compilant|*.JIF|JPG - JPEG - JFIF Compilant|*.JPG|"
    "LBM - Deluxe Paint|*.LBM|PCX - ZSoft Paintbrush|*.PCX|RLE - Windows RLE|*.RLE|"
    "TGA - Truevision Targa|*.TGA|TIF - Tagged Image File Format|*.TIF|"
    "PNG - Portable Graphics Network|*.PNG|All files (*.*)|*.*";

inline constexpr const char* kLoseInformationMessage =
    "You will lose any information that is not saved up to now.";
inline constexpr const char* kQuitMessage =
    "You leave the program now. You will lose any information that is not saved up to now.";
inline constexpr const char* kRecordOverMessage =
    "A new recording replaces every object of the animation. You will lose any information "
    "that is not saved up to now.";
inline constexpr const char* kRecordOverCaption = "Record now";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kNoDesktopHotKeyMessage =
    "This desktop binds no hot key for the program: bind a key to "
    "\"clipmoor --toggle-recording\" in its keyboard settings.";
inline constexpr const char* kHotKeySharedMessage =
    "Another program holds the hot key: it gets Ctrl + Shift + F11 as well.";

// " Area: ( left,top ) - ( right,bottom ) ", with one blank before and after (the
// recorder's label text).
QString AreaLabelText(const CaptureArea& area);
// A text of the project (object text, row text, font name) for display.
QString ProjectText(const std::string& text);

// The window's own controls, named as in the window layout: the tool bar, the tabs, the
// bottom bar and the about box.
struct WindowControls {
    QToolBar* ToolBar1 = nullptr;
    QToolButton* NewBtn = nullptr;
    QToolButton* OpenBtn = nullptr;
    QToolButton* SaveBtn = nullptr;
    QToolButton* SaveAsBtn = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet2 = nullptr; // Record screen action
    QWidget* TabSheet1 = nullptr; // Edit animation
    QWidget* TabSheet3 = nullptr; // Create Flash movie
    QToolButton* wwwBtn = nullptr;
    PictureButton* ueberbtn = nullptr;
    PictureButton* hilfebtn = nullptr;
    PictureButton* EndeBtn = nullptr;
    TAboutBox* AboutBox = nullptr;
    QLabel* HotKeyShared = nullptr; // in the status bar when another program holds the hot key
};

// The "Record screen action" tab's controls. The fields show the project's frames per
// second and compression; the project is what the commands read.
struct RecordControls {
    QPushButton* RecordBtn = nullptr;
    QPushButton* StopBtn = nullptr;
    QPushButton* FullScreenBtn = nullptr;
    QPushButton* SelArea2Btn = nullptr;
    QLabel* ScreenInfo = nullptr;
    QSpinBox* BpSEd = nullptr;
    QSpinBox* CompressEd = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* HotKeyNote = nullptr;
    TSelectForm* SelectForm = nullptr; // the one area selection window of the run
};

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kWidth = 750;
    static constexpr int kHeight = 550;

    explicit TMainForm(UiServices& ui, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Start-up. False when the image library could not be loaded: the message was shown
    // and the window must not be shown. `programFolder` replaces the executable's folder.
    bool FormCreate(const QString& programFolder = {});

    Project& TheProject() { return project_; }
    const QString& ProgramFolder() const { return programFolder_; }
    UiServices& Ui() { return ui_; }

    // Project commands and window events.
    void NewBtnClick();
    void OpenBtnClick();
    void SaveBtnClick();
    void SaveAsBtnClick();
    bool FormCloseQuery();
    void FormDestroy();
    void ueberbtnClick();
    void hilfebtnClick();
    void EndeBtnClick();
    void wwwBtnClick();
    void CompressEdChange();
    void BpSEdChange();
    // Opens a project file given on the command line (the desktop's "open with").
    bool OpenProjectFile(const QString& path);

    // Movie commands: build into a movie file, then publish the HTML code and page.
    void PlayBtnClick();
    void CreateFlashBtnClick();
    void BuildMovie(const QString& movieFile);
    void PublishMovie(const QString& movieFile);
    ExportCommands& Export() { return *export_; }

    // Recording commands: the capture area, the recording and the hot key.
    void FullScreenBtnClick();
    void SelArea2BtnClick();
    void RecordBtnClick();
    void StopBtnClick();
    void Timer1Timer();
    void rasWinGod1MouseMsg(int32_t Code, uint32_t MesID, const MouseHookStruct& MRec);
    void rasWinGod1KeybrdMsg(int32_t Code, int32_t VKCode, int32_t KSInfo);
    // The recorder as the window runs it; exists from FormCreate on.
    RecordingSession* Recording() { return recording_.get(); }

    // Used by the tabs and the tests.
    void SetCurrentFileName(const QString& fileName);
    // Rebuilds the editing tab's object list from the project.
    void RefreshObjectList();
    void UpdateAreaLabel();
    // Puts the project's frames per second and compression into their fields, which bring
    // them into range, and keeps the project equal to the fields.
    void ShowProjectSettings();
    void ShowError(const QString& text);
    // OK/Cancel question with an information icon; true for OK. aboveOtherWindows raises
    // the box over other programs' windows.
    bool Confirm(const QString& text, const QString& caption, bool aboveOtherWindows = false);

    // Components, with the names of the window layout.
    TFileDialogSettings OpenDialog1;
    TFileDialogSettings SaveDialog2;
    TFileDialogSettings OpenDialog2;
    TFileDialogSettings SaveDialog1;
    TFileDialogSettings VideoDialog;

    // Each group of controls has one owner: the window keeps its own and the recording
    // tab's, the editor the editing tab's, the movie commands the movie tab's.
    const WindowControls& Controls() const { return controls_; }
    const RecordControls& RecordTab() const { return record_; }
    // The editing tab's behaviour; exists from construction on.
    AnimationEditor& Editor() { return *editor_; }
    MovieScrubber& Scrubber() { return *scrubber_; }
    // The global hook component; exists from FormCreate on. The recorder assigns its
    // OnKeybrdMsg and OnMouseMsg events.
    TrasWinGod* rasWinGod1() { return hookComponent_.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildToolBar();
    QWidget* BuildBottomBar();
    QWidget* BuildRecordTab();
    QWidget* BuildEditTab(ExportControls& movieCommands);
    void ConnectEditor(EditorControls controls, TPaintBox& paintBox);
    QWidget* BuildMovieTab(ExportControls movieCommands);
    void InstallKeyboardHook();
    void BindDesktopHotKey();
    void SetPrimaryScreenArea();
    // Starts or stops a recording as the hot key does; tells whether one runs afterwards.
    bool ToggleRecording();
    void ConnectRecorder();
    void ApplyRecorderButtonStates(bool recording);
    bool MayRecordOverProject();
    void RecordingStoppedBySelf(const QString& message);
    void ReportRecording();
    void SaveTo(const QString& path);

    UiServices& ui_;
    Project project_;
    QString programFolder_;
    WindowControls controls_;
    RecordControls record_;
    bool askingToRecord_ = false;           // the question before a recording is open
    std::unique_ptr<XcbHookHost> hookHost_; // outlives the component
    std::unique_ptr<TrasWinGod> hookComponent_;
    std::unique_ptr<ExportCommands> export_;
    std::unique_ptr<RecordingSession> recording_; // released before the hooks and the project
    // X11 or the screen-cast portal (Wayland desktops), chosen at start-up.
    CaptureBackend captureBackend_ = CaptureBackend::X11;
    bool saidPointerInPictures_ = false;
    RemoteControl* remoteControl_ = nullptr; // child of the window
    // The hot key on Wayland; released first by the destructor (its thread calls back).
    std::unique_ptr<GlobalShortcutPortal> desktopHotKey_;
    // Child of the window; deleted first by the destructor, before the project goes.
    AnimationEditor* editor_ = nullptr;
    MovieScrubber* scrubber_ = nullptr; // the movie view and its time slider
};
