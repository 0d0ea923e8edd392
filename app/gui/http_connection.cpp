#include "app/gui/http_connection.h"

#include <QTcpSocket>

namespace {

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

} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket, Responder responder, int idleTimeoutMs)
    : socket_(socket), responder_(std::move(responder)) {
    socket_->setParent(this);
    idle_.setSingleShot(true);
    idle_.setInterval(idleTimeoutMs);
    // Reading the request does not restart the clock: a client that sends a byte now and
    // then gets no more time than one that sends nothing.
    idle_.start();
    connect(&idle_, &QTimer::timeout, this, &HttpConnection::Close);
    connect(socket_, &QTcpSocket::readyRead, this, &HttpConnection::ReadRequest);
    connect(socket_, &QTcpSocket::bytesWritten, this, &HttpConnection::SendMore);
    connect(socket_, &QTcpSocket::disconnected, this, &HttpConnection::Close);
    connect(socket_, &QTcpSocket::errorOccurred, this, &HttpConnection::Close);
    // Bytes that came with the connection.
    if (socket_->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &HttpConnection::ReadRequest);
}

void HttpConnection::Close() {
    if (closed_)
        return;
    closed_ = true;
    idle_.stop();
    file_.reset();
    socket_->abort();
    emit Finished(this);
}

void HttpConnection::ReadRequest() {
    if (closed_)
        return;
    if (answered_) {
        socket_->readAll(); // one request per connection; the rest is not read
        return;
    }
    request_.append(socket_->read(kMaxRequestBytes + 4 - request_.size()));
    const qsizetype end = request_.indexOf("\r\n\r\n");
    if (end < 0 && request_.size() <= kMaxRequestBytes)
        return;
    const bool head = request_.startsWith("HEAD ");
    HttpResponse response;
    if (end < 0 || end > kMaxRequestBytes)
        response.status = 431;
    else
        response = responder_(request_.left(end));
    request_.clear();
    Answer(std::move(response), !head);
}

void HttpConnection::Answer(HttpResponse response, bool withBody) {
    answered_ = true;
    const qint64 length = response.file ? response.file->size() : response.body.size();
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                       ReasonPhrase(response.status) + "\r\n";
    reply += "Content-Type: " + response.contentType + "\r\n";
    reply += "Content-Length: " + QByteArray::number(length) + "\r\n";
    reply += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
    reply += response.extraHeaders;
    reply += "Connection: close\r\n\r\n";
    if (withBody && !response.file)
        reply += response.body;
    socket_->write(reply);
    if (withBody && response.file) {
        file_ = std::move(response.file);
        left_ = length;
    }
    SendMore();
}

void HttpConnection::SendMore() {
    if (closed_ || !answered_)
        return;
    idle_.start();
    // At most two chunks wait in the socket: the client's pace decides how fast we read.
    while (file_ && left_ > 0 && socket_->bytesToWrite() < kChunkBytes) {
        const QByteArray chunk = file_->read(qMin(left_, kChunkBytes));
        if (chunk.isEmpty()) { // the file shrank: the promised length cannot be kept
            Close();
            return;
        }
        left_ -= chunk.size();
        socket_->write(chunk);
    }
    if (left_ == 0 && socket_->bytesToWrite() == 0) {
        file_.reset();
        socket_->disconnectFromHost();
    }
}
