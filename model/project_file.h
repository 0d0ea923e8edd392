// The project file (*.fmo): a little-endian binary file with the movie settings, every
// object with its pictures, the compression and the pointer track.
//
// Neither operation shows anything: each returns whether it worked and, if not, the message
// the window shows in a box and the command-line program prints.
#pragma once

#include "model/project.h"
#include "model/result.h"

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr char kProjectFileMagic[] = "Vantrel Reelcraft-Pro 1.0";   // stored with its zero
inline constexpr size_t kProjectFileMagicSize = sizeof(kProjectFileMagic); // 26
inline constexpr uint32_t kReservedColorWord = 0x00FFFFFF;

inline constexpr const char* kCannotOpenFileMessage = "Can not open the file!";
inline constexpr const char* kNotValidFileMessage = "This is not a valid Clipmoor file.";
inline constexpr const char* kDamagedFileMessage =
    "This Clipmoor file is damaged or incomplete. It was not loaded.";
inline constexpr const char* kPicturesTooLargeMessage =
    "There is not enough memory for the pictures of this file. It was not loaded.";

// Writes the project to `path` through a temporary file in the same folder that replaces
// the old file only once it is completely on disk. On success the current file name
// becomes `path`; on failure nothing changes and the old file stays as it was.
Result SaveProject(Project& project, const std::string& path);

// Whether a project could be saved to `path` now (the folder is there and writable, no folder
// or read-only file is in the way), without touching anything; the failure says why. Run
// before long work whose result goes there.
Result CheckProjectCanBeSaved(const std::string& path);

// Replaces the objects, the movie size, frames per second, compression and (when the file
// has one) the pointer track with the file's content, and makes `path` the current file
// name. The file is read completely before anything changes: a file that cannot be read,
// is not a project or is damaged leaves the project exactly as it was. Capture area, font
// size and program folder are never touched. Pictures need the image library loaded.
Result LoadProject(Project& project, const std::string& path);

// The same from bytes in memory; `fileName` becomes the current file name.
Result LoadProjectFromMemory(Project& project, const uint8_t* data, size_t size,
                             const std::string& fileName);
