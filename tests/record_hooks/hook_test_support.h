// Pumps a host's messages until a condition holds.
#pragma once

#include "record/hooks/xlib_hook_host.h"

#include <chrono>

template <typename Condition>
bool PumpUntil(XlibHookHost& host, Condition condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        host.WaitAndProcessEvents(std::chrono::milliseconds(20));
    }
    return true;
}

// Handles whatever arrives during the given time.
inline void PumpFor(XlibHookHost& host, std::chrono::milliseconds duration) {
    PumpUntil(
        host, [] { return false; }, duration);
}

inline std::string HookLibraryFolder() {
    return CLIPMOOR_PROGRAM_DIR "/";
}
