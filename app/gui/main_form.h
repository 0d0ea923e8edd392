// The program's main window: the tool bar with the project commands, the recording,
// editing and movie tabs, the bottom bar and the status bar. It owns the Project for the
// whole run. Handlers keep the names the product has always used and stay thin: the work
// is done by the model.
#pragma once

#include "app/gui/local_path.h"
#include "app/gui/ui_services.h"
#include "model/project.h"

#include <QMainWindow>
#include <QString>

#include <memory>

#include <string>

class ExportCommands;
class PictureButton;
class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class AnimationEditor;
class RecordingSession;
class TAboutBox;
class TPaintBox;
class TSelectForm;
class TSwatchColorComboBox;
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
inline constexpr const char* kErrorCaption = "Error";

// " Area: ( left,top ) - ( right,bottom ) ", with one blank before and after (the
// recorder's label text).
QString AreaLabelText(const CaptureArea& area);
// A text of the project (object text, row text, font name) for display.
QString ProjectText(const std::string& text);

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

    // Shared with the other Parts of the window.
    void SetCurrentFileName(const QString& fileName);
    void RefreshObjectList();
    void RepaintPreview();
    void UpdateAreaLabel();
    // Puts the project's frames per second and compression into their fields, which bring
    // them into range, and keeps the project equal to the fields.
    void ShowProjectSettings();
    void ShowError(const QString& text);
    // OK/Cancel question with an information icon; true for OK.
    bool Confirm(const QString& text, const QString& caption);

    // --- Controls, with the names of the window layout ---------------------------------
    QToolBar* ToolBar1 = nullptr;
    QToolButton* NewBtn = nullptr;
    QToolButton* OpenBtn = nullptr;
    QToolButton* SaveBtn = nullptr;
    QToolButton* SaveAsBtn = nullptr;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet2 = nullptr; // Record screen action
    QWidget* TabSheet1 = nullptr; // Edit animation
    QWidget* TabSheet3 = nullptr; // Create Flash movie

    // Recording tab.
    QPushButton* RecordBtn = nullptr;
    QPushButton* StopBtn = nullptr;
    QPushButton* FullScreenBtn = nullptr;
    QPushButton* SelArea2Btn = nullptr;
    QLabel* ScreenInfo = nullptr;
    QSpinBox* BpSEd = nullptr;
    QSpinBox* CompressEd = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* HotKeyNote = nullptr;

    // Editing tab.
    QPushButton* NewObjBtn = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* AddTextObjekt = nullptr;
    QAction* VektorObjekt1 = nullptr;
    QAction* Bild1 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QToolButton* DellObBtn = nullptr;
    QToolButton* MoveUpBtn = nullptr;
    QToolButton* MoveDownBtn = nullptr;
    QPushButton* PlayBtn = nullptr;
    QCheckBox* OnlyActualCheck = nullptr;
    QCheckBox* NoArrowsCheck = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TextPage = nullptr;
    QWidget* VectorPage = nullptr;
    QWidget* PicturePage = nullptr;
    QLineEdit* TextEd = nullptr;
    QFontComboBox* FontEd = nullptr;
    TSwatchColorComboBox* TFarbeEd = nullptr;
    QComboBox* FontSize = nullptr;
    QDoubleSpinBox* RotEd = nullptr;
    QSpinBox* TimeEd = nullptr;
    QSlider* TransEd = nullptr;
    QCheckBox* DelObCheck = nullptr;
    QComboBox* ObjectKindBox = nullptr;
    TSwatchColorComboBox* TFarbeEd2 = nullptr;
    QSlider* TransEd2 = nullptr;
    QDoubleSpinBox* RotEd2 = nullptr;
    QSpinBox* TimeEd2 = nullptr;
    QCheckBox* DelObCheck2 = nullptr;
    QDoubleSpinBox* RotEd3 = nullptr;
    QSpinBox* TimeEd3 = nullptr;
    QCheckBox* DelObCheck3 = nullptr;

    // Movie tab.
    QPushButton* CreateFlashBtn = nullptr;
    QCheckBox* AutoLoadFlashCheck = nullptr;
    QCheckBox* CreateHTMLCheck = nullptr;
    QLabel* HtmlSourceLabel = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QCheckBox* PlayerPageCheck = nullptr;  // "Make the page play in browsers without Flash"
    QProgressBar* BuildProgress = nullptr; // in the status bar while a movie is built

    // Bottom bar.
    QToolButton* wwwBtn = nullptr;
    PictureButton* ueberbtn = nullptr;
    PictureButton* hilfebtn = nullptr;
    PictureButton* EndeBtn = nullptr;

    // Components.
    TFileDialogSettings OpenDialog1;
    TFileDialogSettings SaveDialog2;
    TFileDialogSettings OpenDialog2;
    TFileDialogSettings SaveDialog1;
    QTimer* Timer1 = nullptr;
    TAboutBox* AboutBox = nullptr;
    TSelectForm* SelectForm = nullptr; // the one area selection window of the run
    // The global hook component; exists from FormCreate on. The recorder assigns its
    // OnKeybrdMsg and OnMouseMsg events.
    TrasWinGod* rasWinGod1 = nullptr;

    // The editing tab's behaviour: object commands, property pages, preview and mouse. It
    // keeps the FillingControls and RebuildingList flags that stop programmatic changes of
    // its controls from echoing back.
    AnimationEditor* Editor = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildToolBar();
    void BuildBottomBar();
    QWidget* BuildRecordTab();
    QWidget* BuildEditTab();
    QWidget* BuildMovieTab();
    QWidget* BuildPropertyPages();
    void InstallKeyboardHook();
    void ConnectRecorder();
    void ApplyRecorderButtonStates(bool recording);
    void RecordingStoppedBySelf(const QString& message);
    void ReportRecording();
    void SaveTo(const QString& path);

    UiServices& ui_;
    Project project_;
    QString programFolder_;
    std::unique_ptr<XcbHookHost> hookHost_; // outlives the component
    std::unique_ptr<TrasWinGod> hookComponent_;
    std::unique_ptr<ExportCommands> export_;
    std::unique_ptr<RecordingSession> recording_; // released before the hooks and the project
};
