#include "video/video_encoder.h"

#include "video/encoding_thread.h"
#include "video/palette_filter.h"

#include "model/byte_stream.h"
#include "model/result.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}
#include <libyuv/convert_from_argb.h>

#include <algorithm>
#include <cstring>

namespace {

// Frames in flight between drawing and encoding: one drawn into, two queued, one kept for
// repeats.
constexpr int kPoolFrames = 4;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct FormatInfo {
    VideoFormat format;
    const char* extension;
    const char* muxer;
    const char* encoder; // by name; null: the GIF encoder by id
    const char* title;   // for messages
};
constexpr FormatInfo kFormats[] = {
    {VideoFormat::Mp4, "mp4", "mp4", "libx264", "MP4 (H.264)"},
    {VideoFormat::WebM, "webm", "webm", "libvpx-vp9", "WebM (VP9)"},
    {VideoFormat::Gif, "gif", "gif", nullptr, "GIF"},
};

const FormatInfo& InfoOf(VideoFormat format) {
    for (const FormatInfo& info : kFormats)
        if (info.format == format)
            return info;
    return kFormats[0];
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The quality settings: one scale for both codecs' constant-quality factors.
std::string QualityFactor(VideoFormat format, int32_t compression) {
    const int32_t c = std::clamp(compression, 0, 100);
    // H.264 18 (visually lossless) to 38; VP9 20 to 50 (its scale reaches 63).
    const int32_t factor = format == VideoFormat::Mp4 ? 18 + c / 5 : 20 + c * 3 / 10;
    return std::to_string(factor);
}

} // namespace

std::optional<VideoFormat> VideoFormatNamed(const std::string& name) {
    std::string word = Lower(name);
    if (const size_t dot = word.rfind('.'); dot != std::string::npos)
        word = word.substr(dot + 1);
    for (const FormatInfo& info : kFormats)
        if (word == info.extension)
            return info.format;
    return std::nullopt;
}

const char* VideoFormatExtension(VideoFormat format) {
    return InfoOf(format).extension;
}

std::vector<std::pair<std::string, std::string>> EncoderOptions(VideoFormat format,
                                                                int32_t compression) {
    switch (format) {
    case VideoFormat::Mp4:
        return {{"preset", "veryfast"}, {"crf", QualityFactor(format, compression)}};
    case VideoFormat::WebM:
        return {{"crf", QualityFactor(format, compression)},
                {"deadline", "good"},
                {"cpu-used", "5"},
                {"row-mt", "1"}};
    default:
        return {};
    }
}

struct VideoEncoder::State {
    VideoEncoderSettings settings;
    std::string targetPath;
    // The file beside the target that FFmpeg writes, renamed into place by Finish (removed
    // unless that succeeds, also when a signal ends the program).
    std::unique_ptr<FileWriter> file;
    AVFormatContext* muxer = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    std::vector<AVFrame*> pool; // the encoder's input frames, see EncodingThread
    AVPacket* packet = nullptr;
    std::unique_ptr<PaletteFilter> palette; // GIF only; used by the drawing thread
    int64_t nextPts = 0;                    // used by the encoding thread
    bool fileOpen = false;
    // Encodes and writes from its own thread between Open and Finish; ends first.
    std::unique_ptr<EncodingThread> worker;

    ~State() {
        worker.reset();
        if (muxer && fileOpen)
            avio_closep(&muxer->pb);
        avformat_free_context(muxer);
        avcodec_free_context(&encoder);
        for (AVFrame*& frame : pool)
            av_frame_free(&frame);
        av_packet_free(&packet);
    }

    bool Fail(std::string* failure, const std::string& what) const {
        if (failure)
            *failure = what;
        return false;
    }

    bool Open(std::string* failure) {
        const FormatInfo& info = InfoOf(settings.format);
        const AVCodec* codec = info.encoder ? avcodec_find_encoder_by_name(info.encoder)
                                            : avcodec_find_encoder(AV_CODEC_ID_GIF);
        if (!codec)
            return Fail(failure, std::string("This system's FFmpeg libraries have no ") +
                                     info.title + " encoder" +
                                     (info.encoder ? std::string(" (") + info.encoder + ")" : "") +
                                     ".");
        file = FileWriter::CreateReplacing(targetPath, failure);
        if (!file)
            return false;
        const std::string& temporaryPath = file->TemporaryPath();
        if (avformat_alloc_output_context2(&muxer, nullptr, info.muxer, temporaryPath.c_str()) <
                0 ||
            !muxer)
            return Fail(failure, std::string("FFmpeg cannot write ") + info.title + " files.");
        encoder = avcodec_alloc_context3(codec);
        stream = avformat_new_stream(muxer, nullptr);
        packet = av_packet_alloc();
        if (!encoder || !stream || !packet)
            return Fail(failure, "Not enough memory to encode the video.");

        const bool gif = settings.format == VideoFormat::Gif;
        // 4:2:0 chroma needs even sizes; GIF takes any.
        const int32_t width = gif ? settings.width : (settings.width + 1) & ~1;
        const int32_t height = gif ? settings.height : (settings.height + 1) & ~1;
        const AVRational rate = av_d2q(settings.framesPerSecond, 100000);
        encoder->width = width;
        encoder->height = height;
        encoder->time_base = av_inv_q(rate);
        encoder->framerate = rate;
        encoder->sample_aspect_ratio = {1, 1};
        encoder->pix_fmt = gif ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_YUV420P;
        // What the converter writes (BT.601, limited range), so that players read it so.
        if (!gif) {
            encoder->colorspace = AVCOL_SPC_SMPTE170M;
            encoder->color_primaries = AVCOL_PRI_SMPTE170M;
            encoder->color_trc = AVCOL_TRC_SMPTE170M;
            encoder->color_range = AVCOL_RANGE_MPEG;
        }
        if (muxer->oformat->flags & AVFMT_GLOBALHEADER)
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        encoder->bit_rate = 0; // constant quality
        AVDictionary* options = nullptr;
        for (const auto& [name, value] : EncoderOptions(settings.format, settings.compression))
            av_dict_set(&options, name.c_str(), value.c_str(), 0);
        const int opened = avcodec_open2(encoder, codec, &options);
        av_dict_free(&options);
        if (opened < 0)
            return Fail(failure, std::string("The ") + info.title +
                                     " encoder does not start: " + AvError(opened) + ".");
        if (avcodec_parameters_from_context(stream->codecpar, encoder) < 0)
            return Fail(failure, "The video stream cannot be described.");
        stream->time_base = encoder->time_base;
        stream->avg_frame_rate = rate;
        stream->r_frame_rate = rate;

        if (gif) {
            palette = PaletteFilter::Create(settings.width, settings.height, rate, failure);
            if (!palette)
                return false;
        }
        for (int i = 0; i < kPoolFrames; ++i) {
            AVFrame* frame = av_frame_alloc();
            if (!frame || (!gif && !AllocateYuvFrame(frame, width, height))) {
                av_frame_free(&frame);
                return Fail(failure, "Not enough memory to encode the video.");
            }
            pool.push_back(frame);
        }

        if (const int error = avio_open(&muxer->pb, temporaryPath.c_str(), AVIO_FLAG_WRITE);
            error < 0)
            return Fail(failure, CannotCreateFileMessage(AvError(error)));
        fileOpen = true;
        AVDictionary* muxerOptions = nullptr;
        if (settings.format == VideoFormat::Mp4)
            av_dict_set(&muxerOptions, "movflags", "+faststart", 0); // index first: it streams
        const int header = avformat_write_header(muxer, &muxerOptions);
        av_dict_free(&muxerOptions);
        if (header < 0)
            return Fail(failure, "The video file cannot be started: " + AvError(header));
        worker = std::make_unique<EncodingThread>(pool, [this](AVFrame* frame, std::string* why) {
            frame->pts = nextPts++;
            return Encode(frame, why);
        });
        return true;
    }

    // A YUV 4:2:0 frame, white where it is padded to an even size (limited range).
    static bool AllocateYuvFrame(AVFrame* frame, int32_t width, int32_t height) {
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        if (av_frame_get_buffer(frame, 0) < 0)
            return false;
        for (int plane = 0; plane < 3; ++plane)
            for (int y = 0; y < (plane == 0 ? height : height / 2); ++y)
                std::memset(frame->data[plane] + y * frame->linesize[plane], plane == 0 ? 235 : 128,
                            static_cast<size_t>(frame->linesize[plane]));
        return true;
    }

    // Sends frame (null: the end) and writes every packet the encoder has ready.
    bool Encode(const AVFrame* input, std::string* failure) {
        if (const int sent = avcodec_send_frame(encoder, input); sent < 0)
            return Fail(failure, "The encoder refused a frame: " + AvError(sent));
        for (;;) {
            const int received = avcodec_receive_packet(encoder, packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return Fail(failure, "The encoder failed: " + AvError(received));
            if (packet->duration == 0)
                packet->duration = 1; // constant frame rate: one frame each
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (const int written = av_interleaved_write_frame(muxer, packet); written < 0)
                return Fail(failure, "Can not write the video file: " + AvError(written));
        }
    }
};
bool ConvertToYuv420(const VideoFrameView& view, int32_t width, int32_t height, AVFrame* frame) {
    // Still held by the encoder (it copies its input, but may keep the frame a while): a copy.
    if (av_frame_make_writable(frame) < 0)
        return false;
    return libyuv::ARGBToI420(view.pixels, static_cast<int>(view.stride), frame->data[0],
                              frame->linesize[0], frame->data[1], frame->linesize[1],
                              frame->data[2], frame->linesize[2], width, height) == 0;
}

VideoEncoder::VideoEncoder(std::unique_ptr<State> state) : state_(std::move(state)) {}
VideoEncoder::~VideoEncoder() = default;

std::unique_ptr<VideoEncoder> VideoEncoder::Create(const std::string& path,
                                                   const VideoEncoderSettings& settings,
                                                   std::string* failure) {
    // Problems reach the user through failure; the libraries' chatter is not for them.
    av_log_set_level(AV_LOG_ERROR);
    auto state = std::make_unique<State>();
    state->settings = settings;
    state->targetPath = path;
    if (settings.width < 1 || settings.height < 1 || !(settings.framesPerSecond > 0)) {
        state->Fail(failure, "The video needs a size and a frame rate.");
        return nullptr;
    }
    if (!state->Open(failure))
        return nullptr;
    return std::unique_ptr<VideoEncoder>(new VideoEncoder(std::move(state)));
}

bool VideoEncoder::WantsPaletteFrames() const {
    return state_->palette != nullptr;
}

bool VideoEncoder::AddPaletteFrame(const VideoFrameView& frame, std::string* failure) {
    return state_->palette->Study(frame.pixels, frame.stride, failure);
}

bool VideoEncoder::AddFrame(const VideoFrameView& view, std::string* failure) {
    State& s = *state_;
    AVFrame* frame = s.worker->FreeFrame(failure);
    if (!frame)
        return false;
    if (s.palette) {
        if (!s.palette->Map(view.pixels, view.stride, frame, failure))
            return false;
    } else if (!ConvertToYuv420(view, s.settings.width, s.settings.height, frame)) {
        return s.Fail(failure, "A frame cannot be converted for the encoder.");
    }
    return s.worker->Queue(frame, failure);
}

bool VideoEncoder::AddSameFrame(std::string* failure) {
    return state_->worker->Queue(nullptr, failure);
}

bool VideoEncoder::Finish(std::string* failure) {
    State& s = *state_;
    if (!s.worker->Drain(failure) || !s.Encode(nullptr, failure))
        return false;
    if (const int error = av_write_trailer(s.muxer); error < 0)
        return s.Fail(failure, "Can not finish the video file: " + AvError(error));
    s.fileOpen = false;
    if (const int error = avio_closep(&s.muxer->pb); error < 0)
        return s.Fail(failure, "Can not write the video file: " + AvError(error));
    if (const int error = s.file->Commit(); error != 0)
        return s.Fail(failure, s.file->CommitFailureMessage(error));
    return true;
}
