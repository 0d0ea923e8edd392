// Sub-commands of clipmoor-cli register themselves here, one file each.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

struct CliCommand {
    std::string name;    // e.g. "export"
    std::string usage;   // e.g. "export PROJECT.fmo MOVIE.swf [--fps N] [--html]"
    std::string summary; // one line for --help
    // Runs with the arguments after the command name; returns the exit code.
    std::function<int(const std::vector<std::string>& args)> run;
};

std::vector<CliCommand>& CliCommands();

struct CliCommandRegistration {
    explicit CliCommandRegistration(CliCommand command);
};

// The program folder, where the libraries and hooks are.
#include "record/hooks/executable_folder.h"

// text as a whole number from low to high; nothing when it is not one.
std::optional<int32_t> WholeNumber(const std::string& text,
                                   int32_t low = std::numeric_limits<int32_t>::min(),
                                   int32_t high = std::numeric_limits<int32_t>::max());
