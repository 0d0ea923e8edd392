// The outcome of an operation that shows nothing itself (saving, loading, building a movie):
// whether it worked and, if not, the message the window shows in a box and the command-line
// program prints. Messages that several operations give are defined here, once.
#pragma once

#include <string>
#include <utility>

inline constexpr const char* kCannotCreateFileMessage = "Can not create the file!";
inline constexpr const char* kReadOnlyFileReason = "The file is read-only.";
inline constexpr const char* kPreviousFileKeptNote = "The previous file was kept.";

// Why a file could not be created or written, from the system's error number, phrased for
// users: "The folder does not exist."
std::string FileErrorReason(int error);

// "Can not create the file! (reason)".
std::string CannotCreateFileMessage(const std::string& reason);

struct Result {
    bool ok = true;
    std::string message; // empty on success

    static Result Failure(std::string text) { return {false, std::move(text)}; }
    explicit operator bool() const { return ok; }
};
