#include "app/gui/export_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(PlayFolder, IsTheProgramFolderWhenWritableElseTheCacheFolder) {
    QTemporaryDir root;
    QString program = root.filePath("bin");
    QString cache = root.filePath("cache/clipmoor");
    QDir().mkpath(program);
    EXPECT_EQ(PlayFolder(program, cache), program + "/");
    EXPECT_EQ(PlayFolder(program + "/", cache), program + "/");
    EXPECT_FALSE(QFileInfo::exists(cache)) << "the cache is made only when needed";
    // The probe leaves nothing behind.
    EXPECT_TRUE(
        QDir(program).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());

    // A "folder" that is a file cannot take files: the cache is made and used.
    WriteFile(root.filePath("file"), "x");
    EXPECT_FALSE(CanCreateFilesIn(root.filePath("file")));
    EXPECT_EQ(PlayFolder(root.filePath("file"), cache), cache + "/");
    EXPECT_TRUE(QFileInfo(cache).isDir());
}

TEST(PlayFolder, AnInstalledProgramFolderOfAnotherUserIsNotWritten) {
    // What an installed program meets: a folder owned by root, run as an ordinary user.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    QTemporaryDir root;
    QString program = root.filePath("lib");
    QString cache = root.filePath("cache");
    QDir().mkpath(program);
    QDir().mkpath(cache);
    QFile::setPermissions(root.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther);
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                       QFileDevice::ExeOther);
    ASSERT_EQ(chown(cache.toLocal8Bit().constData(), 65534, 65534), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        _exit(PlayFolder(program, cache) == cache + "/" ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

class PlayerFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = root_.filePath("bin");
        player_ = program_ + "/player";
        QDir().mkpath(player_);
        WriteFile(player_ + "/ruffle.js", "loader");
        WriteFile(player_ + "/core.ruffle.0123abcd.js", "core");
        WriteFile(player_ + "/89abcdef.wasm", QByteArray(3000, 'w'));
        WriteFile(player_ + "/LICENSE_MIT", "licence");
        WriteFile(player_ + "/ruffle.js.map", "source map");
        WriteFile(player_ + "/package.json", "{}");
        target_ = root_.filePath("site.v2");
        QDir().mkpath(target_);
    }
    QTemporaryDir root_;
    QString program_, player_, target_;
};

TEST_F(PlayerFilesTest, FindsAndCopiesOnlyWhatAPageNeeds) {
    EXPECT_EQ(InstalledPlayerFolder(program_ + "/"), player_);
    EXPECT_EQ(PlayerFileNames(player_), QStringList({"89abcdef.wasm", "LICENSE_MIT",
                                                     "core.ruffle.0123abcd.js", "ruffle.js"}));

    QString error;
    ASSERT_TRUE(CopyPlayerFiles(player_, target_, &error)) << error.toStdString();
    EXPECT_EQ(QDir(target_).entryList(QDir::Files, QDir::Name), PlayerFileNames(player_));
    EXPECT_EQ(ReadFile(target_ + "/89abcdef.wasm"), QByteArray(3000, 'w'));

    // A stale copy of another size is replaced; a copy of the same size is kept.
    WriteFile(target_ + "/ruffle.js", "old loader, longer");
    WriteFile(target_ + "/core.ruffle.0123abcd.js", "CORE");
    ASSERT_TRUE(CopyPlayerFiles(player_, target_, &error));
    EXPECT_EQ(ReadFile(target_ + "/ruffle.js"), "loader");
    EXPECT_EQ(ReadFile(target_ + "/core.ruffle.0123abcd.js"), "CORE");
}

TEST_F(PlayerFilesTest, AMissingPlayerOrAFailedCopyIsReported) {
    QString error;
    EXPECT_EQ(InstalledPlayerFolder(root_.filePath("elsewhere")), QString());
    EXPECT_FALSE(CopyPlayerFiles(QString(), target_, &error));
    EXPECT_FALSE(error.isEmpty());

    // A folder in the way of a file's name.
    error.clear();
    QDir().mkpath(target_ + "/ruffle.js");
    EXPECT_FALSE(CopyPlayerFiles(player_, target_, &error));
    EXPECT_TRUE(error.contains("ruffle.js")) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target_ + "/ruffle.js.part"));
}

TEST(PublishedPage, PutsThePlayersLineInFrontOfTheTenLines) {
    std::vector<std::string> plain = PublishedPageLines("tour.swf", 640, 480, false);
    std::vector<std::string> playing = PublishedPageLines("tour.swf", 640, 480, true);
    ASSERT_EQ(plain.size(), 10u);
    ASSERT_EQ(playing.size(), 11u);
    EXPECT_EQ(playing[0], PlayerScriptLine());
    // One line: the player's settings, then its loader from the page's own folder.
    EXPECT_EQ(playing[0].find('\n'), std::string::npos);
    EXPECT_TRUE(playing[0].ends_with("</script><script src=\"ruffle.js\"></script>"));
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), playing.begin() + 1));
    EXPECT_EQ(plain[2], "width=\"640\" height=\"480\">");
}

} // namespace
