// One client of the local web server: reads one request, sends the answer the server gives
// for it and closes. A file is sent in chunks as the client takes them, so a movie of any
// size costs a few chunks of memory and never stops the window for long.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QTcpSocket;

struct HttpResponse {
    int status = 404;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;             // a short answer, or
    std::unique_ptr<QFile> file; // an open file sent whole in its place
    QByteArray extraHeaders;     // lines, each ending in "\r\n"
};

class HttpConnection : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype kMaxRequestBytes = 16 * 1024;
    static constexpr qint64 kChunkBytes = 64 * 1024;

    // The answer to a request's head (request line and headers, without the blank line).
    using Responder = std::function<HttpResponse(const QByteArray& head)>;

    // Takes over socket. A client gets idleTimeoutMs to send its request, and the same again
    // each time it stops taking the answer.
    HttpConnection(QTcpSocket* socket, Responder responder, int idleTimeoutMs);

    // True from the request until the answer is sent.
    bool Answering() const { return answered_ && !closed_; }
    // Drops the connection at once.
    void Close();

signals:
    // Once, when the connection is over; the connection may then be deleted.
    void Finished(HttpConnection* connection);

private:
    void ReadRequest();
    void Answer(HttpResponse response, bool withBody);
    void SendMore();

    QTcpSocket* socket_;
    Responder responder_;
    QTimer idle_;
    QByteArray request_;
    std::unique_ptr<QFile> file_;
    qint64 left_ = 0; // bytes of file_ still to send
    bool answered_ = false;
    bool closed_ = false;
};
