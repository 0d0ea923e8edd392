// The application object: one per run. An exception that escapes an event handler is
// shown in a box and the program goes on.
#pragma once

#include <QApplication>

class UiServices;

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Where escaped exceptions are reported; none: standard error only.
    static void SetErrorReporter(UiServices* ui);
};

// Application name, style and icon; shared with the tests so their windows look the same.
void SetUpApplication(QApplication& app);
