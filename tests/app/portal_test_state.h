// For tests of the main window on the headless Wayland desktop: a state folder of the
// test's own (where the program stores the screen-cast token), gone with the object, and
// the desktop's approved token passed for the first cast.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

struct PortalTestState {
    PortalTestState() {
        setenv("XDG_STATE_HOME", folder.c_str(), 1);
        setenv("CLIPMOOR_SCREENCAST_TOKEN", std::getenv("CLIPMOOR_TEST_SCREENCAST_TOKEN"), 1);
    }
    ~PortalTestState() { std::filesystem::remove_all(folder); }
    PortalTestState(const PortalTestState&) = delete;
    PortalTestState& operator=(const PortalTestState&) = delete;

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("clipmoor-state-" + std::to_string(getpid()));
};
