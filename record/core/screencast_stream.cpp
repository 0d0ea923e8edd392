#include "record/core/screencast_stream.h"

#include "record/core/stream_pixels.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <linux/dma-buf.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>

namespace {

constexpr const char* kStreamEnded =
    "The screen-cast stream ended (the monitor or the desktop went away).";
constexpr const char* kUnreadableFormat =
    "The screen-cast stream sends pictures in a form Clipmoor cannot read.";

// Room for a cursor bitmap of up to 1024 x 1024 pixels (desktops ask for 64 x 64 up to
// 384 x 384).
constexpr int32_t CursorMetaSize(int32_t side) {
    return static_cast<int32_t>(sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap)) +
           side * side * 4;
}
// Damage regions per picture; more are sent as one box holding them all.
constexpr int32_t kDamageRegions = 16;

std::optional<StreamPixelLayout> LayoutOf(uint32_t format) {
    switch (format) {
    case SPA_VIDEO_FORMAT_BGRx:
        return StreamPixelLayout::BGRx;
    case SPA_VIDEO_FORMAT_BGRA:
        return StreamPixelLayout::BGRA;
    case SPA_VIDEO_FORMAT_RGBx:
        return StreamPixelLayout::RGBx;
    case SPA_VIDEO_FORMAT_RGBA:
        return StreamPixelLayout::RGBA;
    default:
        return std::nullopt;
    }
}

// Bytes from one row of a picture to the next; packed rows when the producer does not say.
int64_t RowStride(const spa_data& data, int32_t width) {
    return data.chunk->stride > 0 ? data.chunk->stride : int64_t{width} * 4;
}

// A DMA-BUF that PipeWire did not map: mapped for reading while one picture is read.
class MappedDmaBuf {
public:
    explicit MappedDmaBuf(const spa_data& data) : fd_(static_cast<int>(data.fd)) {
        size_ = data.mapoffset + data.maxsize;
        void* mapped = mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd_, 0);
        if (mapped == MAP_FAILED)
            return;
        base_ = static_cast<uint8_t*>(mapped);
        Sync(DMA_BUF_SYNC_START);
        pixels_ = base_ + data.mapoffset;
    }
    ~MappedDmaBuf() {
        if (!base_)
            return;
        Sync(DMA_BUF_SYNC_END);
        munmap(base_, size_);
    }
    const uint8_t* Pixels() const { return pixels_; }

private:
    void Sync(uint64_t when) {
        dma_buf_sync sync{when | DMA_BUF_SYNC_READ};
        ioctl(fd_, DMA_BUF_IOCTL_SYNC, &sync);
    }
    int fd_;
    size_t size_ = 0;
    uint8_t* base_ = nullptr;
    const uint8_t* pixels_ = nullptr;
};

} // namespace

struct ScreenCastStream::State {
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    pw_registry* registry = nullptr;
    spa_hook coreListener{};
    spa_hook streamListener{};
    spa_hook registryListener{};
    uint32_t node = 0;

    // Shared with the stream's thread.
    mutable std::mutex mutex;
    std::condition_variable arrived;
    int32_t width = 0;
    int32_t height = 0;
    StreamPixelLayout layout = StreamPixelLayout::BGRx;
    // The newest picture's buffer, kept from the producer until a newer one comes: read in
    // place, so that each picture is read once, by whoever compares it.
    pw_buffer* held = nullptr;
    std::vector<PixelBox> changed;
    bool fresh = false;
    bool pictureSeen = false;
    std::string failure; // why the stream can no longer be read
    std::optional<ScreenPoint> pointer;
    CursorBitmap cursor;

    void Fail(std::string why) {
        std::lock_guard lock(mutex);
        FailLocked(std::move(why));
    }
    // The first failure stays; called with the mutex held.
    void FailLocked(std::string why) {
        if (failure.empty())
            failure = std::move(why);
        arrived.notify_all();
    }

    void OnFormat(const spa_pod* param) {
        uint32_t mediaType = 0, mediaSubtype = 0;
        spa_video_info_raw info{};
        if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 ||
            mediaType != SPA_MEDIA_TYPE_video || mediaSubtype != SPA_MEDIA_SUBTYPE_raw ||
            spa_format_video_raw_parse(param, &info) < 0 || !LayoutOf(info.format) ||
            info.size.width == 0 || info.size.height == 0) {
            Fail(kUnreadableFormat);
            return;
        }
        {
            std::lock_guard lock(mutex);
            // The held picture has the old format: back to the producer with it.
            if (held)
                pw_stream_queue_buffer(stream, std::exchange(held, nullptr));
            fresh = false;
            layout = *LayoutOf(info.format);
            if (static_cast<int32_t>(info.size.width) != width ||
                static_cast<int32_t>(info.size.height) != height) {
                width = static_cast<int32_t>(info.size.width);
                height = static_cast<int32_t>(info.size.height);
                changed = {PixelBox{0, 0, width - 1, height - 1}};
            }
        }
        uint8_t buffer[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        const spa_pod* params[3];
        params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd) |
                                     (1 << SPA_DATA_DmaBuf))));
        params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
            SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
            SPA_POD_CHOICE_RANGE_Int(CursorMetaSize(64), CursorMetaSize(1), CursorMetaSize(1024))));
        params[2] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
            SPA_POD_Id(SPA_META_VideoDamage), SPA_PARAM_META_size,
            SPA_POD_CHOICE_RANGE_Int(int32_t(sizeof(spa_meta_region)) * kDamageRegions,
                                     int32_t(sizeof(spa_meta_region)),
                                     int32_t(sizeof(spa_meta_region)) * kDamageRegions)));
        pw_stream_update_params(stream, params, 3);
    }

    // Called with the mutex held.
    void TakeCursor(spa_buffer* buffer) {
        auto* meta = static_cast<spa_meta_cursor*>(
            spa_buffer_find_meta_data(buffer, SPA_META_Cursor, sizeof(spa_meta_cursor)));
        if (!meta || !spa_meta_cursor_is_valid(meta))
            return;
        pointer = ScreenPoint{meta->position.x, meta->position.y};
        if (meta->bitmap_offset < sizeof(spa_meta_cursor))
            return; // the bitmap has not changed
        auto* bitmap = SPA_PTROFF(meta, meta->bitmap_offset, spa_meta_bitmap);
        if (!spa_meta_bitmap_is_valid(bitmap) || bitmap->offset < sizeof(spa_meta_bitmap)) {
            cursor = CursorBitmap{}; // invisible
            return;
        }
        std::optional<StreamPixelLayout> bitmapLayout = LayoutOf(bitmap->format);
        const int32_t w = static_cast<int32_t>(bitmap->size.width);
        const int32_t h = static_cast<int32_t>(bitmap->size.height);
        if (!bitmapLayout || w <= 0 || h <= 0 || w > 1024 || h > 1024 || bitmap->stride < w * 4)
            return;
        cursor = CursorBitmap{w, h, meta->hotspot.x, meta->hotspot.y,
                              std::vector<uint8_t>(static_cast<size_t>(w) * h * 4)};
        CopyStreamBox(SPA_PTROFF(bitmap, bitmap->offset, const uint8_t), bitmap->stride,
                      *bitmapLayout, cursor.pixels.data(), int64_t{w} * 4, {0, 0, w - 1, h - 1});
    }

    // The boxes the buffer says were redrawn; the whole picture when it does not say.
    std::vector<PixelBox> DamageOf(spa_buffer* buffer) const {
        std::vector<PixelBox> boxes;
        if (spa_meta* meta = spa_buffer_find_meta(buffer, SPA_META_VideoDamage)) {
            spa_meta_region* region;
            spa_meta_for_each(region, meta) {
                if (!spa_meta_region_is_valid(region))
                    break;
                const spa_region& r = region->region;
                PixelBox box{r.position.x, r.position.y,
                             r.position.x + static_cast<int32_t>(r.size.width) - 1,
                             r.position.y + static_cast<int32_t>(r.size.height) - 1};
                if (std::optional<PixelBox> clipped = ClipBox(box, width, height))
                    boxes.push_back(*clipped);
            }
        }
        if (boxes.empty())
            boxes.push_back({0, 0, width - 1, height - 1});
        return boxes;
    }

    // Takes a dequeued buffer; returns the one to give back to the producer (this one, or
    // the picture it replaces).
    pw_buffer* TakeBuffer(pw_buffer* taken) {
        spa_buffer* buffer = taken->buffer;
        std::lock_guard lock(mutex);
        TakeCursor(buffer);
        if (buffer->n_datas < 1 || width == 0)
            return taken;
        const spa_data& data = buffer->datas[0];
        // Buffers that only move the pointer carry no picture.
        if (!data.chunk || data.chunk->size == 0 || (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED))
            return taken;
        const int64_t stride = RowStride(data, width);
        const uint64_t needed = data.chunk->offset + static_cast<uint64_t>(stride) * (height - 1) +
                                static_cast<uint64_t>(width) * 4;
        if ((!data.data && data.type != SPA_DATA_DmaBuf) || stride < int64_t{width} * 4 ||
            needed > data.maxsize) {
            FailLocked(kUnreadableFormat);
            return taken;
        }
        for (const PixelBox& box : DamageOf(buffer))
            changed.push_back(box);
        changed = JoinBoxesSharingRows(std::move(changed));
        std::swap(held, taken);
        fresh = pictureSeen = true;
        arrived.notify_all();
        return taken;
    }

    static void OnProcess(void* data) {
        auto* self = static_cast<State*>(data);
        // Every queued buffer counts: each one's damage is part of what changed.
        while (pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream))
            if (pw_buffer* done = self->TakeBuffer(buffer))
                pw_stream_queue_buffer(self->stream, done);
    }
    // Buffers go away when the stream's format changes: the held picture with them.
    static void OnRemoveBuffer(void* data, pw_buffer* buffer) {
        auto* self = static_cast<State*>(data);
        std::lock_guard lock(self->mutex);
        if (self->held == buffer) {
            self->held = nullptr;
            self->fresh = false;
        }
    }
    static void OnParamChanged(void* data, uint32_t id, const spa_pod* param) {
        if (id == SPA_PARAM_Format && param)
            static_cast<State*>(data)->OnFormat(param);
    }
    static void OnStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*) {
        if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
            static_cast<State*>(data)->Fail(kStreamEnded);
    }
    // The node goes away when the monitor or the cast does; the stream itself only pauses.
    static void OnGlobalRemoved(void* data, uint32_t id) {
        auto* self = static_cast<State*>(data);
        if (id == self->node)
            self->Fail(kStreamEnded);
    }
    static void OnCoreError(void* data, uint32_t id, int, int, const char*) {
        if (id == PW_ID_CORE)
            static_cast<State*>(data)->Fail(kStreamEnded);
    }

    void Stop() {
        if (loop)
            pw_thread_loop_stop(loop);
        if (stream)
            pw_stream_destroy(stream);
        if (registry)
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
        if (core)
            pw_core_disconnect(core);
        if (context)
            pw_context_destroy(context);
        if (loop)
            pw_thread_loop_destroy(loop);
    }
};

ScreenCastStream::ScreenCastStream(int pipewireFd, uint32_t node,
                                   std::chrono::milliseconds firstPictureTimeout)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    pw_init(nullptr, nullptr);
    s.loop = pw_thread_loop_new("clipmoor-cast", nullptr);
    s.context = s.loop ? pw_context_new(pw_thread_loop_get_loop(s.loop), nullptr, 0) : nullptr;
    if (!s.context || pw_thread_loop_start(s.loop) < 0) {
        close(pipewireFd);
        s.Stop();
        throw CaptureError("PipeWire could not be started to receive the screen cast.");
    }

    static const pw_core_events coreEvents = [] {
        pw_core_events events{};
        events.version = PW_VERSION_CORE_EVENTS;
        events.error = State::OnCoreError;
        return events;
    }();
    static const pw_registry_events registryEvents = [] {
        pw_registry_events events{};
        events.version = PW_VERSION_REGISTRY_EVENTS;
        events.global_remove = State::OnGlobalRemoved;
        return events;
    }();
    static const pw_stream_events streamEvents = [] {
        pw_stream_events events{};
        events.version = PW_VERSION_STREAM_EVENTS;
        events.state_changed = State::OnStateChanged;
        events.param_changed = State::OnParamChanged;
        events.process = State::OnProcess;
        events.remove_buffer = State::OnRemoveBuffer;
        return events;
    }();

    pw_thread_loop_lock(s.loop);
    s.core = pw_context_connect_fd(s.context, pipewireFd, nullptr, 0);
    int connected = -1;
    if (s.core) {
        pw_core_add_listener(s.core, &s.coreListener, &coreEvents, &s);
        s.node = node;
        s.registry = pw_core_get_registry(s.core, PW_VERSION_REGISTRY, 0);
        if (s.registry)
            pw_registry_add_listener(s.registry, &s.registryListener, &registryEvents, &s);
        s.stream =
            pw_stream_new(s.core, "Clipmoor recording",
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                            "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    }
    if (s.stream) {
        pw_stream_add_listener(s.stream, &s.streamListener, &streamEvents, &s);
        uint8_t buffer[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        spa_rectangle size{1920, 1080}, minSize{1, 1}, maxSize{16384, 16384};
        spa_fraction rate{0, 1}, minRate{0, 1}, maxRate{1000, 1};
        const spa_pod* format = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                   SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx,
                                   SPA_VIDEO_FORMAT_RGBA),
            SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &minSize, &maxSize),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &minRate, &maxRate)));
        connected = pw_stream_connect(
            s.stream, PW_DIRECTION_INPUT, node,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
            &format, 1);
    }
    pw_thread_loop_unlock(s.loop);
    if (connected < 0) {
        s.Stop();
        throw CaptureError("The screen cast's PipeWire stream could not be connected.");
    }

    std::unique_lock lock(s.mutex);
    s.arrived.wait_for(lock, firstPictureTimeout,
                       [&] { return s.pictureSeen || !s.failure.empty(); });
    std::string failure = s.failure;
    bool seen = s.pictureSeen;
    lock.unlock();
    if (!seen) {
        s.Stop();
        throw CaptureError(!failure.empty() ? failure
                                            : "The screen cast sent no picture of the monitor.");
    }
}

ScreenCastStream::~ScreenCastStream() {
    state_->Stop();
}

int32_t ScreenCastStream::Width() const {
    std::lock_guard lock(state_->mutex);
    return state_->width;
}

int32_t ScreenCastStream::Height() const {
    std::lock_guard lock(state_->mutex);
    return state_->height;
}

void ScreenCastStream::ReadPicture(const std::function<void(const StreamPicture&)>& read) {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (!s.failure.empty())
        throw CaptureError(s.failure);
    const uint8_t* pixels = nullptr;
    int64_t stride = 0;
    std::optional<MappedDmaBuf> dmaBuf;
    if (s.held) {
        const spa_data& data = s.held->buffer->datas[0];
        pixels = static_cast<const uint8_t*>(data.data);
        if (!pixels && data.type == SPA_DATA_DmaBuf)
            pixels = dmaBuf.emplace(data).Pixels();
        if (!pixels) {
            s.FailLocked(kUnreadableFormat);
            throw CaptureError(s.failure);
        }
        pixels += data.chunk->offset;
        stride = RowStride(data, s.width);
    }
    read(StreamPicture{pixels, stride, s.layout, s.width, s.height, s.fresh, s.changed});
    // While the format changes there is no picture: what changed waits for the next one.
    if (pixels) {
        s.changed.clear();
        s.fresh = false;
    }
}

std::optional<ScreenPoint> ScreenCastStream::Pointer() const {
    std::lock_guard lock(state_->mutex);
    return state_->pointer;
}

CursorBitmap ScreenCastStream::LastCursorBitmap() const {
    std::lock_guard lock(state_->mutex);
    return state_->cursor;
}
