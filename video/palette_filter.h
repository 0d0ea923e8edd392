// A GIF's palette from FFmpeg's filters: palettegen studies every frame of the video, then
// paletteuse maps each frame onto the one palette.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct AVFilterGraph;
struct AVFilterContext;
struct AVFrame;
struct AVRational;

class PaletteFilter {
public:
    // For frames of width x height 32-bit pixels (0xAARRGGBB) at rate frames a second.
    static std::unique_ptr<PaletteFilter> Create(int32_t width, int32_t height,
                                                 const AVRational& rate, std::string* failure);
    ~PaletteFilter();
    PaletteFilter(const PaletteFilter&) = delete;
    PaletteFilter& operator=(const PaletteFilter&) = delete;

    // Counts the colours of one frame of the video.
    bool Study(const uint8_t* pixels, ptrdiff_t stride, std::string* failure);
    // Replaces out with the frame mapped onto the palette (8 bits a pixel). The first call
    // makes the palette from the frames studied so far.
    bool Map(const uint8_t* pixels, ptrdiff_t stride, AVFrame* out, std::string* failure);

private:
    PaletteFilter(int32_t width, int32_t height);
    bool MakePalette(std::string* failure);
    bool Push(AVFilterContext* source, const uint8_t* pixels, ptrdiff_t stride, int64_t pts,
              std::string* failure);

    const int32_t width_;
    const int32_t height_;
    AVFilterGraph* study_ = nullptr;
    AVFilterContext* studyIn_ = nullptr;
    AVFilterContext* studyOut_ = nullptr;
    AVFilterGraph* map_ = nullptr;
    AVFilterContext* mapIn_ = nullptr;
    AVFilterContext* mapPalette_ = nullptr;
    AVFilterContext* mapOut_ = nullptr;
    bool paletteMade_ = false;
    int64_t studied_ = 0;
    int64_t mapped_ = 0;
};
