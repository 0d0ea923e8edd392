#include "app/gui/local_web_server.h"
#include "tests/export/http_fetch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// A site folder with a page and a movie, a secret file beside the folder and one in a
// subfolder, and a player folder.
class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        QDir(root_.path()).mkpath(QStringLiteral("site/sub"));
        QDir(root_.path()).mkpath(QStringLiteral("player"));
        site_ = root_.filePath(QStringLiteral("site"));
        WriteFile(site_ + "/tour.htm", "<embed src=\"tour.swf\">");
        WriteFile(site_ + "/tour.swf", QByteArray("FWS\x04", 4) + QByteArray(60, 'x'));
        WriteFile(site_ + "/.hidden", "hidden");
        WriteFile(site_ + "/sub/inner.htm", "inner");
        WriteFile(root_.filePath(QStringLiteral("secret.txt")), "SECRET");
        QFile::link(root_.filePath(QStringLiteral("secret.txt")), site_ + "/link.txt");
        WriteFile(root_.filePath(QStringLiteral("player/ruffle.js")), "// loader");
        WriteFile(root_.filePath(QStringLiteral("player/0a1b2c.wasm")), QByteArray(5000, '\0'));

        server_.SetPlayerFolder(root_.filePath(QStringLiteral("player")));
        ASSERT_TRUE(server_.Start());
        pageUrl_ = server_.UrlFor(site_ + "/tour.htm");
        ASSERT_FALSE(pageUrl_.isEmpty());
        folderPath_ = pageUrl_.path().left(pageUrl_.path().lastIndexOf('/') + 1).toUtf8();
    }

    QByteArray InSite(const QByteArray& name) const { return folderPath_ + name; }

    QTemporaryDir root_;
    QString site_;
    LocalWebServer server_;
    QUrl pageUrl_;
    QByteArray folderPath_; // "/<token>/"
};

TEST_F(WebServerTest, ListensOnLoopbackAndGivesAddressesOfTheShownFolder) {
    EXPECT_EQ(pageUrl_.scheme(), "http");
    EXPECT_EQ(pageUrl_.host(), "127.0.0.1");
    EXPECT_EQ(pageUrl_.port(), server_.Port());
    EXPECT_TRUE(pageUrl_.path().endsWith("/tour.htm"));
    // The same folder keeps its address; another folder gets another one.
    EXPECT_EQ(server_.UrlFor(site_ + "/tour.swf").path(), InSite("tour.swf"));
    QUrl inner = server_.UrlFor(site_ + "/sub/inner.htm");
    EXPECT_FALSE(inner.path().startsWith(QString::fromUtf8(folderPath_)));
    EXPECT_EQ(Get(server_.Port(), inner.path().toUtf8()).body, "inner");
    EXPECT_TRUE(server_.UrlFor(root_.filePath("missing/page.htm")).isEmpty());
}

TEST_F(WebServerTest, ServesFilesWithTheirTypes) {
    HttpAnswer page = Get(server_.Port(), pageUrl_.path().toUtf8());
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body, "<embed src=\"tour.swf\">");
    EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(page.Header("Content-Length"), QByteArray::number(page.body.size()));
    // Play rewrites the same names: the browser must not keep an old movie.
    EXPECT_EQ(page.Header("Cache-Control"), "no-store");

    HttpAnswer movie = Get(server_.Port(), InSite("tour.swf"));
    EXPECT_EQ(movie.status, 200);
    EXPECT_EQ(movie.Header("Content-Type"), "application/x-shockwave-flash");
    EXPECT_EQ(movie.body.size(), 64);

    // The player: under /player/ and, by its names, in a shown folder without a copy.
    for (const QByteArray& path : {QByteArray("/player/0a1b2c.wasm"), InSite("0a1b2c.wasm")}) {
        HttpAnswer wasm = Get(server_.Port(), path);
        EXPECT_EQ(wasm.status, 200) << path.constData();
        EXPECT_EQ(wasm.Header("Content-Type"), "application/wasm");
        EXPECT_EQ(wasm.body, QByteArray(5000, '\0'));
    }
    EXPECT_EQ(Get(server_.Port(), InSite("ruffle.js")).Header("Content-Type"),
              "text/javascript; charset=utf-8");
    // A folder's own copy of the player wins.
    WriteFile(site_ + "/ruffle.js", "// own copy");
    EXPECT_EQ(Get(server_.Port(), InSite("ruffle.js")).body, "// own copy");

    HttpAnswer head = Get(server_.Port(), InSite("tour.swf"), "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("Content-Length"), "64");
    EXPECT_TRUE(head.body.isEmpty());
    // Names are percent-decoded.
    WriteFile(site_ + "/my movie.htm", "spaced");
    EXPECT_EQ(Get(server_.Port(), InSite("my%20movie.htm")).body, "spaced");
}

TEST_F(WebServerTest, NothingOutsideTheShownFolderIsReachable) {
    const QList<QByteArray> attempts = {
        InSite("../secret.txt"),
        InSite("..%2Fsecret.txt"),
        InSite("..%2fsecret.txt"),
        InSite("%2e%2e%2Fsecret.txt"),
        InSite("..%5Csecret.txt"),
        InSite("sub/../../secret.txt"),
        InSite("link.txt"), // a link that leads out of the folder
        InSite("sub%2Finner.htm"),
        InSite("sub/inner.htm"),
        InSite(".hidden"),
        InSite(""),
        InSite("tour.htm%00.txt"),
        folderPath_.chopped(1),
        "/player/../secret.txt",
        "/player/..%2Fsecret.txt",
        "/player/",
        "/" + QByteArray(16, '0') + "/tour.htm", // a folder that was never shown
        "/secret.txt",
        "/",
        "//etc/passwd",
        "/../../../../etc/passwd",
        "/%2e%2e/%2e%2e/etc/passwd",
    };
    for (const QByteArray& target : attempts) {
        HttpAnswer answer = Get(server_.Port(), target);
        EXPECT_EQ(answer.status, 404) << target.constData();
        EXPECT_FALSE(answer.body.contains("SECRET")) << target.constData();
        EXPECT_FALSE(answer.body.contains("root:")) << target.constData();
    }
    // A request line without an absolute path is refused as malformed.
    EXPECT_EQ(FetchRaw(server_.Port(), "GET ../secret.txt HTTP/1.1\r\nHost: 127.0.0.1:" +
                                           QByteArray::number(server_.Port()) + "\r\n\r\n")
                  .status,
              400);
}

TEST_F(WebServerTest, RefusesOtherMethodsHostsAndOversizedRequests) {
    const QByteArray port = QByteArray::number(server_.Port());
    HttpAnswer post = Get(server_.Port(), pageUrl_.path().toUtf8(), "POST");
    EXPECT_EQ(post.status, 405);
    EXPECT_EQ(post.Header("Allow"), "GET, HEAD");

    // A page of another site whose name resolves to this machine gets nothing.
    HttpAnswer foreign =
        FetchRaw(server_.Port(), "GET " + pageUrl_.path().toUtf8() +
                                     " HTTP/1.1\r\nHost: evil.example:" + port + "\r\n\r\n");
    EXPECT_EQ(foreign.status, 403);
    EXPECT_TRUE(foreign.body.isEmpty());
    HttpAnswer noHost =
        FetchRaw(server_.Port(), "GET " + pageUrl_.path().toUtf8() + " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(noHost.status, 403);
    HttpAnswer localhost =
        FetchRaw(server_.Port(), "GET " + pageUrl_.path().toUtf8() +
                                     " HTTP/1.1\r\nHost: localhost:" + port + "\r\n\r\n");
    EXPECT_EQ(localhost.status, 200);

    HttpAnswer huge =
        FetchRaw(server_.Port(), "GET /" + QByteArray(40000, 'a') +
                                     " HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n\r\n");
    EXPECT_EQ(huge.status, 431);
    EXPECT_EQ(FetchRaw(server_.Port(), "garbage\r\n\r\n").status, 400);
    // The server goes on serving after all that.
    EXPECT_EQ(Get(server_.Port(), pageUrl_.path().toUtf8()).status, 200);
}

TEST(WebServerTypes, KnowsThePlayersFilesAndTheirTypes) {
    EXPECT_TRUE(LocalWebServer::IsPlayerFileName("ruffle.js"));
    EXPECT_TRUE(LocalWebServer::IsPlayerFileName("core.ruffle.c80159b526e567babaf5.js"));
    EXPECT_TRUE(LocalWebServer::IsPlayerFileName("72a20ef1c0b8ceb37720.wasm"));
    EXPECT_FALSE(LocalWebServer::IsPlayerFileName("tour.htm"));
    EXPECT_FALSE(LocalWebServer::IsPlayerFileName("evil.js"));
    EXPECT_FALSE(LocalWebServer::IsPlayerFileName("ruffle.js.map"));
    EXPECT_EQ(LocalWebServer::ContentTypeFor("A.WASM"), "application/wasm");
    EXPECT_EQ(LocalWebServer::ContentTypeFor("page.HTM"), "text/html; charset=utf-8");
    EXPECT_EQ(LocalWebServer::ContentTypeFor("noextension"), "application/octet-stream");
}

} // namespace
