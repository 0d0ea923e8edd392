#include "app/gui/local_web_server.h"
#include "tests/export/http_fetch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

long ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (QByteArray line; !(line = status.readLine()).isEmpty();)
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

qsizetype OpenDescriptors() {
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System).size();
}

// Clients in a child process (their descriptors are not this process's) that connect and
// then idle: every other one sends half a request. They stay until the object goes.
class IdleCrowd {
public:
    IdleCrowd(quint16 port, int count) {
        int report[2], release[2];
        if (::pipe(report) != 0 || ::pipe(release) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(report[0]);
            ::close(release[1]);
            int connected = Connect(port, count);
            (void)!::write(report[1], &connected, sizeof connected);
            char byte;
            (void)!::read(release[0], &byte, 1); // until the parent closes its end
            ::_exit(0);
        }
        ::close(report[1]);
        ::close(release[0]);
        report_ = report[0];
        release_ = release[1];
    }
    ~IdleCrowd() {
        ::close(report_);
        ::close(release_);
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
    }
    // How many connected, once they all tried; -1 while they still do.
    int Connected() {
        pollfd ready{report_, POLLIN, 0};
        int connected = -1;
        if (::poll(&ready, 1, 0) == 1 && ::read(report_, &connected, sizeof connected) <= 0)
            connected = 0;
        return connected;
    }

private:
    static int Connect(quint16 port, int count) {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, rlim_t(count) + 64);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::vector<int> sockets;
        for (int i = 0; i < count; ++i) {
            int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            if (fd < 0)
                break;
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            sockets.push_back(fd);
        }
        int connected = 0;
        for (size_t i = 0; i < sockets.size(); ++i) {
            pollfd writable{sockets[i], POLLOUT, 0};
            int error = -1;
            socklen_t length = sizeof error;
            if (::poll(&writable, 1, 30000) == 1 &&
                ::getsockopt(sockets[i], SOL_SOCKET, SO_ERROR, &error, &length) == 0 && !error)
                ++connected;
            static constexpr char kHalfRequest[] = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n";
            if (i % 2 == 0)
                ::send(sockets[i], kHalfRequest, sizeof kHalfRequest - 1, MSG_NOSIGNAL);
        }
        return connected;
    }

    pid_t pid_ = -1;
    int report_ = -1;
    int release_ = -1;
};

// A site folder with a page and a movie that the program wrote, files it did not write in
// the folder, beside it and in a subfolder, and a player folder.
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
        WriteFile(site_ + "/clipmoor-cli", "SECRET program");
        WriteFile(site_ + "/sub/inner.htm", "inner");
        WriteFile(root_.filePath(QStringLiteral("secret.txt")), "SECRET");
        QFile::link(root_.filePath(QStringLiteral("secret.txt")), site_ + "/link.txt");
        WriteFile(root_.filePath(QStringLiteral("player/ruffle.js")), "// loader");
        WriteFile(root_.filePath(QStringLiteral("player/0a1b2c.wasm")), QByteArray(5000, '\0'));

        server_.SetPlayerFolder(root_.filePath(QStringLiteral("player")));
        ASSERT_TRUE(server_.Start());
        pageUrl_ = server_.ServePage(site_, {"tour.htm", "tour.swf", ".hidden", "link.txt"});
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
    EXPECT_EQ(server_.ServePage(site_, {"tour.swf"}).path(), InSite("tour.swf"));
    QUrl inner = server_.ServePage(site_ + "/sub", {"inner.htm"});
    EXPECT_FALSE(inner.path().startsWith(QString::fromUtf8(folderPath_)));
    EXPECT_EQ(inner.path().size(), pageUrl_.path().size() + 1) << "a prefix of 128 bits";
    EXPECT_EQ(Get(server_.Port(), inner.path().toUtf8()).body, "inner");
    EXPECT_TRUE(server_.ServePage(root_.filePath("missing"), {"page.htm"}).isEmpty());
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

    // The player, by its names, in a shown folder that was given no copy of its own.
    HttpAnswer wasm = Get(server_.Port(), InSite("0a1b2c.wasm"));
    EXPECT_EQ(wasm.status, 200);
    EXPECT_EQ(wasm.Header("Content-Type"), "application/wasm");
    EXPECT_EQ(wasm.body, QByteArray(5000, '\0'));
    EXPECT_EQ(Get(server_.Port(), InSite("ruffle.js")).Header("Content-Type"),
              "text/javascript; charset=utf-8");
    // A copy that lies in the folder counts once the program says it wrote it.
    WriteFile(site_ + "/ruffle.js", "// own copy");
    EXPECT_EQ(Get(server_.Port(), InSite("ruffle.js")).body, "// loader");
    server_.ServePage(site_, {"tour.htm", "ruffle.js"});
    EXPECT_EQ(Get(server_.Port(), InSite("ruffle.js")).body, "// own copy");

    HttpAnswer head = Get(server_.Port(), InSite("tour.swf"), "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("Content-Length"), "64");
    EXPECT_TRUE(head.body.isEmpty());
    // Names are percent-decoded.
    WriteFile(site_ + "/my movie.htm", "spaced");
    server_.ServePage(site_, {"my movie.htm"});
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
        InSite("clipmoor-cli"), // in the folder, but not written for the page
        InSite(""),
        InSite("tour.htm%00.txt"),
        folderPath_.chopped(1),
        "/player/ruffle.js", // the player only inside a shown folder
        "/player/../secret.txt",
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

TEST_F(WebServerTest, AMovieOfTwoGigabytesIsSentWithBoundedMemory) {
    const qint64 size = qint64(2) << 30;
    QFile movie(site_ + "/big.swf");
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    ASSERT_TRUE(movie.resize(size)); // sparse: no disk space
    movie.close();
    const QByteArray path = server_.ServePage(site_, {"big.swf"}).path().toUtf8();
    const long before = ResidentKiB();
    long peak = before;
    QElapsedTimer sampled;
    sampled.start();
    HttpAnswer answer = FetchRaw(server_.Port(),
                                 "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                                     QByteArray::number(server_.Port()) + "\r\n\r\n",
                                 false, [&] {
                                     if (sampled.elapsed() < 10)
                                         return;
                                     sampled.restart();
                                     peak = std::max(peak, ResidentKiB());
                                 });
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.Header("Content-Length"), QByteArray::number(size));
    EXPECT_EQ(answer.bodyBytes, size);
    ASSERT_GT(before, 0);
    EXPECT_LT(peak - before, 16 * 1024) << "KiB more while sending";
}

TEST_F(WebServerTest, IdleClientsNeitherBlockRequestsNorTakeAllDescriptors) {
    const int crowdSize = 2000;
    IdleCrowd crowd(server_.Port(), crowdSize);
    const qsizetype descriptors = OpenDescriptors();
    qsizetype peak = descriptors;
    int connected = -1;
    QElapsedTimer clock;
    clock.start();
    while (connected < 0 && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        peak = std::max(peak, OpenDescriptors());
        connected = crowd.Connected();
    }
    ASSERT_EQ(connected, crowdSize);

    // They are all still connected (or waiting in the queue) when a real client comes.
    clock.restart();
    HttpAnswer page = Get(server_.Port(), pageUrl_.path().toUtf8());
    EXPECT_LT(clock.elapsed(), 1000) << "ms for the page";
    EXPECT_EQ(page.status, 200);
    peak = std::max(peak, OpenDescriptors());
    EXPECT_LE(peak - descriptors, LocalWebServer::kMaxConnections + 4);
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
