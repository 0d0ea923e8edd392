#include "record/core/capture_choice.h"

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
