// The screen-cast stream consumer against a PipeWire video source of the test's own (on the
// PipeWire daemon of tests/wayland/with-desktop.sh): what a desktop may send besides what
// GNOME's compositor does, such as red-first pixels, padded rows, damage regions and cursor
// metadata without a new bitmap.
#include "record/core/screencast_stream.h"

#include <gtest/gtest.h>
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int32_t kWidth = 64, kHeight = 48, kStride = kWidth * 4 + 32;
constexpr uint32_t kCursorMetaSize = sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + 2 * 2 * 4;

// One picture the source sends: its pixels (RGBx, padded rows), damage and pointer.
struct SourceFrame {
    std::function<void(uint8_t* rgbx)> paint;
    std::vector<spa_region> damage; // none: the buffer carries no damage regions
    spa_point pointer;
    bool withBitmap;
};

// A video source node: RGBx pictures with padded rows, damage and cursor metadata.
class TestSource {
public:
    TestSource() {
        pw_init(nullptr, nullptr);
        loop_ = pw_thread_loop_new("test-source", nullptr);
        context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
        pw_thread_loop_start(loop_);
        pw_thread_loop_lock(loop_);
        core_ = pw_context_connect(context_, nullptr, 0);
        stream_ = pw_stream_new(core_, "clipmoor-test-source",
                                pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", nullptr));
        static const pw_stream_events events = [] {
            pw_stream_events e{};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.param_changed = OnParamChanged;
            e.process = OnProcess;
            return e;
        }();
        pw_stream_add_listener(stream_, &listener_, &events, this);
        uint8_t buffer[512];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        spa_rectangle size{kWidth, kHeight};
        spa_fraction rate{0, 1};
        const spa_pod* format = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_Id(SPA_VIDEO_FORMAT_RGBx), SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&rate)));
        pw_stream_connect(
            stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS),
            &format, 1);
        pw_thread_loop_unlock(loop_);
        for (int i = 0; i < 200 && Node() == PW_ID_ANY; ++i)
            std::this_thread::sleep_for(10ms);
    }
    ~TestSource() {
        End();
        pw_thread_loop_stop(loop_);
        pw_core_disconnect(core_);
        pw_context_destroy(context_);
        pw_thread_loop_destroy(loop_);
    }
    uint32_t Node() {
        pw_thread_loop_lock(loop_);
        uint32_t node = stream_ ? pw_stream_get_node_id(stream_) : PW_ID_ANY;
        pw_thread_loop_unlock(loop_);
        return node;
    }
    // Sends `frame` as the next picture: asks again until a buffer was free for it.
    void Send(SourceFrame frame) {
        pw_thread_loop_lock(loop_);
        next_ = std::move(frame);
        pending_ = true;
        for (int i = 0; i < 200 && pending_; ++i) {
            pw_stream_trigger_process(stream_);
            pw_thread_loop_unlock(loop_);
            std::this_thread::sleep_for(10ms);
            pw_thread_loop_lock(loop_);
        }
        // One more cycle hands the queued buffer on.
        pw_stream_trigger_process(stream_);
        pw_thread_loop_unlock(loop_);
    }
    void End() {
        pw_thread_loop_lock(loop_);
        if (stream_)
            pw_stream_destroy(stream_);
        stream_ = nullptr;
        pw_thread_loop_unlock(loop_);
    }

private:
    static void OnParamChanged(void* data, uint32_t id, const spa_pod* param) {
        auto* self = static_cast<TestSource*>(data);
        if (id != SPA_PARAM_Format || !param)
            return;
        uint8_t buffer[512];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        const spa_pod* params[3] = {
            static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
                SPA_POD_Int(2), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1), SPA_PARAM_BUFFERS_size,
                SPA_POD_Int(kStride * kHeight), SPA_PARAM_BUFFERS_stride, SPA_POD_Int(kStride),
                SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int(1 << SPA_DATA_MemFd))),
            static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
                SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size, SPA_POD_Int(kCursorMetaSize))),
            static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
                SPA_POD_Id(SPA_META_VideoDamage), SPA_PARAM_META_size,
                SPA_POD_Int(sizeof(spa_meta_region) * 4))),
        };
        pw_stream_update_params(self->stream_, params, 3);
    }

    static void OnProcess(void* data) {
        auto* self = static_cast<TestSource*>(data);
        if (!self->pending_)
            return;
        pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream_);
        if (!buffer)
            return;
        spa_buffer* b = buffer->buffer;
        auto* pixels = static_cast<uint8_t*>(b->datas[0].data);
        if (!pixels || b->datas[0].maxsize < self->picture_.size()) {
            pw_stream_queue_buffer(self->stream_, buffer);
            return;
        }
        self->pending_ = false;
        std::memcpy(pixels, self->picture_.data(), self->picture_.size());
        self->next_.paint(pixels);
        self->picture_.assign(pixels, pixels + self->picture_.size());
        b->datas[0].chunk->offset = 0;
        b->datas[0].chunk->stride = kStride;
        b->datas[0].chunk->size = kStride * kHeight;
        if (spa_meta* damage = spa_buffer_find_meta(b, SPA_META_VideoDamage)) {
            auto* regions = static_cast<spa_meta_region*>(damage->data);
            const size_t room = damage->size / sizeof(spa_meta_region);
            // No regions at all: the whole picture is sent as one.
            std::vector<spa_region> list = self->next_.damage;
            if (list.empty())
                list.push_back({{0, 0}, {kWidth, kHeight}});
            for (size_t i = 0; i < room; ++i)
                regions[i].region = i < list.size() ? list[i] : spa_region{};
        }
        if (auto* cursor = static_cast<spa_meta_cursor*>(
                spa_buffer_find_meta_data(b, SPA_META_Cursor, sizeof(spa_meta_cursor)))) {
            cursor->id = 1;
            cursor->position = self->next_.pointer;
            cursor->hotspot = {1, 1};
            cursor->bitmap_offset = 0;
            if (self->next_.withBitmap) {
                cursor->bitmap_offset = sizeof(spa_meta_cursor);
                auto* bitmap = SPA_PTROFF(cursor, cursor->bitmap_offset, spa_meta_bitmap);
                bitmap->format = SPA_VIDEO_FORMAT_RGBA;
                bitmap->size = {2, 2};
                bitmap->stride = 8;
                bitmap->offset = sizeof(spa_meta_bitmap);
                auto* bits = SPA_PTROFF(bitmap, bitmap->offset, uint8_t);
                for (int i = 0; i < 16; ++i)
                    bits[i] = static_cast<uint8_t>(i);
            }
        }
        pw_stream_queue_buffer(self->stream_, buffer);
    }

    pw_thread_loop* loop_;
    pw_context* context_;
    pw_core* core_;
    pw_stream* stream_;
    spa_hook listener_{};
    SourceFrame next_;
    bool pending_ = false;
    std::vector<uint8_t> picture_ = std::vector<uint8_t>(size_t(kStride) * kHeight, 0);
};

// A connection to the session's PipeWire daemon, as the portal would hand one over.
int ConnectToPipeWire() {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/pipewire-0",
                  std::getenv("XDG_RUNTIME_DIR"));
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void PaintBox(uint8_t* rgbx, int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            uint8_t* p = rgbx + y * kStride + x * 4;
            p[0] = r, p[1] = g, p[2] = b, p[3] = 0;
        }
}

struct Seen {
    bool fresh = false;
    std::vector<PixelBox> changed;
    std::vector<uint8_t> pixel; // as the stream sends it, at the asked point
    StreamPixelLayout layout = StreamPixelLayout::BGRx;
};

// Waits for a fresh picture (or gives up after 5 s) and reads what it says at x, y.
Seen WaitForPicture(ScreenCastStream& stream, int x, int y) {
    Seen seen;
    for (int i = 0; i < 500 && !seen.fresh; ++i) {
        stream.ReadPicture([&](const StreamPicture& picture) {
            seen.fresh = picture.fresh;
            seen.changed = picture.changed;
            seen.layout = picture.layout;
            const uint8_t* p = picture.pixels + y * picture.bytesPerRow + x * 4;
            seen.pixel.assign(p, p + 3);
        });
        if (!seen.fresh)
            std::this_thread::sleep_for(10ms);
    }
    return seen;
}

TEST(ScreenCastStream, ReadsWhatASourceSends) {
    ASSERT_NE(std::getenv("XDG_RUNTIME_DIR"), nullptr) << "run by tests/wayland/with-desktop.sh";
    TestSource source;
    ASSERT_NE(source.Node(), PW_ID_ANY);
    // The first picture, sent until the consumer is linked and has it.
    std::atomic<bool> linked{false};
    std::thread first([&] {
        while (!linked) {
            source.Send(
                {[](uint8_t* rgbx) { PaintBox(rgbx, 0, 0, kWidth - 1, kHeight - 1, 10, 20, 30); },
                 {},
                 {5, 6},
                 true});
            std::this_thread::sleep_for(100ms);
        }
    });
    std::optional<ScreenCastStream> made;
    try {
        made.emplace(ConnectToPipeWire(), source.Node(), 10s);
    } catch (const CaptureError& error) {
        ADD_FAILURE() << error.what();
    }
    linked = true;
    first.join();
    ASSERT_TRUE(made);
    ScreenCastStream& stream = *made;
    std::this_thread::sleep_for(300ms); // the first picture's copies have all arrived
    EXPECT_EQ(stream.Width(), kWidth);
    EXPECT_EQ(stream.Height(), kHeight);

    Seen seen = WaitForPicture(stream, kWidth - 1, kHeight - 1);
    ASSERT_TRUE(seen.fresh);
    EXPECT_EQ(seen.layout, StreamPixelLayout::RGBx);
    EXPECT_EQ(seen.pixel, (std::vector<uint8_t>{10, 20, 30})); // read through the padded rows
    EXPECT_EQ(seen.changed, (std::vector<PixelBox>{{0, 0, kWidth - 1, kHeight - 1}}));
    EXPECT_EQ(stream.Pointer()->x, 5);
    CursorBitmap bitmap = stream.LastCursorBitmap();
    EXPECT_EQ(bitmap.width, 2);
    EXPECT_EQ(bitmap.hotspotX, 1);
    EXPECT_EQ(bitmap.pixels[0], 2); // RGBA stored as BGRA

    // Two damaged boxes sharing rows arrive joined; the pointer moves without a new bitmap.
    source.Send({[](uint8_t* rgbx) {
                     PaintBox(rgbx, 10, 5, 19, 9, 255, 0, 0);
                     PaintBox(rgbx, 40, 8, 41, 12, 0, 255, 0);
                 },
                 {{{10, 5}, {10, 5}}, {{40, 8}, {2, 5}}},
                 {7, 8},
                 false});
    seen = WaitForPicture(stream, 19, 9);
    ASSERT_TRUE(seen.fresh);
    EXPECT_EQ(seen.pixel, (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(seen.changed, (std::vector<PixelBox>{{10, 5, 41, 12}}));
    EXPECT_EQ(stream.Pointer()->x, 7);
    EXPECT_EQ(stream.Pointer()->y, 8);
    EXPECT_EQ(stream.LastCursorBitmap().width, 2);

    // Nothing new: nothing to compare.
    stream.ReadPicture([](const StreamPicture& picture) {
        EXPECT_FALSE(picture.fresh);
        EXPECT_TRUE(picture.changed.empty());
    });

    source.End();
    bool ended = false;
    for (int i = 0; i < 500 && !ended; ++i) {
        try {
            stream.ReadPicture([](const StreamPicture&) {});
            std::this_thread::sleep_for(10ms);
        } catch (const CaptureError& error) {
            ended = true;
            EXPECT_NE(std::string(error.what()).find("stream ended"), std::string::npos);
        }
    }
    EXPECT_TRUE(ended);
}

} // namespace
