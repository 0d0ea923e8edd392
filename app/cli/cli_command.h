// Sub-commands of clipmoor-cli register themselves here, one file each.
#pragma once

#include <functional>
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

// The folder of the running executable, ending in '/'.
std::string ProgramFolder();
