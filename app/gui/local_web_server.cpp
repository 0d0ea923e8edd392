#include "app/gui/local_web_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

constexpr qsizetype kMaxRequestBytes = 16 * 1024;
constexpr int kIdleTimeoutMs = 15000;
const QString kPlayerPrefix = QStringLiteral("player");

QByteArray ReasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

// A name that can only mean a file directly in a folder.
bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0));
}

QString RandomToken() {
    quint64 value = QRandomGenerator::system()->generate64();
    return QString::number(value, 16).rightJustified(16, QLatin1Char('0'));
}

} // namespace

LocalWebServer::LocalWebServer(QObject* parent) : QObject(parent) {}

LocalWebServer::~LocalWebServer() = default;

bool LocalWebServer::Start() {
    if (IsListening())
        return true;
    if (!server_) {
        server_ = new QTcpServer(this);
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

QUrl LocalWebServer::UrlFor(const QString& filePath) {
    QFileInfo file(filePath);
    QString folder = file.absoluteDir().canonicalPath();
    if (!IsListening() || folder.isEmpty())
        return {};
    QString token = tokenByFolder_.value(folder);
    if (token.isEmpty()) {
        token = RandomToken();
        tokenByFolder_.insert(folder, token);
        folderByToken_.insert(token, folder);
    }
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(Port());
    url.setPath(QLatin1Char('/') + token + QLatin1Char('/') + file.fileName());
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
    static const QRegularExpression pattern(
        QStringLiteral("^(ruffle\\.js|core\\.ruffle\\.[0-9a-f]+\\.js|[0-9a-f]+\\.wasm)$"));
    return pattern.match(name).hasMatch();
}

void LocalWebServer::AcceptConnections() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A client that never finishes its request does not keep the connection forever.
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        idle->start(kIdleTimeoutMs);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            if (socket->property("answered").toBool()) {
                socket->readAll();
                return;
            }
            buffer->append(socket->readAll());
            Response response;
            qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0 && buffer->size() <= kMaxRequestBytes)
                return;
            if (end < 0 || end > kMaxRequestBytes)
                response.status = 431;
            else
                response = Answer(buffer->left(end));
            socket->setProperty("answered", true);
            bool head = buffer->startsWith("HEAD ");
            QByteArray reply = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                               ReasonPhrase(response.status) + "\r\n";
            reply += "Content-Type: " + response.contentType + "\r\n";
            reply += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
            reply += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
            reply += response.extraHeaders;
            reply += "Connection: close\r\n\r\n";
            socket->write(reply);
            if (!head)
                socket->write(response.body);
            socket->disconnectFromHost();
        });
    }
}

bool LocalWebServer::HostAllowed(const QByteArray& host) const {
    // Pages of other sites that resolve their own names to 127.0.0.1 get nothing.
    const QByteArray port = QByteArray::number(Port());
    return host == "127.0.0.1:" + port || host == "localhost:" + port;
}

LocalWebServer::Response LocalWebServer::Answer(const QByteArray& request) const {
    Response response;
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
    if (!IsPlainFileName(name))
        return response;
    if (prefix == kPlayerPrefix)
        return ServeFile(playerFolder_, name);
    const QString folder = folderByToken_.value(prefix);
    if (folder.isEmpty())
        return response;
    // The folder's own file first: a page that carries its own copy of the player uses it.
    if (!FileIn(folder, name).isEmpty() || !IsPlayerFileName(name))
        return ServeFile(folder, name);
    return ServeFile(playerFolder_, name);
}

QString LocalWebServer::FileIn(const QString& folder, const QString& name) const {
    if (folder.isEmpty())
        return {};
    QFileInfo info(folder + QLatin1Char('/') + name);
    if (!info.isFile())
        return {};
    // A link that leads out of the folder is not the folder's file.
    QFileInfo real(info.canonicalFilePath());
    if (real.absolutePath() != folder)
        return {};
    return real.filePath();
}

LocalWebServer::Response LocalWebServer::ServeFile(const QString& folder,
                                                   const QString& name) const {
    Response response;
    QString path = FileIn(folder, name);
    if (path.isEmpty())
        return response;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        response.status = 403;
        return response;
    }
    response.status = 200;
    response.contentType = ContentTypeFor(name);
    response.body = file.readAll();
    return response;
}
