#include "record/core/capture_choice.h"

#include <cstdlib>

std::optional<CaptureBackend> ParseCaptureBackend(std::string_view name) {
    if (name == "x11")
        return CaptureBackend::X11;
    if (name == "portal")
        return CaptureBackend::Portal;
    return std::nullopt;
}

CaptureBackend ChooseCaptureBackend(std::optional<CaptureBackend> requested,
                                    std::string_view sessionType, std::string_view waylandDisplay,
                                    bool x11DisplayOpens) {
    if (requested)
        return *requested;
    if (sessionType == "wayland" || (!waylandDisplay.empty() && !x11DisplayOpens))
        return CaptureBackend::Portal;
    return CaptureBackend::X11;
}

CaptureBackend CaptureBackendOfSession(bool x11DisplayOpens) {
    auto text = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string_view(value ? value : "");
    };
    return ChooseCaptureBackend(ParseCaptureBackend(text("CLIPMOOR_CAPTURE")),
                                text("XDG_SESSION_TYPE"), text("WAYLAND_DISPLAY"), x11DisplayOpens);
}
