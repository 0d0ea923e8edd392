// Runs shell commands from tests and collects what they print.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and standard error
};

// Runs a shell command and collects its standard error, and its standard output too unless
// errorsOnly is set.
inline CommandResult RunShell(const std::string& command, bool errorsOnly = false) {
    CommandResult result;
    std::FILE* pipe = popen((command + (errorsOnly ? " 2>&1 >/dev/null" : " 2>&1")).c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
