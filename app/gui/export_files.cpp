#include "app/gui/export_files.h"

#include "app/gui/local_path.h"

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
    QStringList names;
    for (const std::string& name : PlayerFileNames(LocalPath(playerFolder)))
        names << FromLocal(name);
    return names;
}

bool CopyPlayerFiles(const QString& playerFolder, const QString& targetFolder, QString* error) {
    std::string message;
    if (CopyPlayerFiles(LocalPath(playerFolder), LocalPath(targetFolder), &message))
        return true;
    *error = FromLocal(message);
    return false;
}
