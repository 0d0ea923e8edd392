// The outcome of an operation that shows nothing itself (saving, loading, building a movie):
// whether it worked and, if not, the message the window shows in a box and the command-line
// program prints. Messages that several operations give are defined here, once.
#pragma once

#include <string>
#include <utility>

inline constexpr const char* kCannotCreateFileMessage = "Can not create the file!";

struct Result {
    bool ok = true;
    std::string message; // empty on success

    static Result Failure(std::string text) { return {false, std::move(text)}; }
    explicit operator bool() const { return ok; }
};
