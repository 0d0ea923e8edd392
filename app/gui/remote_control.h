// `clipmoor --toggle-recording`: another process of the same user tells the running
// program to start or stop recording, through a local socket in the user's runtime folder.
// On Wayland no program sees global keys, so the desktop's keyboard settings bind a key
// to this command.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// $XDG_RUNTIME_DIR/clipmoor/control, or a folder of this user's under the temporary folder.
QString ControlSocketPath();

class RemoteControl final : public QObject {
    Q_OBJECT

public:
    // `toggle` starts or stops the recording and tells whether one runs afterwards.
    RemoteControl(std::function<bool()> toggle, QObject* parent = nullptr);
    // Listens at `path` unless another running program already does. Returns whether it
    // listens.
    bool Listen(const QString& path);

private:
    void Answer();

    std::function<bool()> toggle_;
    QLocalServer* server_;
};

// The client side: asks the program listening at `path` to toggle, prints what it did and
// returns the exit status (1 when no program runs).
int SendToggleRecording(const QString& path);
