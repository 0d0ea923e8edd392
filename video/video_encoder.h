// Encodes 32-bit frames into a video file with the FFmpeg libraries: MP4 (H.264 through
// libx264, streamable), WebM (VP9 through libvpx) or GIF (a palette generated from the frames).
// Constant frame rate; the file appears under its name only when Finish succeeds. Frames are
// converted on the caller's thread and encoded on one of the encoder's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct AVFrame;

enum class VideoFormat { Mp4, WebM, Gif };

// The format a name stands for: a file name's extension (.mp4, .webm, .gif) or the word itself.
std::optional<VideoFormat> VideoFormatNamed(const std::string& name);
const char* VideoFormatExtension(VideoFormat format); // "mp4", "webm", "gif"

// The encoder's options (name, value) for a format at the project's compression (0 best to
// 100 smallest).
std::vector<std::pair<std::string, std::string>> EncoderOptions(VideoFormat format,
                                                                int32_t compression);

struct VideoEncoderSettings {
    VideoFormat format = VideoFormat::Mp4;
    int32_t width = 0; // the frames' size; odd sizes are padded with white for the codecs
    int32_t height = 0;
    double framesPerSecond = 10;
    int32_t compression = 25; // 0 (best) to 100 (smallest), as the project's
};

// One frame in memory: rows top-down, pixels 0xAARRGGBB (QImage::Format_RGB32).
struct VideoFrameView {
    const uint8_t* pixels = nullptr;
    ptrdiff_t stride = 0;
};

// Converts a width x height frame into frame's YUV 4:2:0 planes (BT.601, limited range, chroma
// averaged over 2 x 2 pixels), as the MP4 and WebM encoders take it; frame has at least that
// size.
bool ConvertToYuv420(const VideoFrameView& view, int32_t width, int32_t height, AVFrame* frame);

// Frames are added from one thread; the encoder runs on a thread of its own meanwhile.
class VideoEncoder {
public:
    // Starts a video at path (written to a temporary file beside it). Null, with *failure
    // saying why for users, when the encoder is missing or the file cannot be made.
    static std::unique_ptr<VideoEncoder>
    Create(const std::string& path, const VideoEncoderSettings& settings, std::string* failure);
    ~VideoEncoder(); // without a successful Finish, the temporary file goes
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // GIF only: every frame is shown to the palette first, then added. True while a GIF's
    // palette still needs frames.
    bool WantsPaletteFrames() const;
    bool AddPaletteFrame(const VideoFrameView& frame, std::string* failure);

    // Adds the next frame; same: it repeats the previous frame (nothing is converted again).
    bool AddFrame(const VideoFrameView& frame, std::string* failure);
    bool AddSameFrame(std::string* failure);
    // Flushes the encoder, writes the trailer and renames the file into place.
    bool Finish(std::string* failure);

    struct State;

private:
    explicit VideoEncoder(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};
