// What the windows ask of the desktop: message boxes, file dialogs, modal windows and the
// shell's "open". Everything goes through one interface so that tests can answer it.
#pragma once

#include "app/gui/forwarding_page.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

class QDialog;
class QFileDialog;
class QWidget;

struct MessageRequest {
    QString text;
    QString caption;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // Raised above every other window: the question may come while another program is in
    // front (a hot key).
    bool aboveOtherWindows = false;
};

enum class FileDialogMode { Open, Save };

struct FileDialogRequest {
    FileDialogMode mode = FileDialogMode::Open;
    QStringList nameFilters; // Qt form, e.g. "Clipmoor files (*.fmo)"
    QString defaultSuffix;   // without the dot
    QString initialFile;     // proposed name or empty
};

class UiServices {
public:
    virtual ~UiServices() = default;
    // Returns the button the user pressed.
    virtual QMessageBox::StandardButton ShowMessage(QWidget* parent,
                                                    const MessageRequest& request) = 0;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<QString> ChooseFile(QWidget* parent,
                                              const FileDialogRequest& request) = 0;
    // Runs a window modally and returns its result code.
    virtual int ShowModal(QDialog& dialog) = 0;
    // The shell's "open": the associated program for a file, the browser for an address.
    virtual void OpenUrl(const QUrl& url) = 0;
    // "open" for an address that holds a secret: it must not reach a command line, where
    // every user of the machine can read it. False when it could not be opened that way.
    virtual bool OpenPrivateUrl(const QUrl& url) = 0;
};

// The real thing: Qt message boxes and file dialogs, QDesktopServices for "open". Private
// addresses go to the browser through pages that are removed when this object goes.
class QtUiServices : public UiServices {
public:
    QMessageBox::StandardButton ShowMessage(QWidget* parent,
                                            const MessageRequest& request) override;
    std::optional<QString> ChooseFile(QWidget* parent, const FileDialogRequest& request) override;
    int ShowModal(QDialog& dialog) override;
    void OpenUrl(const QUrl& url) override;
    bool OpenPrivateUrl(const QUrl& url) override;

private:
    ForwardingPages pages_;
};

// Answers every question with its default without showing anything and writes one line per
// request to a file: lets a test drive the real program when CLIPMOOR_TEST_LOG names a file.
class LoggingUiServices : public UiServices {
public:
    explicit LoggingUiServices(QString logPath) : logPath_(std::move(logPath)) {}
    QMessageBox::StandardButton ShowMessage(QWidget* parent,
                                            const MessageRequest& request) override;
    std::optional<QString> ChooseFile(QWidget* parent, const FileDialogRequest& request) override;
    int ShowModal(QDialog& dialog) override;
    void OpenUrl(const QUrl& url) override;
    bool OpenPrivateUrl(const QUrl& url) override;
    void Log(const QString& line);

private:
    QString logPath_;
};

// The message box and file dialog that QtUiServices shows, built but not run.
std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const MessageRequest& request);
std::unique_ptr<QFileDialog> BuildFileDialog(QWidget* parent, const FileDialogRequest& request);

inline constexpr const char* kReplaceFileMessage = "%1 already exists.\nDo you want to replace it?";
inline constexpr const char* kReplaceFileCaption = "Confirm Save As";

// The caption of boxes that have none of their own: the application's name.
QString DefaultCaption();

// "desc|pattern;pattern|desc|pattern" (the filter strings the program has always kept) to
// Qt name filters "desc (pattern pattern)". "*.*" means every file and becomes "*".
QStringList ConvertFileFilter(const QString& filter);

// A file dialog component of the main window: its settings and the last chosen name.
struct TFileDialogSettings {
    QString Filter;     // "desc|pattern|..." form
    QString DefaultExt; // with or without the leading dot
    QString FileName;   // the last chosen name; proposed the next time

    // Shows the dialog; on confirmation stores and returns true. Saving over an existing
    // file asks first; "Cancel" there shows the dialog again.
    bool Execute(UiServices& ui, QWidget* parent, FileDialogMode mode);
};
