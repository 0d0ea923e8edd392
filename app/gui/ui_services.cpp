#include "app/gui/ui_services.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>

QString DefaultCaption() {
    return QGuiApplication::applicationDisplayName();
}

std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const MessageRequest& request) {
    auto box = std::make_unique<QMessageBox>(request.icon, request.caption, request.text,
                                             request.buttons, parent);
    box->setTextFormat(Qt::PlainText);
    if (request.buttons & QMessageBox::Ok)
        box->setDefaultButton(QMessageBox::Ok);
    if (request.aboveOtherWindows)
        box->setWindowFlag(Qt::WindowStaysOnTopHint);
    return box;
}

QMessageBox::StandardButton QtUiServices::ShowMessage(QWidget* parent,
                                                      const MessageRequest& request) {
    std::unique_ptr<QMessageBox> box = BuildMessageBox(parent, request);
    if (request.aboveOtherWindows) {
        box->show();
        box->raise();
        box->activateWindow();
    }
    int result = box->exec();
    return static_cast<QMessageBox::StandardButton>(result);
}

std::unique_ptr<QFileDialog> BuildFileDialog(QWidget* parent, const FileDialogRequest& request) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    bool saving = request.mode == FileDialogMode::Save;
    dialog->setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // TFileDialogSettings asks before replacing a file, through UiServices; the dialog's
    // own question would come twice.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, saving);
    dialog->setNameFilters(request.nameFilters);
    dialog->setDefaultSuffix(request.defaultSuffix);
    if (!request.initialFile.isEmpty())
        dialog->selectFile(request.initialFile);
    return dialog;
}

std::optional<QString> QtUiServices::ChooseFile(QWidget* parent, const FileDialogRequest& request) {
    std::unique_ptr<QFileDialog> dialog = BuildFileDialog(parent, request);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().constFirst();
}

int QtUiServices::ShowModal(QDialog& dialog) {
    return dialog.exec();
}

void QtUiServices::OpenUrl(const QUrl& url) {
    // Like the shell's "open", the result is not checked: the desktop reports its failures.
    QDesktopServices::openUrl(url);
}

bool QtUiServices::OpenPrivateUrl(const QUrl& url) {
    const QString page = pages_.Write(url);
    if (page.isEmpty())
        return false;
    OpenUrl(QUrl::fromLocalFile(page));
    return true;
}

void LoggingUiServices::Log(const QString& line) {
    QFile file(logPath_);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    QTextStream(&file) << line << '\n';
}

QMessageBox::StandardButton LoggingUiServices::ShowMessage(QWidget*,
                                                           const MessageRequest& request) {
    Log(QStringLiteral("message|%1|%2|%3|%4")
            .arg(request.caption, request.text)
            .arg(int(request.buttons))
            .arg(int(request.icon)));
    return (request.buttons & QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::NoButton;
}

std::optional<QString> LoggingUiServices::ChooseFile(QWidget*, const FileDialogRequest& request) {
    Log(QStringLiteral("file|%1").arg(request.nameFilters.join(QLatin1Char(';'))));
    return std::nullopt;
}

int LoggingUiServices::ShowModal(QDialog& dialog) {
    Log(QStringLiteral("modal|%1").arg(dialog.windowTitle()));
    return QDialog::Rejected;
}

void LoggingUiServices::OpenUrl(const QUrl& url) {
    Log(QStringLiteral("open|%1").arg(url.toString()));
}

bool LoggingUiServices::OpenPrivateUrl(const QUrl& url) {
    Log(QStringLiteral("open-private|%1").arg(url.toString()));
    return true;
}

QStringList ConvertFileFilter(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList converted;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        // A description that already names its patterns in brackets gets them once only.
        qsizetype bracket = description.lastIndexOf(QLatin1Char('('));
        if (bracket > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(bracket).trimmed();
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << (pattern.trimmed() == QLatin1String("*.*") ? QStringLiteral("*")
                                                                   : pattern.trimmed());
        converted << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return converted;
}

bool TFileDialogSettings::Execute(UiServices& ui, QWidget* parent, FileDialogMode mode) {
    FileDialogRequest request;
    request.mode = mode;
    request.nameFilters = ConvertFileFilter(Filter);
    request.defaultSuffix =
        DefaultExt.startsWith(QLatin1Char('.')) ? DefaultExt.mid(1) : DefaultExt;
    request.initialFile = FileName;
    for (;;) {
        std::optional<QString> chosen = ui.ChooseFile(parent, request);
        if (!chosen)
            return false;
        if (mode == FileDialogMode::Save && QFileInfo::exists(*chosen)) {
            const MessageRequest question{
                QString::fromUtf8(kReplaceFileMessage).arg(QDir::toNativeSeparators(*chosen)),
                QString::fromUtf8(kReplaceFileCaption), QMessageBox::Ok | QMessageBox::Cancel,
                QMessageBox::Warning};
            if (ui.ShowMessage(parent, question) != QMessageBox::Ok) {
                request.initialFile = *chosen;
                continue;
            }
        }
        FileName = *chosen;
        return true;
    }
}
