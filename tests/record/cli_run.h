// Runs clipmoor-cli (or any program) as a child process for the tests: output into a
// file, waits with a limit.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

struct CliRun {
    pid_t pid;
    std::filesystem::path output;
};

// Starts `program` with stdout and stderr into one file; `environment` (NAME=value) is added
// to the test's own.
CliRun StartProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                    const std::filesystem::path& output,
                    const std::vector<std::string>& environment = {});

// Exit status, or -1 when the program had to be killed after `limit`.
int WaitFor(const CliRun& run, std::chrono::seconds limit);

std::string ReadFile(const std::filesystem::path& path);

// Waits until the program's output holds `text`; false when it did not within `limit`.
bool WaitForOutput(const CliRun& run, const std::string& text, std::chrono::seconds limit);
