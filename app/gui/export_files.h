// The files around an exported movie: where Play writes its scratch movie, the browser
// player's files that make a page play without a Flash plug-in, and the page's lines.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

inline constexpr const char* kPlayMovieName = "playtemp.swf";
// The player's loader; its other files lie beside it and are found by it from its address.
inline constexpr const char* kPlayerScriptName = "ruffle.js";
// The folder of the player's files inside the program folder.
inline constexpr const char* kPlayerFolderName = "player";

// The folder Play writes into: the program folder when files can be created there, otherwise
// cacheFolder (created when missing). Both end in '/'.
QString PlayFolder(const QString& programFolder, const QString& cacheFolder);

// True when a new file can be created in folder (tried, not guessed from permissions).
bool CanCreateFilesIn(const QString& folder);

// The player's folder in the program folder, or empty when the player is not installed.
QString InstalledPlayerFolder(const QString& programFolder);

// The files a page needs next to it to play: the loader, its parts, its WebAssembly and the
// licences. Names only, sorted; empty when the folder holds no player.
QStringList PlayerFileNames(const QString& playerFolder);

// Copies the player's files into targetFolder, skipping files that are already there with
// the same size. False with *error set when the player is missing or a copy fails.
bool CopyPlayerFiles(const QString& playerFolder, const QString& targetFolder, QString* error);

// The line that loads the player from the page's folder.
std::string PlayerScriptLine();

// The embedding code of a movie, with the player's line in front when withPlayer.
std::vector<std::string> PublishedPageLines(const std::string& movieName, int width, int height,
                                            bool withPlayer);
