// The capture area's small rules: the full-screen area, putting a dragged rectangle in
// order, the label that shows it, clipping it to the screen and the recording interval.
#pragma once

#include "model/project.h"

#include <cstdint>
#include <optional>
#include <string>

// The whole screen, both ends inclusive.
CaptureArea FullScreenArea(int32_t screenWidth, int32_t screenHeight);

// Swaps reversed ends and widens an empty side by one pixel, so that afterwards
// Left < Right and Top < Bottom (a click without movement selects 2 x 2 pixels).
void NormaliseArea(CaptureArea& area);

// " Area: ( 0,0 ) - ( 1023,767 ) ", with the outer blanks.
std::string CaptureAreaLabelText(const CaptureArea& area);

// The part of the area that lies on a screen of the given size; none when the area
// lies wholly beyond it. Several monitors or a selection beyond the edge may give
// areas partly outside the screen.
std::optional<CaptureArea> ClipAreaToScreen(const CaptureArea& area, int32_t screenWidth,
                                            int32_t screenHeight);

inline int32_t AreaWidth(const CaptureArea& area) {
    return area.Right - area.Left + 1;
}
inline int32_t AreaHeight(const CaptureArea& area) {
    return area.Bottom - area.Top + 1;
}

// Milliseconds between two captures: 1000 / frames per second, truncated (5: 200,
// 7: 142, 3: 333, 120: 8). Rates outside 1..120 are taken as the nearest bound.
int32_t RecordingIntervalMs(int32_t framesPerSecond);
