// A small HTTP server on 127.0.0.1 that shows the program's own pages in the browser. The
// browser's Flash emulator fetches its WebAssembly over HTTP only, so pages opened from disk
// cannot play; the program serves them from here instead, for as long as it runs.
//
// It serves only files that lie directly in folders it was asked to show, each under a
// random prefix, and the player's files. No listings, no subfolders, no way out of a
// folder: a request names a plain file name and the file's real location must be that folder.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

class LocalWebServer : public QObject {
    Q_OBJECT

public:
    explicit LocalWebServer(QObject* parent = nullptr);
    ~LocalWebServer() override;

    // Listens on 127.0.0.1 at a free port. False when no port could be had.
    bool Start();
    bool IsListening() const;
    quint16 Port() const;

    // Where the player's files lie; they are served under /player/ and, by their names,
    // in every shown folder that has no copy of its own.
    void SetPlayerFolder(const QString& folder);

    // The address that shows filePath; its folder is served from now on. Empty when the
    // server does not listen or the folder does not exist.
    QUrl UrlFor(const QString& filePath);

    // The Content-Type sent for a file name (by its extension).
    static QByteArray ContentTypeFor(const QString& fileName);
    // True for the names of the player's files: its loader, its parts and its WebAssembly.
    static bool IsPlayerFileName(const QString& name);

private:
    struct Response {
        int status = 404;
        QByteArray contentType = "text/plain; charset=utf-8";
        QByteArray body;
        QByteArray extraHeaders;
    };

    void AcceptConnections();
    void ReadRequest(QTcpSocket* socket);
    Response Answer(const QByteArray& request) const;
    Response ServeFile(const QString& folder, const QString& name) const;
    QString FileIn(const QString& folder, const QString& name) const;
    bool HostAllowed(const QByteArray& host) const;

    QTcpServer* server_ = nullptr;
    QString playerFolder_;
    QHash<QString, QString> tokenByFolder_;
    QHash<QString, QString> folderByToken_;
};
