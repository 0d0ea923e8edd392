#include "video/palette_filter.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
}

#include <vector>

namespace {

bool Fail(std::string* failure, const std::string& what) {
    if (failure)
        *failure = what;
    return false;
}

struct Endpoint {
    const char* label;
    AVFilterContext** context;
};

// Builds description between buffer sources (each with its label) and one buffer sink.
bool BuildGraph(AVFilterGraph* graph, const char* description, const std::string& sourceArgs,
                const std::vector<Endpoint>& sources, const std::vector<std::string>& sizes,
                AVFilterContext** sink) {
    AVFilterInOut* outputs = nullptr; // the graph's open ends the sources feed
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string args = "video_size=" + sizes[i] + ":" + sourceArgs;
        if (avfilter_graph_create_filter(sources[i].context, avfilter_get_by_name("buffer"),
                                         sources[i].label, args.c_str(), nullptr, graph) < 0)
            return false;
        AVFilterInOut* end = avfilter_inout_alloc();
        end->name = av_strdup(sources[i].label);
        end->filter_ctx = *sources[i].context;
        end->pad_idx = 0;
        end->next = outputs;
        outputs = end;
    }
    if (avfilter_graph_create_filter(sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph) < 0) {
        avfilter_inout_free(&outputs);
        return false;
    }
    AVFilterInOut* inputs = avfilter_inout_alloc();
    inputs->name = av_strdup("out");
    inputs->filter_ctx = *sink;
    inputs->pad_idx = 0;
    inputs->next = nullptr;
    const int parsed = avfilter_graph_parse_ptr(graph, description, &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    return parsed >= 0 && avfilter_graph_config(graph, nullptr) >= 0;
}

} // namespace

PaletteFilter::PaletteFilter(int32_t width, int32_t height) : width_(width), height_(height) {}

PaletteFilter::~PaletteFilter() {
    avfilter_graph_free(&study_);
    avfilter_graph_free(&map_);
}

std::unique_ptr<PaletteFilter> PaletteFilter::Create(int32_t width, int32_t height,
                                                     const AVRational& rate, std::string* failure) {
    std::unique_ptr<PaletteFilter> filter(new PaletteFilter(width, height));
    filter->study_ = avfilter_graph_alloc();
    filter->map_ = avfilter_graph_alloc();
    const std::string args = "pix_fmt=" + std::to_string(AV_PIX_FMT_BGRA) +
                             ":time_base=" + std::to_string(rate.den) + "/" +
                             std::to_string(rate.num) + ":pixel_aspect=1/1";
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (!filter->study_ || !filter->map_ ||
        !BuildGraph(filter->study_, "[in]palettegen[out]", args, {{"in", &filter->studyIn_}},
                    {size}, &filter->studyOut_) ||
        !BuildGraph(filter->map_, "[in][palette]paletteuse[out]", args,
                    {{"in", &filter->mapIn_}, {"palette", &filter->mapPalette_}}, {size, "16x16"},
                    &filter->mapOut_)) {
        Fail(failure, "This system's FFmpeg libraries cannot make GIF palettes (palettegen, "
                      "paletteuse).");
        return nullptr;
    }
    return filter;
}

bool PaletteFilter::Push(AVFilterContext* source, const uint8_t* pixels, ptrdiff_t stride,
                         int64_t pts, std::string* failure) {
    AVFrame* frame = av_frame_alloc();
    if (!frame)
        return Fail(failure, "Not enough memory to encode the video.");
    frame->format = AV_PIX_FMT_BGRA;
    frame->width = width_;
    frame->height = height_;
    frame->data[0] = const_cast<uint8_t*>(pixels);
    frame->linesize[0] = static_cast<int>(stride);
    frame->pts = pts;
    // Without buffers of its own the frame is copied into the graph.
    const int added = av_buffersrc_write_frame(source, frame);
    av_frame_free(&frame);
    return added >= 0 || Fail(failure, "The GIF palette filter refused a frame.");
}

bool PaletteFilter::Study(const uint8_t* pixels, ptrdiff_t stride, std::string* failure) {
    return Push(studyIn_, pixels, stride, studied_++, failure);
}

bool PaletteFilter::MakePalette(std::string* failure) {
    AVFrame* palette = av_frame_alloc();
    bool made = palette && av_buffersrc_add_frame(studyIn_, nullptr) >= 0 &&
                av_buffersink_get_frame(studyOut_, palette) >= 0;
    if (made) {
        palette->pts = 0;
        made = av_buffersrc_add_frame(mapPalette_, palette) >= 0 &&
               av_buffersrc_add_frame(mapPalette_, nullptr) >= 0;
    }
    av_frame_free(&palette);
    paletteMade_ = true;
    return made || Fail(failure, "The GIF palette cannot be made.");
}

bool PaletteFilter::Map(const uint8_t* pixels, ptrdiff_t stride, AVFrame* out,
                        std::string* failure) {
    if (!paletteMade_ && !MakePalette(failure))
        return false;
    if (!Push(mapIn_, pixels, stride, mapped_++, failure))
        return false;
    av_frame_unref(out);
    return av_buffersink_get_frame(mapOut_, out) >= 0 ||
           Fail(failure, "A frame cannot be mapped onto the GIF palette.");
}
