#include "model/unfinished_files.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace {

// Fixed slots: a signal handler may neither allocate nor lock.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<bool> ready{false}; // path is complete
    char path[PATH_MAX];
};
constexpr int kSlotCount = 8;
Slot slots[kSlotCount];

void RemoveAndEnd(int signalNumber) {
    RemoveUnfinishedFiles();
    std::signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

} // namespace

bool RegisterUnfinishedFile(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return false;
    for (Slot& slot : slots) {
        bool expected = false;
        if (!slot.taken.compare_exchange_strong(expected, true))
            continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.ready = true;
        return true;
    }
    return false;
}

void UnregisterUnfinishedFile(const std::string& path) {
    for (Slot& slot : slots) {
        if (slot.ready && path == slot.path) {
            slot.ready = false;
            slot.taken = false;
            return;
        }
    }
}

void RemoveUnfinishedFiles() {
    for (Slot& slot : slots) {
        if (slot.ready)
            unlink(slot.path);
    }
}

void RemoveUnfinishedFilesOnSignals() {
    for (int signalNumber : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndEnd;
        sigemptyset(&action.sa_mask);
        sigaction(signalNumber, &action, nullptr);
    }
}
