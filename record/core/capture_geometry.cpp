#include "record/core/capture_geometry.h"

#include <algorithm>
#include <utility>

CaptureArea FullScreenArea(int32_t screenWidth, int32_t screenHeight) {
    return {0, 0, screenWidth - 1, screenHeight - 1};
}

void NormaliseArea(CaptureArea& area) {
    if (area.Left > area.Right)
        std::swap(area.Left, area.Right);
    if (area.Top > area.Bottom)
        std::swap(area.Top, area.Bottom);
    if (area.Left == area.Right)
        ++area.Right;
    if (area.Top == area.Bottom)
        ++area.Bottom;
}

std::string CaptureAreaLabelText(const CaptureArea& area) {
    return " Area: ( " + std::to_string(area.Left) + "," + std::to_string(area.Top) + " ) - ( " +
           std::to_string(area.Right) + "," + std::to_string(area.Bottom) + " ) ";
}

std::optional<CaptureArea> ClipAreaToScreen(const CaptureArea& area, int32_t screenWidth,
                                            int32_t screenHeight) {
    CaptureArea clipped{std::max(area.Left, 0), std::max(area.Top, 0),
                        std::min(area.Right, screenWidth - 1),
                        std::min(area.Bottom, screenHeight - 1)};
    if (clipped.Left > clipped.Right || clipped.Top > clipped.Bottom)
        return std::nullopt;
    return clipped;
}

int32_t RecordingIntervalMs(int32_t framesPerSecond) {
    return 1000 / std::clamp(framesPerSecond, kMinFramesPerSecond, kMaxFramesPerSecond);
}
