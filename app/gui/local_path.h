// Paths between Qt and the core: the core takes file names in the local 8-bit encoding,
// the window shows them as QString.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>

inline std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

inline QString FromLocal(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// folder with exactly one '/' at its end ("/" stays "/").
inline QString WithTrailingSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}
