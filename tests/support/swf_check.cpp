#include "tests/support/swf_check.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace {

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

::testing::AssertionResult RunCheck(const std::string& swfPath, bool summary, std::string& output) {
    const char* nodeDir = std::getenv("CLIPMOOR_NODE_DIR");
    const std::string script = std::string(CLIPMOOR_SOURCE_DIR) + "/tools/swfcheck/swfcheck.mjs";
    const std::string command =
        "CLIPMOOR_NODE_DIR=" + ShellQuote(nodeDir != nullptr ? nodeDir : CLIPMOOR_NODE_DIR) +
        " node " + ShellQuote(script) + " " + ShellQuote(swfPath) + (summary ? " --summary" : "") +
        " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return ::testing::AssertionFailure() << "cannot start node for the SWF check";
    }
    output.clear();
    std::array<char, 4096> buffer;
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), got);
    }
    const int status = pclose(pipe);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 127) {
        return ::testing::AssertionFailure()
               << "node was not found; run ./test.sh to install the test tools";
    }
    if (code == 2) {
        return ::testing::AssertionFailure() << "the SWF checker cannot run: " << output;
    }
    if (code != 0) {
        return ::testing::AssertionFailure()
               << "the independent parser rejects " << swfPath << ": " << output;
    }
    return ::testing::AssertionSuccess();
}

} // namespace

::testing::AssertionResult IndependentParserAccepts(const std::string& swfPath) {
    std::string output;
    return RunCheck(swfPath, false, output);
}

::testing::AssertionResult IndependentParserSummary(const std::string& swfPath, std::string& json) {
    return RunCheck(swfPath, true, json);
}
