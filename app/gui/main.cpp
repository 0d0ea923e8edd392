// clipmoor: the desktop program.
#include "app/gui/application.h"
#include "app/gui/main_form.h"
#include "app/gui/remote_control.h"
#include "app/gui/ui_services.h"

#include <QFileInfo>

#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--toggle-recording") == 0) {
        QCoreApplication client(argc, argv);
        return SendToggleRecording(ControlSocketPath());
    }
    // On a Wayland desktop the window is a native Wayland client, not a guest of XWayland
    // (which some desktops do not run at all).
    if (CaptureBackendOfSession(!qEnvironmentVariableIsEmpty("DISPLAY")) ==
            CaptureBackend::Portal &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "wayland");
    TApplication app(argc, argv);

    QtUiServices desktop;
    UiServices* ui = &desktop;
    // Tests drive the real program with every question answered by its default.
    std::unique_ptr<LoggingUiServices> logging;
    QString logPath = qEnvironmentVariable("CLIPMOOR_TEST_LOG");
    if (!logPath.isEmpty()) {
        logging = std::make_unique<LoggingUiServices>(logPath);
        ui = logging.get();
    }
    TApplication::SetErrorReporter(ui);

    TMainForm form(*ui);
    if (!form.FormCreate())
        return 1;
    form.show();
    // A project file given by the desktop ("open with", a double click on a *.fmo file).
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1)
        form.OpenProjectFile(QFileInfo(arguments[1]).absoluteFilePath());
    if (logging)
        logging->Log(QStringLiteral("shown|%1").arg(form.windowTitle()));
    return app.exec();
}
