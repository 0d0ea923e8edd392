// A small HTTP server on 127.0.0.1 that shows the program's own pages in the browser. The
// browser's Flash emulator fetches its WebAssembly over HTTP only, so pages opened from disk
// cannot play; the program serves them from here instead, for as long as it runs.
//
// Other users of the machine can reach the port too, so it serves nothing but the files
// the program wrote for a page, each folder under a random prefix, and the player's files.
// The address is a secret: hand it to the browser through UiServices::OpenPrivateUrl.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

class HttpConnection;
struct HttpResponse;
class QTcpServer;

class LocalWebServer : public QObject {
    Q_OBJECT

public:
    // More clients than this wait in the system's queue; idle ones make room for them.
    static constexpr int kMaxConnections = 32;
    static constexpr int kIdleTimeoutMs = 15000;

    explicit LocalWebServer(QObject* parent = nullptr);
    ~LocalWebServer() override;

    // Listens on 127.0.0.1 at a free port. False when no port could be had.
    bool Start();
    bool IsListening() const;
    quint16 Port() const;

    // Where the player's files lie; they are served by their names in every shown folder
    // that was not given copies of its own.
    void SetPlayerFolder(const QString& folder);

    // From now on serves fileNames, files the program wrote directly in folder, under the
    // folder's prefix, and returns the address of the first (the page). Empty when the server
    // does not listen or the folder does not exist.
    QUrl ServePage(const QString& folder, const QStringList& fileNames);
    // The same for a page that exists only here: pageText is served as pageName under the
    // folder's prefix, beside fileNames. A file of that name written later replaces it.
    QUrl ServeHeldPage(const QString& folder, const QString& pageName, const QByteArray& pageText,
                       const QStringList& fileNames);

    // The clients connected right now.
    int ConnectionCount() const { return int(connections_.size()); }

    // The Content-Type sent for a file name (by its extension).
    static QByteArray ContentTypeFor(const QString& fileName);
    // True for the names of the player's files: its loader, its parts and its WebAssembly.
    static bool IsPlayerFileName(const QString& name);

private:
    struct Site {
        QString folder;
        QSet<QString> names;
        QHash<QString, QByteArray> heldPages; // by name
    };

    void AcceptConnections();
    bool MakeRoom();
    void Forget(HttpConnection* connection);
    HttpResponse Answer(const QByteArray& request) const;
    HttpResponse ServeFile(const QString& folder, const QString& name) const;
    bool HostAllowed(const QByteArray& host) const;

    QTcpServer* server_ = nullptr;
    QString playerFolder_;
    QHash<QString, QString> tokenByFolder_;
    QHash<QString, Site> siteByToken_;
    QList<HttpConnection*> connections_; // oldest first
};
