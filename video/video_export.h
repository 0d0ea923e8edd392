// Turns a whole Project into a video file: the movie's timeline drawn frame by frame by the
// frame renderer and encoded as MP4, WebM or GIF, as many frames as the SWF movie has.
#pragma once

#include "model/project.h"
#include "model/result.h"
#include "video/video_encoder.h"

#include <cstdint>
#include <functional>
#include <string>

inline constexpr const char* kVideoCancelledMessage = "The video was cancelled.";

// Called after every frame with the steps done and their count (a GIF takes two steps a
// frame: one for its palette); returning false cancels the export.
using VideoProgress = std::function<bool(int32_t stepsDone, int32_t stepCount)>;

struct VideoExportSettings {
    VideoFormat format = VideoFormat::Mp4;
    double framesPerSecond = 10; // 1 to 120, as for the SWF movie
    int32_t compression = 25;    // 0 (best) to 100 (smallest)
};

// Writes the video to fileName; a failed or cancelled export leaves no file behind (and an
// older file of that name as it was). Pictures need the image library loaded. Exchanges
// Start.Time and End.Time where End.Time < Start.Time, as BuildMovie does.
Result ExportVideo(Project& project, const std::string& fileName,
                   const VideoExportSettings& settings, const VideoProgress& progress = {});
