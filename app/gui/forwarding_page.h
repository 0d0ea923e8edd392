// Opens a secret address without putting it on a command line: the address goes into a small
// page that only this user can read, and the browser is given the page's path, which
// anyone may see. The page forwards the browser to the address at once.
#pragma once

#include <QString>
#include <QUrl>

class ForwardingPages {
public:
    ForwardingPages() = default;
    // Removes every page it wrote and their folder.
    ~ForwardingPages();
    ForwardingPages(const ForwardingPages&) = delete;
    ForwardingPages& operator=(const ForwardingPages&) = delete;

    // Writes a new page (mode 0600, in a private 0700 folder under $XDG_RUNTIME_DIR or the
    // temporary folder) that forwards to url; returns its path, empty when it could not.
    QString Write(const QUrl& url);

    // The page's text for url.
    static QByteArray PageText(const QUrl& url);

private:
    bool MakeFolder();

    QString folder_;
    int written_ = 0;
};
