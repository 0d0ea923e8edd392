// The desktop's screen-cast portal (org.freedesktop.portal.ScreenCast on the session bus):
// asks to share one monitor and hands back the PipeWire connection and node that carry it.
//
// sd-bus (libsystemd) talks to the bus: a small synchronous C API with no main loop of its
// own, already installed wherever systemd's libraries are (every Debian), and unlike GDBus
// it brings no GLib event loop into the core; libdbus's low-level API says it is not meant
// for applications.
#pragma once

#include "record/core/frame_source.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

// The portal's cursor_mode values.
enum class PortalCursor : uint32_t { Hidden = 1, Embedded = 2, Metadata = 4 };

// What cursor_mode to ask for, given the portal's AvailableCursorModes: the pointer as
// metadata when offered (the movie draws its own arrow), else drawn into the frames.
PortalCursor ChooseCursorMode(uint32_t availableModes);

struct ScreenCastRequest {
    // A restore token from an earlier cast; empty: the desktop asks the user.
    std::string restoreToken;
    // How long the user may take to answer the desktop's dialog.
    std::chrono::milliseconds answerTimeout{std::chrono::seconds(60)};
};

class ScreenCastPortal {
public:
    // Connects to the session bus and runs CreateSession, SelectSources (one monitor,
    // kept with a restore token) and Start. Throws CaptureError with the message for the
    // user when there is no bus or portal, the user cancels, the desktop refuses or does
    // not answer in time.
    explicit ScreenCastPortal(const ScreenCastRequest& request);
    // Closes the session, which ends the cast.
    ~ScreenCastPortal();
    ScreenCastPortal(const ScreenCastPortal&) = delete;
    ScreenCastPortal& operator=(const ScreenCastPortal&) = delete;

    // A new connection to the PipeWire daemon that carries the cast; the caller owns it.
    int OpenPipeWireRemote();
    uint32_t PipeWireNode() const;
    PortalCursor CursorMode() const;
    // The token that skips the dialog next time; empty when the desktop gave none.
    const std::string& RestoreToken() const;

private:
    void Open(const ScreenCastRequest& request);

    struct State;
    std::unique_ptr<State> state_;
};
