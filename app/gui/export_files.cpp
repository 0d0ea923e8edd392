#include "app/gui/export_files.h"

#include "app/gui/local_path.h"
#include "app/gui/local_web_server.h"
#include "movie/publish.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

bool CanCreateFilesIn(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return false;
    // Permission bits say nothing for root or on read-only mounts: try it.
    QTemporaryFile probe(WithTrailingSlash(folder) + QStringLiteral(".clipmoor-probe-XXXXXX"));
    return probe.open();
}

QString PlayFolder(const QString& programFolder, const QString& cacheFolder) {
    if (CanCreateFilesIn(programFolder))
        return WithTrailingSlash(programFolder);
    QDir().mkpath(cacheFolder);
    return WithTrailingSlash(cacheFolder);
}

QString InstalledPlayerFolder(const QString& programFolder) {
    QString folder = WithTrailingSlash(programFolder) + QString::fromUtf8(kPlayerFolderName);
    return QFileInfo(folder + QLatin1Char('/') + QString::fromUtf8(kPlayerScriptName)).isFile()
               ? folder
               : QString();
}

QStringList PlayerFileNames(const QString& playerFolder) {
    if (playerFolder.isEmpty() ||
        !QFileInfo(WithTrailingSlash(playerFolder) + QString::fromUtf8(kPlayerScriptName)).isFile())
        return {};
    QStringList names;
    const QStringList entries = QDir(playerFolder).entryList(QDir::Files, QDir::Name);
    for (const QString& name : entries)
        if (LocalWebServer::IsPlayerFileName(name) || name.startsWith(QStringLiteral("LICENSE")))
            names << name;
    return names;
}

bool CopyPlayerFiles(const QString& playerFolder, const QString& targetFolder, QString* error) {
    const QStringList names = PlayerFileNames(playerFolder);
    if (names.isEmpty()) {
        *error = QStringLiteral("The browser player is not installed next to the program.");
        return false;
    }
    for (const QString& name : names) {
        QFileInfo source(WithTrailingSlash(playerFolder) + name);
        QFileInfo target(WithTrailingSlash(targetFolder) + name);
        if (target.isFile() && target.size() == source.size())
            continue;
        // Written under a temporary name first, so no half-copied file takes the real name.
        QString partial = target.filePath() + QStringLiteral(".part");
        QFile::remove(partial);
        if (!QFile::copy(source.filePath(), partial) ||
            (target.exists() && !QFile::remove(target.filePath())) ||
            !QFile::rename(partial, target.filePath())) {
            QFile::remove(partial);
            *error = QStringLiteral("Can not copy the browser player to %1").arg(target.filePath());
            return false;
        }
    }
    return true;
}

std::string PlayerScriptLine() {
    // The movies have no sound: they start at once, without a play button or sound overlay.
    return std::string("<script>window.RufflePlayer=window.RufflePlayer||{};"
                       "window.RufflePlayer.config={\"autoplay\":\"on\","
                       "\"unmuteOverlay\":\"hidden\"};</script><script src=\"") +
           kPlayerScriptName + "\"></script>";
}

std::vector<std::string> PublishedPageLines(const std::string& movieName, int width, int height,
                                            bool withPlayer) {
    std::vector<std::string> lines = MovieHtmlLines(movieName, width, height);
    if (withPlayer)
        lines.insert(lines.begin(), PlayerScriptLine());
    return lines;
}
