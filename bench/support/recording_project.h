// The benchmarks' long recording: 300 full-HD desktop frames, one every 200 ms, with four
// overlays (a moving caption, a growing box, an ellipse and a picture). Needs the image
// library loaded.
#pragma once

#include "model/project.h"

inline constexpr int32_t kBenchWidth = 1920;
inline constexpr int32_t kBenchHeight = 1080;
inline constexpr int32_t kBenchFrames = 300;

// A desktop-like picture: flat window areas, a title bar, text-like stripes, and a box that
// moves from frame to frame so that every frame differs.
DibImage DesktopFrame(int32_t index);

// Fills project (empty) with the recording and its overlays at 5 frames per second.
void MakeRecordingProject(Project& project);
