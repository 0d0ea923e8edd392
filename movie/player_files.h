// The browser player that makes a page play without a Flash plug-in: which of its files a
// browser needs, copying them next to a page, and the line that loads it. Shared by the
// window and clipmoor-cli.
#pragma once

#include <string>
#include <vector>

// The player's loader; its other files lie beside it and are found by it from its address.
inline constexpr const char* kPlayerScriptName = "ruffle.js";
// The folder of the player's files inside the program folder.
inline constexpr const char* kPlayerFolderName = "player";

// True for the names of the player's files: its loader, its parts and its WebAssembly.
bool IsPlayerFileName(const std::string& name);

// The files a page needs next to it to play: the loader, its parts, its WebAssembly and the
// licences; no source maps. Names only, sorted; empty when the folder holds no player.
std::vector<std::string> PlayerFileNames(const std::string& playerFolder);

// Copies the player's files into targetFolder, skipping files that are already there with
// the same size. False with *error set when the player is missing or a copy fails.
bool CopyPlayerFiles(const std::string& playerFolder, const std::string& targetFolder,
                     std::string* error);

// The line that loads the player from the page's folder.
std::string PlayerScriptLine();

// The embedding code of a movie, with the player's line in front when withPlayer.
std::vector<std::string> PublishedPageLines(const std::string& movieName, int width, int height,
                                            bool withPlayer);
