#include "app/gui/application.h"

#include "app/gui/artwork.h"
#include "app/gui/ui_services.h"

#include <QStyleFactory>

#include <cstdio>
#include <exception>

namespace {
UiServices* errorReporter = nullptr;
bool reporting = false;

void Report(const QString& text) {
    std::fprintf(stderr, "clipmoor: %s\n", text.toLocal8Bit().constData());
    // One box at a time: an exception thrown while the box is open is only printed.
    if (!errorReporter || reporting)
        return;
    reporting = true;
    errorReporter->ShowMessage(nullptr,
                               {text, DefaultCaption(), QMessageBox::Ok, QMessageBox::Critical});
    reporting = false;
}
} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    SetUpApplication(*this);
}

void TApplication::SetErrorReporter(UiServices* ui) {
    errorReporter = ui;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        Report(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        Report(QStringLiteral("An unknown error occurred."));
    }
    return false;
}

void SetUpApplication(QApplication& app) {
    // The application's title; windows keep their own titles as they are.
    app.setApplicationName(QStringLiteral("Clipmoor"));
    app.setOrganizationName(QStringLiteral("Vantrel"));
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    app.setWindowIcon(ProgramIcon());
}
