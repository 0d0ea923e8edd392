#include "app/gui/local_web_server.h"

#include "app/gui/http_connection.h"
#include "movie/player_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Room in the system's queue for clients that arrive faster than they are taken.
constexpr int kListenBacklog = 1024;

// A name that can only mean a file directly in a folder.
bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0));
}

QString RandomToken() {
    // 128 bits: the prefix is all that keeps other users out.
    QString token;
    for (int i = 0; i < 2; ++i)
        token += QString::number(QRandomGenerator::system()->generate64(), 16)
                     .rightJustified(16, QLatin1Char('0'));
    return token;
}

// The file's real path when it lies directly in folder (a link may not lead out of it).
QString FileIn(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return {};
    QFileInfo info(folder + QLatin1Char('/') + name);
    if (!info.isFile())
        return {};
    QFileInfo real(info.canonicalFilePath());
    return real.absolutePath() == folder ? real.filePath() : QString();
}

} // namespace

LocalWebServer::LocalWebServer(QObject* parent) : QObject(parent) {}

LocalWebServer::~LocalWebServer() {
    for (HttpConnection* connection : std::as_const(connections_)) {
        disconnect(connection, nullptr, this, nullptr);
        delete connection;
    }
}

bool LocalWebServer::Start() {
    if (IsListening())
        return true;
    if (!server_) {
        server_ = new QTcpServer(this);
        server_->setListenBacklogSize(kListenBacklog);
        connect(server_, &QTcpServer::newConnection, this, &LocalWebServer::AcceptConnections);
    }
    return server_->listen(QHostAddress::LocalHost, 0);
}

bool LocalWebServer::IsListening() const {
    return server_ && server_->isListening();
}

quint16 LocalWebServer::Port() const {
    return IsListening() ? server_->serverPort() : 0;
}

void LocalWebServer::SetPlayerFolder(const QString& folder) {
    QFileInfo info(folder);
    playerFolder_ = info.isDir() ? info.canonicalFilePath() : QString();
}

QUrl LocalWebServer::ServePage(const QString& folder, const QStringList& fileNames) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (!IsListening() || canonical.isEmpty() || fileNames.isEmpty())
        return {};
    QString token = tokenByFolder_.value(canonical);
    if (token.isEmpty()) {
        token = RandomToken();
        tokenByFolder_.insert(canonical, token);
        siteByToken_.insert(token, {canonical, {}, {}});
    }
    Site& site = siteByToken_[token];
    for (const QString& name : fileNames)
        if (IsPlainFileName(name)) {
            site.names.insert(name);
            site.heldPages.remove(name);
        }
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(Port());
    url.setPath(QLatin1Char('/') + token + QLatin1Char('/') + fileNames.first());
    return url;
}

QUrl LocalWebServer::ServeHeldPage(const QString& folder, const QString& pageName,
                                   const QByteArray& pageText, const QStringList& fileNames) {
    if (!IsPlainFileName(pageName))
        return {};
    const QUrl url = ServePage(folder, QStringList(pageName) + fileNames);
    if (url.isEmpty())
        return {};
    Site& site = siteByToken_[tokenByFolder_.value(QFileInfo(folder).canonicalFilePath())];
    site.names.remove(pageName);
    site.heldPages.insert(pageName, pageText);
    return url;
}

QByteArray LocalWebServer::ContentTypeFor(const QString& fileName) {
    static const QHash<QString, QByteArray> types = {
        {QStringLiteral("htm"), "text/html; charset=utf-8"},
        {QStringLiteral("html"), "text/html; charset=utf-8"},
        {QStringLiteral("swf"), "application/x-shockwave-flash"},
        {QStringLiteral("wasm"), "application/wasm"},
        {QStringLiteral("js"), "text/javascript; charset=utf-8"},
        {QStringLiteral("mjs"), "text/javascript; charset=utf-8"},
        {QStringLiteral("map"), "application/json"},
        {QStringLiteral("json"), "application/json"},
        {QStringLiteral("css"), "text/css; charset=utf-8"},
        {QStringLiteral("txt"), "text/plain; charset=utf-8"},
        {QStringLiteral("png"), "image/png"},
        {QStringLiteral("jpg"), "image/jpeg"},
        {QStringLiteral("jpeg"), "image/jpeg"},
        {QStringLiteral("gif"), "image/gif"},
        {QStringLiteral("svg"), "image/svg+xml"},
    };
    return types.value(QFileInfo(fileName).suffix().toLower(), "application/octet-stream");
}

bool LocalWebServer::IsPlayerFileName(const QString& name) {
    return ::IsPlayerFileName(name.toStdString());
}

void LocalWebServer::AcceptConnections() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        if (!MakeRoom()) { // every place is sending an answer: this client tries again later
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* connection = new HttpConnection(
            socket, [this](const QByteArray& head) { return Answer(head); }, kIdleTimeoutMs);
        connect(connection, &HttpConnection::Finished, this, &LocalWebServer::Forget);
        connections_.append(connection);
    }
}

bool LocalWebServer::MakeRoom() {
    if (connections_.size() < kMaxConnections)
        return true;
    // Clients that connect and send nothing (or dribble) must not lock the others out:
    // the oldest of those that are not being answered goes.
    for (HttpConnection* connection : std::as_const(connections_))
        if (!connection->Answering()) {
            connection->Close(); // Forget() takes it off the list
            return true;
        }
    return false;
}

void LocalWebServer::Forget(HttpConnection* connection) {
    connections_.removeOne(connection);
    connection->deleteLater();
}

bool LocalWebServer::HostAllowed(const QByteArray& host) const {
    // Pages of other sites that resolve their own names to 127.0.0.1 get nothing.
    const QByteArray port = QByteArray::number(Port());
    return host == "127.0.0.1:" + port || host == "localhost:" + port;
}

HttpResponse LocalWebServer::Answer(const QByteArray& request) const {
    HttpResponse response;
    const QList<QByteArray> lines = request.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
        response.status = 400;
        return response;
    }
    const QByteArray& method = requestLine[0];
    if (method != "GET" && method != "HEAD") {
        response.status = 405;
        response.extraHeaders = "Allow: GET, HEAD\r\n";
        return response;
    }
    QByteArray host;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "host")
            host = line.mid(colon + 1).trimmed().toLower();
    }
    if (!HostAllowed(host)) {
        response.status = 403;
        return response;
    }

    QByteArray target = requestLine[1];
    qsizetype query = target.indexOf('?');
    if (query >= 0)
        target.truncate(query);
    if (!target.startsWith('/')) {
        response.status = 400;
        return response;
    }
    // Segments are split before decoding, so an encoded slash stays inside a name and is
    // refused there.
    const QList<QByteArray> segments = target.mid(1).split('/');
    if (segments.size() != 2)
        return response;
    const QString prefix = QString::fromUtf8(QByteArray::fromPercentEncoding(segments[0]));
    const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(segments[1]));
    const auto site = siteByToken_.constFind(prefix);
    if (site == siteByToken_.cend() || !IsPlainFileName(name))
        return response;
    if (const auto held = site->heldPages.constFind(name); held != site->heldPages.cend()) {
        response.status = 200;
        response.contentType = ContentTypeFor(name);
        response.body = *held;
        return response;
    }
    // Only what the program wrote for the page: never the rest of the folder, which may be
    // the program's own.
    if (site->names.contains(name))
        return ServeFile(site->folder, name);
    if (IsPlayerFileName(name))
        return ServeFile(playerFolder_, name);
    return response;
}

HttpResponse LocalWebServer::ServeFile(const QString& folder, const QString& name) const {
    HttpResponse response;
    const QString path = FileIn(folder, name);
    if (path.isEmpty())
        return response;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        response.status = 403;
        return response;
    }
    response.status = 200;
    response.contentType = ContentTypeFor(name);
    response.file = std::move(file);
    return response;
}
