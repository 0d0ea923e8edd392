// Exports 300 recorded full-HD frames with 4 overlays as MP4 and compares the time with
// libx264 alone encoding the same frames with the same settings, in the same run; then times
// the time slider's frame (the frame renderer at 1080p, as the editor's slider draws it).
#include "bench/support/cpu_time.h"
#include "bench/support/recording_project.h"
#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "render/frame_renderer.h"
#include "video/video_export.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

namespace {

constexpr int32_t kCompression = 25;

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Every frame of the movie as the encoder's YUV 4:2:0 input.
std::vector<AVFrame*> MovieFramesAsYuv(const Project& project, const MovieTimeline& timeline) {
    FrameRenderer renderer(project, timeline);
    std::vector<AVFrame*> frames;
    QImage image;
    for (int32_t k = 0; k < timeline.FrameCount(); ++k) {
        renderer.Render(k, image);
        AVFrame* frame = av_frame_alloc();
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = kBenchWidth;
        frame->height = kBenchHeight;
        av_frame_get_buffer(frame, 0);
        ConvertToYuv420({image.constBits(), image.bytesPerLine()}, kBenchWidth, kBenchHeight,
                        frame);
        frames.push_back(frame);
    }
    return frames;
}

// libx264 alone: the frames encoded with the export's settings, the packets dropped.
double EncodeAlone(const std::vector<AVFrame*>& frames, double framesPerSecond) {
    const auto start = std::chrono::steady_clock::now();
    AVCodecContext* encoder = avcodec_alloc_context3(avcodec_find_encoder_by_name("libx264"));
    const AVRational rate = av_d2q(framesPerSecond, 100000);
    encoder->width = kBenchWidth;
    encoder->height = kBenchHeight;
    encoder->time_base = av_inv_q(rate);
    encoder->framerate = rate;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->bit_rate = 0;
    AVDictionary* options = nullptr;
    for (const auto& [name, value] : EncoderOptions(VideoFormat::Mp4, kCompression))
        av_dict_set(&options, name.c_str(), value.c_str(), 0);
    avcodec_open2(encoder, encoder->codec, &options);
    av_dict_free(&options);
    AVPacket* packet = av_packet_alloc();
    int64_t pts = 0;
    for (size_t i = 0; i <= frames.size(); ++i) {
        AVFrame* frame = i < frames.size() ? frames[i] : nullptr;
        if (frame)
            frame->pts = pts++;
        avcodec_send_frame(encoder, frame);
        while (avcodec_receive_packet(encoder, packet) == 0)
            av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avcodec_free_context(&encoder);
    return Seconds(std::chrono::steady_clock::now() - start);
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 1;
    if (argc == 3 && std::strcmp(argv[1], "--rounds") == 0)
        rounds = std::max(1, std::atoi(argv[2]));
    if (!LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")) {
        std::fprintf(stderr, "%s\n", kPictavoLoadError);
        return 1;
    }
    Project project;
    MakeRecordingProject(project);
    const double fps = project.FramesPerSecond;
    const MovieTimeline timeline(project, fps);

    // The slider: frames at random times (a jump of the thumb), and each next frame (a drag).
    std::vector<double> jumps, steps;
    {
        FrameRenderer renderer(project, timeline);
        QImage image;
        std::mt19937 random(1);
        for (int i = 0; i < 60; ++i) {
            const int32_t k = static_cast<int32_t>(random() % timeline.FrameCount());
            const auto start = std::chrono::steady_clock::now();
            renderer.Render(k, image);
            jumps.push_back(Seconds(std::chrono::steady_clock::now() - start) * 1000);
        }
        for (int32_t k = 100; k < 160; ++k) {
            const auto start = std::chrono::steady_clock::now();
            renderer.Render(k, image);
            steps.push_back(Seconds(std::chrono::steady_clock::now() - start) * 1000);
        }
    }

    // The baseline and the export alternate; the best round of each counts.
    std::vector<AVFrame*> yuv = MovieFramesAsYuv(project, timeline);
    const std::string video =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "video_export_bench.mp4")
            .string();
    double alone = 1e30, exported = 1e30, aloneCpu = 1e30, exportedCpu = 1e30;
    uintmax_t bytes = 0;
    for (int round = 0; round < rounds; ++round) {
        double cpu = ProcessCpuSeconds();
        alone = std::min(alone, EncodeAlone(yuv, fps));
        aloneCpu = std::min(aloneCpu, ProcessCpuSeconds() - cpu);
        cpu = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const Result result = ExportVideo(project, video, {VideoFormat::Mp4, fps, kCompression});
        exported = std::min(exported, Seconds(std::chrono::steady_clock::now() - start));
        exportedCpu = std::min(exportedCpu, ProcessCpuSeconds() - cpu);
        if (!result) {
            std::fprintf(stderr, "export failed: %s\n", result.message.c_str());
            return 1;
        }
        bytes = std::filesystem::file_size(video);
        std::filesystem::remove(video);
    }
    for (AVFrame*& frame : yuv)
        av_frame_free(&frame);
    ClearObjects(project);

    std::printf("video_export: %d frames of %d x %d (%d recorded, 4 overlays) to MP4, best of %d "
                "rounds\n",
                timeline.FrameCount(), kBenchWidth, kBenchHeight, kBenchFrames, rounds);
    std::printf("  libx264 alone, same frames and settings: %.3f s (%.2f s of CPU)\n", alone,
                aloneCpu);
    std::printf("  ExportVideo (draw, convert, encode, write): %.3f s (%.2f s of CPU, %.1f MB)\n",
                exported, exportedCpu, bytes / 1e6);
    std::printf("  ratio: %.3fx (goal: at most 1.25x)\n", exported / alone);
    std::printf("  slider frame at 1080p, median: %.2f ms for a jump, %.2f ms for the next frame "
                "(goal: at most 16 ms)\n",
                Median(jumps), Median(steps));
    return 0;
}
