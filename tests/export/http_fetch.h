// Sends one raw HTTP request to a server that runs on this thread's event loop and returns
// the answer. The client runs on its own thread so that requests go out byte for byte as
// written (no client library tidies up "..").
#pragma once

#include <QByteArray>
#include <QCoreApplication>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct HttpAnswer {
    int status = 0;
    QByteArray headers; // the status line and header lines, as received
    QByteArray body;    // empty when only counted
    qint64 bodyBytes = 0;
    QByteArray Header(const QByteArray& name) const {
        for (const QByteArray& line : headers.split('\n')) {
            qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

// keepBody false counts the body's bytes without keeping them; whileWaiting runs between
// rounds of the event loop until the answer is in.
inline HttpAnswer FetchRaw(quint16 port, const QByteArray& request, bool keepBody = true,
                           const std::function<void()>& whileWaiting = {}) {
    HttpAnswer answer;
    QByteArray received;
    std::atomic<bool> done = false;
    std::thread client([&] {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        timeval timeout{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
            std::vector<char> chunk(65536);
            qsizetype headEnd = -1;
            for (;;) {
                ssize_t n = ::recv(fd, chunk.data(), chunk.size(), 0);
                if (n <= 0)
                    break;
                if (headEnd >= 0 && !keepBody) {
                    answer.bodyBytes += n;
                    continue;
                }
                received.append(chunk.data(), n);
                if (headEnd < 0 && (headEnd = received.indexOf("\r\n\r\n")) >= 0 && !keepBody) {
                    answer.bodyBytes = received.size() - headEnd - 4;
                    received.truncate(headEnd + 4);
                }
            }
        }
        ::close(fd);
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (whileWaiting)
            whileWaiting();
    }
    client.join();

    qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return answer;
    answer.headers = received.left(end);
    if (keepBody) {
        answer.body = received.mid(end + 4);
        answer.bodyBytes = answer.body.size();
    }
    QList<QByteArray> statusLine = answer.headers.left(answer.headers.indexOf('\r')).split(' ');
    answer.status = statusLine.value(1).toInt();
    return answer;
}

inline HttpAnswer Get(quint16 port, const QByteArray& target, const QByteArray& method = "GET") {
    return FetchRaw(port, method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                              QByteArray::number(port) + "\r\n\r\n");
}
