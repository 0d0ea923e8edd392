#include "tests/export/export_fixture.h"
#include "tests/export/http_fetch.h"

#include "app/gui/export_files.h"
#include "movie/movie_builder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <cerrno>

namespace {

using ExportCommandsTest = ExportFixture;

TEST_F(ExportCommandsTest, PlayWritesTheScratchMovieAndAPlayingPageAndShowsItThroughTheServer) {
    AddMovingRectangle();
    playerPage_.setChecked(true);
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

// "Create video file...": the name's extension picks the format, the desktop's program shows
// the video, and a name of no video format writes nothing.
TEST_F(ExportCommandsTest, CreateVideoWritesTheChosenFormatAndShowsIt) {
    AddMovingRectangle();
    const QString video = root_.filePath("clip.webm");
    ui_.fileAnswers = {video, root_.filePath("clip.avi")};
    commands_->CreateVideoBtnClick();
    ASSERT_EQ(ui_.fileRequests.size(), 1u);
    EXPECT_EQ(ui_.fileRequests[0].nameFilters,
              QStringList({"MP4 video (*.mp4)", "WebM video (*.webm)", "GIF animation (*.gif)"}));
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(ReadFile(video).startsWith("\x1A\x45\xDF\xA3")) << "a WebM (Matroska) file";
    EXPECT_EQ(ui_.opened, std::vector<QUrl>{QUrl::fromLocalFile(video)});
    EXPECT_TRUE(progress_.isHidden());
    EXPECT_TRUE(videoBtn_.isEnabled());

    commands_->CreateVideoBtnClick();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, QString::fromUtf8(kVideoNameMessage));
    EXPECT_FALSE(QFileInfo::exists(root_.filePath("clip.avi")));
}

// While a video is written, only Cancel (or Escape) reaches the window: other clicks are
// dropped, and cancelling leaves no file and no message.
TEST_F(ExportCommandsTest, CancellingAVideoLeavesNoFileAndOtherInputIsDropped) {
    AnimObject* object = AddMovingRectangle();
    object->End.Time = 120000; // long enough to be cancelled in the middle
    const QString video = root_.filePath("clip.mp4");
    QPushButton other;
    int otherClicks = 0;
    QObject::connect(&other, &QPushButton::clicked, [&] { ++otherClicks; });
    for (const bool byKey : {false, true}) {
        SCOPED_TRACE(byKey ? "Escape" : "Cancel button");
        ui_.fileAnswers = {video};
        QTimer::singleShot(300, [&] {
            EXPECT_TRUE(cancelBtn_.isVisible());
            QTest::mouseClick(&other, Qt::LeftButton);
            QTest::keyClick(&memo_, Qt::Key_X);
            if (byKey)
                QTest::keyClick(&memo_, Qt::Key_Escape);
            else
                QTest::mouseClick(&cancelBtn_, Qt::LeftButton);
        });
        commands_->CreateVideoBtnClick();
        EXPECT_LT(progress_.value(), progress_.maximum()) << "the video was finished";
        EXPECT_EQ(QDir(root_.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        EXPECT_TRUE(ui_.messages.empty());
        EXPECT_TRUE(ui_.opened.empty());
        EXPECT_EQ(otherClicks, 0) << "a click during the build went through";
        EXPECT_EQ(memo_.toPlainText(), "") << "a key during the build went through";
        EXPECT_TRUE(cancelBtn_.isHidden());
        EXPECT_TRUE(videoBtn_.isEnabled());
    }
    // Afterwards the window takes input again.
    QTest::mouseClick(&other, Qt::LeftButton);
    EXPECT_EQ(otherClicks, 1);
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
    playerPage_.setChecked(true); // the page written is the page shown
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

// Every combination of the three boxes, for Play and for Create: the boxes decide what is
// written; a shown movie always plays, on a page served with the player.
TEST_F(ExportCommandsTest, TheBoxesDecideWhatIsWrittenAndAShownMovieAlwaysPlays) {
    AddMovingRectangle();
    const QString player = program_ + "player/";
    QDir().mkpath(player);
    for (const char* name :
         {"ruffle.js", "core.ruffle.0a.js", "0b.wasm", "LICENSE_MIT", "core.ruffle.0a.js.map"}) {
        QFile file(player + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(name);
    }
    MakeCommands(); // finds the player
    for (const bool play : {true, false})
        for (int boxes = 0; boxes < 8; ++boxes) {
            const bool html = boxes & 1, show = boxes & 2, withPlayer = boxes & 4;
            SCOPED_TRACE(testing::Message() << (play ? "Play" : "Create") << ": html " << html
                                            << ", show " << show << ", player " << withPlayer);
            const QString folder = play ? program_ : root_.filePath("site") + "/";
            const QString movie = folder + (play ? "playtemp.swf" : "clip.swf");
            const QString page = folder + (play ? "playtemp.htm" : "clip.htm");
            if (play) {
                QFile::remove(movie);
                QFile::remove(page);
            } else {
                QDir(folder).removeRecursively();
                QDir().mkpath(folder);
            }
            ui_.opened.clear();
            ui_.openedPrivately.clear();
            createHtml_.setChecked(html);
            autoLoad_.setChecked(show);
            playerPage_.setChecked(withPlayer);
            if (play) {
                commands_->PlayBtnClick();
            } else {
                ui_.fileAnswers = {movie};
                commands_->CreateFlashBtnClick();
            }
            ASSERT_TRUE(ReadFile(movie).startsWith("FWS"));
            const std::vector<std::string>& lines = commands_->PublishedLines();
            EXPECT_EQ(lines.size(), withPlayer ? 11u : 10u);
            EXPECT_EQ(lines[0] == PlayerScriptLine(), withPlayer);
            EXPECT_EQ(memo_.toPlainText().split('\n').size(), int(lines.size()));
            EXPECT_EQ(QFileInfo::exists(page), html);
            if (html) {
                EXPECT_EQ(ReadFile(page), PageBytes(lines));
            }
            // Play lends its scratch folder the installed player; Create copies it, no maps.
            EXPECT_EQ(QFileInfo::exists(folder + "ruffle.js"), withPlayer && !play);
            EXPECT_EQ(QFileInfo::exists(folder + "0b.wasm"), withPlayer && !play);
            EXPECT_FALSE(QFileInfo::exists(folder + "core.ruffle.0a.js.map"));

            EXPECT_TRUE(ui_.opened.empty()) << "never the bare movie nor a file";
            if (!show) {
                EXPECT_TRUE(ui_.openedPrivately.empty());
                continue;
            }
            ASSERT_EQ(ui_.openedPrivately.size(), 1u);
            const QUrl url = ui_.openedPrivately[0];
            const quint16 port = quint16(url.port());
            const QByteArray path = url.path().toUtf8();
            EXPECT_TRUE(path.endsWith("/" + QFileInfo(page).fileName().toUtf8()));
            const QByteArray shown = Get(port, path).body;
            EXPECT_TRUE(shown.startsWith(QByteArray::fromStdString(PlayerScriptLine())));
            if (html && withPlayer) {
                EXPECT_EQ(shown, ReadFile(page));
            }
            const QByteArray prefix = path.left(path.lastIndexOf('/') + 1);
            EXPECT_EQ(Get(port, prefix + QFileInfo(movie).fileName().toUtf8()).body,
                      ReadFile(movie));
            const HttpAnswer loader = Get(port, prefix + "ruffle.js");
            EXPECT_EQ(loader.status, 200);
            EXPECT_EQ(loader.body, "ruffle.js");
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
    EXPECT_EQ(ui_.messages[0].text, "Can not create the file! (The folder does not exist.)");
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
    EXPECT_EQ(ui_.messages[0].text,
              QString(kPageNotSavedMessage).arg(root_.filePath("tour.htm")) + "\n" +
                  QString::fromStdString(CannotCreateFileMessage(FileErrorReason(EISDIR))));
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
