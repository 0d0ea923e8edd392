// The files around an exported movie: where Play writes its scratch movie, the browser
// player's files that make a page play without a Flash plug-in, and the page's lines.
#pragma once

#include "movie/player_files.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

inline constexpr const char* kPlayMovieName = "playtemp.swf";

// The folder Play writes into: the program folder when files can be created there, otherwise
// cacheFolder (created when missing). Both end in '/'.
QString PlayFolder(const QString& programFolder, const QString& cacheFolder);

// True when a new file can be created in folder (tried, not guessed from permissions).
bool CanCreateFilesIn(const QString& folder);

// The player's folder in the program folder, or empty when the player is not installed.
QString InstalledPlayerFolder(const QString& programFolder);

// PlayerFileNames and CopyPlayerFiles of movie/player_files.h for the window's strings.
QStringList PlayerFileNames(const QString& playerFolder);
bool CopyPlayerFiles(const QString& playerFolder, const QString& targetFolder, QString* error);
