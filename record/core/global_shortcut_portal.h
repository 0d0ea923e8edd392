// The desktop's global-shortcuts portal (org.freedesktop.portal.GlobalShortcuts): on Wayland
// no client sees keys meant for other windows, so the desktop binds the hot key for us and
// reports each press. Runs on its own thread with its own bus connection, so that waiting
// for the desktop (which may ask the user) never blocks the caller's event loop.
#pragma once

#include <functional>
#include <memory>
#include <string>

struct GlobalShortcut {
    std::string id;
    std::string description;
    std::string preferredTrigger; // e.g. "CTRL+ALT+F11"; the desktop may choose another
};

class GlobalShortcutPortal {
public:
    // Both callbacks run on the portal's thread. `activated` runs on each press;
    // `unavailable` runs at most once, with the reason, when the desktop offers no
    // such portal, refuses, or the bus fails.
    GlobalShortcutPortal(GlobalShortcut shortcut, std::function<void()> activated,
                         std::function<void(const std::string&)> unavailable);
    // Closes the session (which releases the key) and ends the thread.
    ~GlobalShortcutPortal();
    GlobalShortcutPortal(const GlobalShortcutPortal&) = delete;
    GlobalShortcutPortal& operator=(const GlobalShortcutPortal&) = delete;

private:
    struct State;
    std::unique_ptr<State> state_;
};
