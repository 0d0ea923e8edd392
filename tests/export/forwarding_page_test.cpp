#include "app/gui/forwarding_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

unsigned Mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(ForwardingPages, WritesPrivatePagesThatForwardAndRemovesThemAtTheEnd) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QUrl url(QStringLiteral("http://127.0.0.1:4242/00ff/my%20movie.htm?a=1&b=\"2\""));
    const QByteArray address = "http://127.0.0.1:4242/00ff/my%20movie.htm?a=1&amp;b=%222%22";

    QString first, folder;
    {
        ForwardingPages pages;
        first = pages.Write(url);
        ASSERT_FALSE(first.isEmpty());
        EXPECT_NE(pages.Write(url), first) << "each page its own file";
        folder = QFileInfo(first).absolutePath();
        EXPECT_EQ(QFileInfo(folder).absolutePath(), runtime.path());
        EXPECT_EQ(Mode(folder), 0700u);
        EXPECT_EQ(Mode(first), 0600u);
        QFile page(first);
        ASSERT_TRUE(page.open(QIODevice::ReadOnly));
        const QByteArray text = page.readAll();
        EXPECT_TRUE(text.contains("http-equiv=\"refresh\" content=\"0;url=" + address + "\""));
        EXPECT_TRUE(text.contains("<a id=\"go\" href=\"" + address + "\""));
        EXPECT_TRUE(text.contains("location.replace(document.getElementById(\"go\").href)"));
    }
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(folder));

    // Without a runtime folder the shared temporary folder holds the private folder.
    qputenv("XDG_RUNTIME_DIR", "/no/such/folder");
    {
        ForwardingPages pages;
        const QString page = pages.Write(url);
        EXPECT_EQ(QFileInfo(QFileInfo(page).absolutePath()).absolutePath(), QDir::tempPath());
        EXPECT_EQ(Mode(QFileInfo(page).absolutePath()), 0700u);
    }
    if (savedRuntime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
}

} // namespace
