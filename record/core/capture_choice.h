// Which screen capture a recording uses: the X server's screen in an X11 session, the
// screen-cast portal in a Wayland session, where X11 clients see only XWayland's windows.
#pragma once

#include <optional>
#include <string_view>

enum class CaptureBackend { X11, Portal };

// "x11" or "portal"; none for anything else.
std::optional<CaptureBackend> ParseCaptureBackend(std::string_view name);

// The portal when XDG_SESSION_TYPE says wayland, or when there is a Wayland display
// (WAYLAND_DISPLAY) and no X display opens; X11 otherwise. `requested` (an option or
// CLIPMOOR_CAPTURE) decides when given.
CaptureBackend ChooseCaptureBackend(std::optional<CaptureBackend> requested,
                                    std::string_view sessionType, std::string_view waylandDisplay,
                                    bool x11DisplayOpens);

// ChooseCaptureBackend with CLIPMOOR_CAPTURE as the request (ignored unless x11 or portal),
// XDG_SESSION_TYPE and WAYLAND_DISPLAY.
CaptureBackend CaptureBackendOfSession(bool x11DisplayOpens);
