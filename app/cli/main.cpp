// clipmoor-cli: the Clipmoor core without windows, for scripts and headless machines.
#include "cli_command.h"

#include "model/unfinished_files.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>

std::vector<CliCommand>& CliCommands() {
    static std::vector<CliCommand> commands;
    return commands;
}

CliCommandRegistration::CliCommandRegistration(CliCommand command) {
    CliCommands().push_back(std::move(command));
}

std::optional<int32_t> WholeNumber(const std::string& text, int32_t low, int32_t high) {
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

namespace {

void PrintHelp(std::ostream& out) {
    auto commands = CliCommands();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
    out << "Usage: clipmoor-cli COMMAND [ARGS...]\n\n"
           "Clipmoor records screen actions and turns projects (*.fmo) into Flash movies.\n"
           "This is the program without windows, for scripts and machines without a display.\n\n"
           "Commands:\n";
    for (const auto& command : commands) {
        out << "  " << command.usage << "\n      " << command.summary << "\n";
    }
    out << "  --help\n      Show this text.\n";
}

} // namespace

int main(int argc, char** argv) {
    // A save cut short by a signal takes its temporary file with it.
    RemoveUnfinishedFilesOnSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp(std::cout);
        return args.empty() ? 2 : 0;
    }
    for (const auto& command : CliCommands()) {
        if (command.name == args[0]) {
            std::vector<std::string> rest(args.begin() + 1, args.end());
            try {
                return command.run(rest);
            } catch (const std::exception& error) {
                std::cerr << "clipmoor-cli " << command.name << ": " << error.what() << "\n";
                return 1;
            }
        }
    }
    std::cerr << "clipmoor-cli: unknown command '" << args[0] << "'\n\n";
    PrintHelp(std::cerr);
    return 2;
}
