// Play, end to end: the page that Play writes, served by the program's own server, plays the
// movie in a real browser (headless Chromium with the browser player), and the movie moves.
#include "tests/export/export_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstdlib>
#include <cstring>

namespace {

struct Shot {
    int width = 0, height = 0;
    QByteArray rgb;
    bool Near(int x, int y, int r, int g, int b, int tolerance = 40) const {
        const auto* p = reinterpret_cast<const uint8_t*>(rgb.constData()) + 3 * (y * width + x);
        return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance &&
               std::abs(p[2] - b) <= tolerance;
    }
    int CountDark(int left, int top, int right, int bottom) const {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                count += Near(x, y, 0, 0, 0, 80);
        return count;
    }
};

Shot ReadPpm(const QString& path) {
    QFile file(path);
    Shot shot;
    if (!file.open(QIODevice::ReadOnly))
        return shot;
    QList<QByteArray> header;
    while (header.size() < 4) {
        QByteArray line = file.readLine().trimmed();
        for (const QByteArray& part : line.split(' '))
            if (!part.isEmpty())
                header << part;
    }
    if (header[0] != "P6")
        return shot;
    shot.width = header[1].toInt();
    shot.height = header[2].toInt();
    shot.rgb = file.read(qint64(shot.width) * shot.height * 3);
    return shot;
}

class ExportBrowserTest : public ExportFixture {};

TEST_F(ExportBrowserTest, ThePageThatPlayWritesPlaysTheMovingMovieInTheBrowser) {
    const QString nodeDir = QString::fromLocal8Bit(qgetenv("CLIPMOOR_NODE_DIR"));
    ASSERT_TRUE(QFileInfo::exists(nodeDir + "/node_modules/playwright-core"))
        << "npm packages missing from " << nodeDir.toStdString() << ": run ./test.sh";
    const QString installedPlayer = CLIPMOOR_PROGRAM_DIR "/player";
    ASSERT_TRUE(QFileInfo::exists(installedPlayer + "/ruffle.js"))
        << "the browser player is missing from the program folder: run tools/install-deps.sh";
    // The temporary program folder gets the real player.
    ASSERT_TRUE(QFile::link(installedPlayer, program_ + "player"));
    MakeCommands();

    // A red rectangle moving from the upper left to the lower right, a black text and a
    // green picture that stay.
    AddMovingRectangle();
    AnimObject* text = AddTextObject(project_);
    std::free(text->Text);
    std::free(text->FontName);
    text->Text = strdup("Hello");
    text->FontName = strdup("Arial");
    text->Start = BoxState(40, 380, 340, 460, 0, 0x000000);
    text->Start.FontSize = 60;
    text->End = text->Start;
    text->End.Time = 1000;
    DibImage picture{};
    Pictavo().newdib(&picture, 50, 50, 24, nullptr, 0);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) {
            uint8_t* pixel = DibRow(picture, y) + 3 * x;
            pixel[0] = 0, pixel[1] = 200, pixel[2] = 0; // blue, green, red
        }
    AnimObject* image = AddPictureObject(project_, picture);
    image->Start = BoxState(400, 40, 500, 140, 0, 0);
    image->End = BoxState(400, 40, 500, 140, 1000, 0);

    commands_->PlayBtnClick();
    ASSERT_TRUE(ui_.messages.empty());
    ASSERT_EQ(ui_.openedPrivately.size(), 1u);
    const QUrl url = ui_.openedPrivately[0];
    ASSERT_EQ(url.scheme(), "http");

    QTemporaryDir shots;
    QProcess node;
    node.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    node.start("node", {CLIPMOOR_SOURCE_DIR "/tests/export/page_in_browser.mjs", "--url",
                        url.toString(), "--width", "640", "--height", "480", "--at", "150,850",
                        "--out", shots.path(), "--node-dir", nodeDir});
    ASSERT_TRUE(node.waitForStarted());
    // The program's server answers on this thread while the browser runs.
    QElapsedTimer clock;
    clock.start();
    while (node.state() != QProcess::NotRunning && clock.elapsed() < 240000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (node.state() != QProcess::NotRunning) {
        node.kill();
        node.waitForFinished();
        FAIL() << "the browser did not finish";
    }
    const QByteArray output = node.readAllStandardOutput();
    QJsonObject result = QJsonDocument::fromJson(output.trimmed().split('\n').last()).object();
    ASSERT_TRUE(result["ok"].toBool()) << output.constData();
    EXPECT_EQ(result["frameRate"].toDouble(), 10);

    Shot early = ReadPpm(shots.filePath("shot-150.ppm"));
    Shot late = ReadPpm(shots.filePath("shot-850.ppm"));
    ASSERT_EQ(early.width, 640);
    ASSERT_EQ(late.height, 480);
    // Frame 1 (100 ms): the rectangle is a tenth of the way, 48 pixels right and 32 down of
    // its start; frame 8 (800 ms): eight tenths.
    EXPECT_TRUE(early.Near(118, 102, 255, 0, 0));
    EXPECT_TRUE(late.Near(454, 326, 255, 0, 0));
    EXPECT_FALSE(late.Near(118, 102, 255, 0, 0)) << "the rectangle has moved on";
    EXPECT_FALSE(early.Near(454, 326, 255, 0, 0));
    // The picture and the text stay where they are.
    for (const Shot* shot : {&early, &late}) {
        EXPECT_TRUE(shot->Near(450, 90, 0, 200, 0));
        EXPECT_TRUE(shot->Near(20, 20, 255, 255, 255)) << "white stage around the objects";
        EXPECT_GT(shot->CountDark(40, 380, 340, 460), 500) << "the text's glyphs";
    }
}

} // namespace
