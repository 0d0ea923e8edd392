#include "cli_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

CliRun StartProgram(const fs::path& program, const std::vector<std::string>& args,
                    const fs::path& output, const std::vector<std::string>& environment) {
    pid_t pid = fork();
    if (pid == 0) {
        for (const auto& setting : environment)
            putenv(strdup(setting.c_str()));
        int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        dup2(fd, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return {pid, output};
}

int WaitFor(const CliRun& run, std::chrono::seconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(run.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(run.pid, SIGKILL);
            waitpid(run.pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(20ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitForOutput(const CliRun& run, const std::string& text, std::chrono::seconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (ReadFile(run.output).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}
