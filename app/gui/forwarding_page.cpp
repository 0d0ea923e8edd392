#include "app/gui/forwarding_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

ForwardingPages::~ForwardingPages() {
    if (!folder_.isEmpty())
        QDir(folder_).removeRecursively();
}

bool ForwardingPages::MakeFolder() {
    if (!folder_.isEmpty())
        return true;
    // The runtime folder is the user's own and lives in memory; the temporary folder is
    // shared, which mkdtemp's 0700 folder makes safe.
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QFileInfo(base).isDir())
        base = QDir::tempPath();
    QByteArray name = QFile::encodeName(base + QStringLiteral("/clipmoor-XXXXXX"));
    if (!mkdtemp(name.data()))
        return false;
    folder_ = QFile::decodeName(name);
    return true;
}

QString ForwardingPages::Write(const QUrl& url) {
    if (!url.isValid() || !MakeFolder())
        return {};
    // A new name for every page: a browser that starts slowly still reads its own.
    const QString path = folder_ + QStringLiteral("/open-%1.html").arg(++written_);
    const QByteArray localPath = QFile::encodeName(path);
    int fd =
        ::open(localPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return {};
    const QByteArray text = PageText(url);
    qsizetype done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    bool ok = ::close(fd) == 0 && done == text.size();
    if (!ok) {
        ::unlink(localPath.constData());
        return {};
    }
    return path;
}

QByteArray ForwardingPages::PageText(const QUrl& url) {
    const QByteArray address = url.toString(QUrl::FullyEncoded).toHtmlEscaped().toUtf8();
    // The refresh works without scripts; the script replaces the page in the history, so
    // Back does not land on it again.
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
           "<meta name=\"referrer\" content=\"no-referrer\">\n"
           "<meta http-equiv=\"refresh\" content=\"0;url=" +
           address + "\">\n<title>Clipmoor</title></head>\n<body><p><a id=\"go\" href=\"" +
           address +
           "\">Show the page</a></p>\n"
           "<script>location.replace(document.getElementById(\"go\").href)</script>\n"
           "</body></html>\n";
}
