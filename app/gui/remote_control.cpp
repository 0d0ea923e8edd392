#include "app/gui/remote_control.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

constexpr char kToggle[] = "toggle\n";
// Long enough for the desktop's screen-sharing dialog of a first recording.
constexpr int kAnswerTimeoutMs = 120000;

// Whether the socket's other end runs as this user.
bool SameUser(qintptr descriptor) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == getuid();
}

} // namespace

QString ControlSocketPath() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder = runtime.startsWith(QLatin1Char('/'))
                         ? runtime + QStringLiteral("/clipmoor")
                         : QDir::tempPath() + QStringLiteral("/clipmoor-%1").arg(getuid());
    return folder + QStringLiteral("/control");
}

RemoteControl::RemoteControl(std::function<bool()> toggle, QObject* parent)
    : QObject(parent), toggle_(std::move(toggle)), server_(new QLocalServer(this)) {
    connect(server_, &QLocalServer::newConnection, this, &RemoteControl::Answer);
}

bool RemoteControl::Listen(const QString& path) {
    const QByteArray folder = QFileInfo(path).absolutePath().toLocal8Bit();
    struct stat info {};
    // Only this user may reach the socket: its folder is theirs and closed to others.
    if (mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    if (stat(folder.constData(), &info) != 0 || info.st_uid != getuid() || (info.st_mode & 077))
        return false;
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(500))
        return false;                 // another running program answers
    QLocalServer::removeServer(path); // left behind by a program that ended abruptly
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    return server_->listen(path);
}

void RemoteControl::Answer() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!SameUser(socket->socketDescriptor())) {
            socket->abort();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() != kToggle) {
                socket->disconnectFromServer();
                return;
            }
            const bool recording = toggle_();
            socket->write(recording ? "recording\n" : "stopped\n");
            socket->disconnectFromServer();
        });
    }
}

int SendToggleRecording(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(2000)) {
        std::fprintf(stderr, "Clipmoor is not running: there is no recording to start or stop.\n");
        return 1;
    }
    socket.write(kToggle);
    socket.waitForBytesWritten(2000);
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(kAnswerTimeoutMs))
        answer += socket.readAll();
    if (answer == "recording\n") {
        std::printf("Clipmoor is recording.\n");
        return 0;
    }
    if (answer == "stopped\n") {
        std::printf("Clipmoor is not recording.\n");
        return 0;
    }
    std::fprintf(stderr, "Clipmoor did not answer.\n");
    return 1;
}
