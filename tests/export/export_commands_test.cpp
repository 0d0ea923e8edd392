#include "tests/export/export_fixture.h"
#include "tests/export/http_fetch.h"

#include "app/gui/export_files.h"
#include "movie/movie_builder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

namespace {

using ExportCommandsTest = ExportFixture;

TEST_F(ExportCommandsTest, PlayWritesTheScratchMovieAndAPlayingPageAndShowsItThroughTheServer) {
    AddMovingRectangle();
    saveDialog_.FileName = root_.filePath("earlier/choice.swf");
    QFile program(program_ + "clipmoor-cli"); // the program folder's own files stay private
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.close();
    commands_->PlayBtnClick();

    const QString movie = program_ + "playtemp.swf";
    const QString page = program_ + "playtemp.htm";
    EXPECT_EQ(saveDialog_.FileName, movie) << "Play leaves its name in the dialog";
    EXPECT_TRUE(ReadFile(movie).startsWith("FWS\x04"));
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(listClicks_, 1);

    const std::vector<std::string>& lines = commands_->PublishedLines();
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], PlayerScriptLine());
    EXPECT_EQ(lines[3], "width=\"640\" height=\"480\">");
    EXPECT_EQ(lines[4], "<param name=\"movie\" value=\"playtemp.swf\">");
    EXPECT_EQ(lines[6], "<embed src=\"playtemp.swf\" quality=\"high\" pluginspage=");
    EXPECT_EQ(ReadFile(page), PageBytes(lines));
    EXPECT_EQ(memo_.toPlainText().split('\n').size(), 11);
    EXPECT_TRUE(
        memo_.toPlainText().startsWith(QString::fromStdString(PlayerScriptLine()) + "\n<object"));

    // The page is opened through the program's own server, which hands out what was written
    // and nothing else of the folder.
    EXPECT_TRUE(ui_.opened.empty());
    ASSERT_EQ(ui_.openedPrivately.size(), 1u);
    const QUrl url = ui_.openedPrivately[0];
    EXPECT_EQ(url.scheme(), "http");
    EXPECT_EQ(url.host(), "127.0.0.1");
    EXPECT_TRUE(url.path().endsWith("/playtemp.htm"));
    EXPECT_EQ(Get(quint16(url.port()), url.path().toUtf8()).body, ReadFile(page));
    QByteArray moviePath = url.path().toUtf8().replace("playtemp.htm", "playtemp.swf");
    EXPECT_EQ(Get(quint16(url.port()), moviePath).body, ReadFile(movie));
    EXPECT_EQ(Get(quint16(url.port()), moviePath.replace("playtemp.swf", "clipmoor-cli")).status,
              404);

    // The progress bar counted every frame (one second at 10 frames a second) and went away.
    EXPECT_EQ(progress_.maximum(), 11);
    EXPECT_EQ(progress_.value(), 11);
    EXPECT_TRUE(progress_.isHidden());

    // A later "Create Flash file..." proposes the scratch movie.
    commands_->CreateFlashBtnClick();
    ASSERT_EQ(ui_.fileRequests.size(), 1u);
    EXPECT_EQ(ui_.fileRequests[0].initialFile, movie);
    EXPECT_EQ(ui_.fileRequests[0].nameFilters, QStringList("Flash movie (*.swf)"));
    EXPECT_EQ(ui_.fileRequests[0].defaultSuffix, "swf");
}

// With the desktop's real "open" (here a stand-in opener that notes its arguments and
// lingers), the page's secret address is on no process's command line.
TEST_F(ExportCommandsTest, TheSecretAddressReachesNoCommandLine) {
    QTemporaryDir bin;
    const QString noted = bin.filePath("arguments");
    QFile opener(bin.filePath("xdg-open"));
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + noted.toUtf8() + ".part'\nmv '" +
                 noted.toUtf8() + ".part' '" + noted.toUtf8() + "'\nsleep 5\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    auto desktop = std::make_unique<QtUiServices>();
    MakeCommands(desktop.get());
    AddMovingRectangle();
    commands_->PlayBtnClick();
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(noted) && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    qputenv("PATH", path);

    const QString page =
        QUrl::fromUserInput(QString::fromUtf8(ReadFile(noted)).trimmed()).toLocalFile();
    ASSERT_TRUE(QFileInfo(page).isFile()) << "the opener was given " << page.toStdString();
    const QRegularExpression address("url=(http://127\\.0\\.0\\.1:\\d+/(\\w+)/playtemp\\.htm)\"");
    const QRegularExpressionMatch match = address.match(QString::fromUtf8(ReadFile(page)));
    ASSERT_TRUE(match.hasMatch()) << ReadFile(page).constData();
    const QUrl url(match.captured(1));
    EXPECT_EQ(Get(quint16(url.port()), url.path().toUtf8()).body,
              ReadFile(program_ + "playtemp.htm"));

    const QByteArray secret = match.captured(2).toUtf8();
    int openerSeen = 0;
    for (const QFileInfo& process : QDir("/proc").entryInfoList(QDir::Dirs)) {
        const QByteArray commandLine = ReadFile(process.filePath() + "/cmdline");
        EXPECT_FALSE(commandLine.contains(secret)) << process.fileName().toStdString();
        openerSeen += commandLine.contains(QFile::encodeName(QFileInfo(page).fileName()));
    }
    EXPECT_GE(openerSeen, 1) << "the opener still runs while the command lines are read";

    commands_.reset();
    desktop.reset();
    EXPECT_FALSE(QFileInfo::exists(page)) << "the page goes with the program";
}

TEST_F(ExportCommandsTest, PlayWritesIntoTheCacheWhenTheProgramFolderTakesNoFiles) {
    AddMovingRectangle();
    // A program folder that cannot take files (here: a file in the way of it).
    QFile blocker(root_.filePath("installed"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    commands_->SetFolders(root_.filePath("installed") + "/", cache_);
    commands_->PlayBtnClick();
    EXPECT_TRUE(ReadFile(cache_ + "/playtemp.swf").startsWith("FWS"));
    EXPECT_EQ(ReadFile(cache_ + "/playtemp.htm"), PageBytes(commands_->PublishedLines()));
    ASSERT_EQ(ui_.openedPrivately.size(), 1u);
    EXPECT_TRUE(ui_.openedPrivately[0].path().endsWith("/playtemp.htm"));
}

TEST_F(ExportCommandsTest, CreateFlashFileNamesThePageAfterTheMovieFileOnly) {
    AddMovingRectangle();
    QDir().mkpath(root_.filePath("work.v2"));
    struct Case {
        QString movie, page;
    } cases[] = {
        {root_.filePath("work.v2/tour.swf"), root_.filePath("work.v2/tour.htm")},
        {root_.filePath("work.v2/tour"), root_.filePath("work.v2/tour.htm")},
        {root_.filePath("work.v2/my.tour.swf"), root_.filePath("work.v2/my.tour.htm")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.movie.toStdString());
        QFile::remove(c.page);
        ui_.openedPrivately.clear();
        ui_.fileAnswers = {c.movie};
        commands_->CreateFlashBtnClick();
        EXPECT_TRUE(ReadFile(c.movie).startsWith("FWS"));
        const std::vector<std::string>& lines = commands_->PublishedLines();
        ASSERT_EQ(lines.size(), 10u) << "the default page is the ten lines";
        const std::string name = QFileInfo(c.movie).fileName().toStdString();
        EXPECT_EQ(lines[3], "<param name=\"movie\" value=\"" + name + "\">");
        EXPECT_EQ(ReadFile(c.page), PageBytes(lines));
        EXPECT_EQ(memo_.toPlainText().split('\n').size(), 10);
        ASSERT_EQ(ui_.openedPrivately.size(), 1u);
        EXPECT_TRUE(ui_.openedPrivately[0].path().endsWith("/" + QFileInfo(c.page).fileName()));
    }
}

TEST_F(ExportCommandsTest, TheTwoCheckBoxesDecideWhatIsWrittenAndOpened) {
    AddMovingRectangle();
    const QString movie = root_.filePath("clip.swf");
    const QString page = root_.filePath("clip.htm");
    struct Case {
        bool html, show;
        bool pageWritten;
        QString opened; // "page", "movie" or empty
    } cases[] = {
        {true, true, true, "page"},
        {true, false, true, ""},
        {false, true, false, "movie"},
        {false, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "html " << c.html << ", show " << c.show);
        QFile::remove(movie); // no question about replacing it
        QFile::remove(page);
        ui_.opened.clear();
        ui_.openedPrivately.clear();
        memo_.clear();
        createHtml_.setChecked(c.html);
        autoLoad_.setChecked(c.show);
        ui_.fileAnswers = {movie};
        commands_->CreateFlashBtnClick();
        EXPECT_EQ(QFileInfo::exists(page), c.pageWritten);
        EXPECT_EQ(memo_.toPlainText().split('\n').size(), 10) << "the code is always shown";
        // The movie's file address is no secret; the page's server address is.
        EXPECT_EQ(ui_.opened.size(), c.opened == "movie" ? 1u : 0u);
        EXPECT_EQ(ui_.openedPrivately.size(), c.opened == "page" ? 1u : 0u);
        if (c.opened == "movie" && !ui_.opened.empty()) {
            EXPECT_EQ(ui_.opened[0], QUrl::fromLocalFile(movie));
        }
        if (c.opened == "page" && !ui_.openedPrivately.empty()) {
            EXPECT_TRUE(ui_.openedPrivately[0].path().endsWith("/clip.htm"));
        }
    }
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ExportCommandsTest, CancellingTheDialogBuildsNothing) {
    AddMovingRectangle();
    memo_.setPlainText("earlier code");
    commands_->CreateFlashBtnClick();
    EXPECT_EQ(ui_.fileRequests.size(), 1u);
    EXPECT_EQ(listClicks_, 0);
    EXPECT_EQ(memo_.toPlainText(), "earlier code");
    EXPECT_TRUE(ui_.opened.empty());
    EXPECT_TRUE(ui_.openedPrivately.empty());
}

TEST_F(ExportCommandsTest, AMovieThatCannotBeWrittenIsReportedAndNothingIsOpened) {
    AddMovingRectangle();
    memo_.setPlainText("earlier code");
    ui_.fileAnswers = {root_.filePath("no/such/folder/tour.swf")};
    commands_->CreateFlashBtnClick();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, kCannotCreateFileMessage);
    EXPECT_EQ(ui_.messages[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(ui_.opened.empty());
    EXPECT_TRUE(ui_.openedPrivately.empty());
    EXPECT_FALSE(QFileInfo::exists(root_.filePath("no/such/folder/tour.htm")));
    EXPECT_EQ(memo_.toPlainText(), "earlier code");
    EXPECT_EQ(listClicks_, 1) << "the list shows the current object again all the same";
}

TEST_F(ExportCommandsTest, APageThatCannotBeSavedIsReportedAndTheMovieStays) {
    AddMovingRectangle();
    QDir().mkpath(root_.filePath("tour.htm")); // a folder in the way of the page
    ui_.fileAnswers = {root_.filePath("tour.swf")};
    commands_->CreateFlashBtnClick();
    EXPECT_TRUE(ReadFile(root_.filePath("tour.swf")).startsWith("FWS"));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, QString(kPageNotSavedMessage).arg(root_.filePath("tour.htm")));
    EXPECT_TRUE(ui_.opened.empty());
    EXPECT_TRUE(ui_.openedPrivately.empty());
    EXPECT_EQ(memo_.toPlainText().split('\n').size(), 10);
}

TEST_F(ExportCommandsTest, APageForBrowsersWithoutFlashCarriesThePlayerBesideIt) {
    AddMovingRectangle();
    // A small stand-in player in the program folder; the real one plays in the browser test.
    QDir().mkpath(program_ + "player");
    for (const char* name : {"ruffle.js", "core.ruffle.00ff.js", "1234abcd.wasm", "LICENSE_MIT"}) {
        QFile file(program_ + "player/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(name);
    }
    MakeCommands();
    playerPage_.setChecked(true);
    QDir().mkpath(root_.filePath("site"));
    ui_.fileAnswers = {root_.filePath("site/tour.swf")};
    commands_->CreateFlashBtnClick();

    const std::vector<std::string>& lines = commands_->PublishedLines();
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], PlayerScriptLine());
    EXPECT_EQ(ReadFile(root_.filePath("site/tour.htm")), PageBytes(lines));
    QStringList memoLines = memo_.toPlainText().split('\n');
    ASSERT_EQ(memoLines.size(), 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(memoLines[i].toStdString(), lines[size_t(i)]) << "Memo1 shows the page";
    for (const char* name : {"ruffle.js", "core.ruffle.00ff.js", "1234abcd.wasm", "LICENSE_MIT"})
        EXPECT_EQ(ReadFile(root_.filePath("site/") + name), name);

    // Without the player the page cannot play: said so, and no page is written.
    QDir(program_ + "player").removeRecursively();
    MakeCommands();
    ui_.messages.clear();
    QDir().mkpath(root_.filePath("other"));
    ui_.fileAnswers = {root_.filePath("other/tour.swf")};
    commands_->CreateFlashBtnClick();
    EXPECT_EQ(ui_.messages.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(root_.filePath("other/tour.htm")));
}

TEST_F(ExportCommandsTest, ARunningBuildCannotBeStartedAgainAndHoldsOffTheWindow) {
    AddMovingRectangle();
    createBtn_.setEnabled(false); // stays as it was after the build
    bool sawBuild = false, playEnabled = true, progressShown = false;
    bool closed = true;
    QTimer::singleShot(0, [&] {
        sawBuild = commands_->Building();
        playEnabled = playBtn_.isEnabled();
        progressShown = progress_.isVisibleTo(&owner_) || !progress_.isHidden();
        commands_->PlayBtnClick();
        commands_->CreateFlashBtnClick();
        EXPECT_FALSE(commands_->BuildMovie(program_ + "other.swf"));
        closed = owner_.close();
    });
    commands_->PlayBtnClick();
    EXPECT_TRUE(sawBuild);
    EXPECT_FALSE(playEnabled);
    EXPECT_TRUE(progressShown);
    EXPECT_FALSE(closed) << "the window stays while its project is being built";
    EXPECT_EQ(listClicks_, 1) << "one build only";
    EXPECT_TRUE(ui_.fileRequests.empty());
    EXPECT_FALSE(commands_->Building());
    EXPECT_TRUE(playBtn_.isEnabled());
    EXPECT_FALSE(createBtn_.isEnabled());
    EXPECT_TRUE(owner_.close()) << "and may close again afterwards";
}

TEST_F(ExportCommandsTest, ABuildDuringARecordingLetsNoCaptureRunInTheMiddle) {
    AddMovingRectangle();
    recording_ = true;
    bool ranDuringBuild = false;
    QTimer capture;
    capture.setSingleShot(true);
    QObject::connect(&capture, &QTimer::timeout, [&] { ranDuringBuild = commands_->Building(); });
    capture.start(0);
    commands_->PlayBtnClick();
    EXPECT_FALSE(ranDuringBuild);
    EXPECT_TRUE(capture.isActive()) << "the capture comes after the build";
    EXPECT_TRUE(QFileInfo::exists(program_ + "playtemp.swf"));
}

} // namespace
