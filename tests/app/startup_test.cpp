// The real program, started with and without the image library in its folder.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QStringList ReadLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

void StartLogged(QProcess& process, const QString& program, const QString& log) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CLIPMOOR_TEST_LOG", log);
    process.setProcessEnvironment(env);
    process.start(program, {});
}

TEST(ProgramStartUp, WithoutTheImageLibraryShowsTheMessageAndEnds) {
    QTemporaryDir folder; // a program folder without libPictavo.so
    QString program = folder.filePath("clipmoor");
    ASSERT_TRUE(QFile::copy(CLIPMOOR_PROGRAM_DIR "/clipmoor", program));
    QString log = folder.filePath("ui.log");

    QProcess process;
    StartLogged(process, program, log);
    ASSERT_TRUE(process.waitForFinished(60000)) << process.errorString().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(process.exitCode(), 0);
    // One box with only OK and the program's name as caption; the window never appears.
    EXPECT_EQ(ReadLog(log), QStringList{QStringLiteral("message|Clipmoor|Could not load file "
                                                       "Pictavo.DLL|%1|%2")
                                            .arg(int(QMessageBox::Ok))
                                            .arg(int(QMessageBox::Critical))});
}

TEST(ProgramStartUp, WithTheImageLibraryShowsTheMainWindow) {
    QTemporaryDir folder;
    QString log = folder.filePath("ui.log");
    QProcess process;
    StartLogged(process, CLIPMOOR_PROGRAM_DIR "/clipmoor", log);
    ASSERT_TRUE(process.waitForStarted(30000));

    QElapsedTimer clock;
    clock.start();
    QStringList lines;
    while (lines.isEmpty() && clock.elapsed() < 60000 && process.state() == QProcess::Running) {
        QThread::msleep(50);
        lines = ReadLog(log);
    }
    EXPECT_EQ(process.state(), QProcess::Running);
    EXPECT_EQ(lines, QStringList{"shown|Vantrel Clipmoor 1.0 - [noname.fmo]"});
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
}

} // namespace
