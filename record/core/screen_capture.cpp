#include "record/core/screen_capture.h"

#include "record/hooks/display_loss.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kCaptureFailedMessage = "The screen could not be captured.";
// The whole-area check reads this many bands of rows in turn: a sixteenth of a 4K area
// made every 60 Hz tick it fell on take longer than the tick's interval.
constexpr int32_t kBands = 64;

// After the server went away every request fails; say so rather than blame the screen.
[[noreturn]] void ThrowCaptureFailed() {
    throw CaptureError(DisplayLost() ? kDisplayLostMessage : kCaptureFailedMessage);
}

// Xlib's default error handler ends the process; while a request of ours may fail
// (shared memory refused by a remote server, a rectangle the server rejects) errors
// are caught and reported instead.
std::atomic<int> trappedError{0};
std::atomic<Display*> trappedDisplay{nullptr};
XErrorHandler outerHandler = nullptr;

// Errors of other connections (the hook libraries' threads have their own) go on to
// the handler that was there before.
int TrapError(Display* display, XErrorEvent* event) {
    if (display != trappedDisplay.load())
        return outerHandler ? outerHandler(display, event) : 0;
    trappedError = event->error_code;
    return 0;
}

class ErrorTrap {
public:
    static constexpr bool kNothingPending = false;
    explicit ErrorTrap(Display* display, bool syncFirst = true) : display_(display) {
        if (syncFirst)
            XSync(display_, False); // earlier requests' errors are not ours to catch
        trappedError = 0;
        trappedDisplay = display_;
        previous_ = XSetErrorHandler(TrapError);
        outerHandler = previous_;
    }
    ~ErrorTrap() {
        XSetErrorHandler(previous_);
        trappedDisplay = nullptr;
    }
    // Waits for the server's answers and tells whether any request failed.
    bool Failed() {
        XSync(display_, False);
        return trappedError != 0;
    }
    // For a request that waited for its reply: its error has been seen already.
    bool ReplyFailed() const { return trappedError != 0; }

private:
    Display* display_;
    XErrorHandler previous_;
};

// Touches every page of a shared buffer now. The first write to a fresh page costs a
// fault, and under some hypervisors one per 4 KB page even after the kernel mapped it in
// advance: 2,000 of them (one 1080p buffer) take 10 ms, which would make the first ticks
// miss their times. The buffer's contents are not needed yet.
void TouchPagesNow(char* memory, size_t bytes) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    auto* bytesToTouch = reinterpret_cast<volatile char*>(memory);
    for (size_t offset = 0; offset < bytes; offset += page)
        bytesToTouch[offset] = 0;
}

struct Buffer {
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    bool shared = false;
};

} // namespace

struct ScreenCapture::State {
    Display* display = nullptr;
    Window root = 0;
    Visual* visual = nullptr;
    int depth = 0;
    int width = 0;
    int height = 0;
    bool sharedMemoryOffered = false;
    bool damageOffered = false;
    CaptureArea area{};
    bool begun = false;
    bool shared = false;
    Buffer buffers[2];
    int next = 0;
    int64_t screenReads = 0;

    // Damage tracking: the server collects what was drawn on the screen; a capture reads
    // only that part of the area and patches it into the older buffer.
    Damage damage = 0;
    XserverRegion drawn = 0;
    bool haveFrame = false;
    std::chrono::milliseconds wholeReadInterval{2000};
    std::chrono::steady_clock::time_point lastBandRead{};
    int32_t nextBand = 0; // of kBands, top to bottom
    int latest = 0;       // the buffer holding the newest picture
    // Where the other buffer differs from the newest picture.
    std::vector<PixelBox> otherStale;
    std::vector<PixelBox> lastChange;

    bool Tracking() const { return damage != 0; }

    // When the server refuses, every capture reads the whole area.
    void StartTracking() {
        bool failed;
        {
            ErrorTrap trap(display);
            damage = XDamageCreate(display, root, XDamageReportNonEmpty);
            drawn = XFixesCreateRegion(display, nullptr, 0);
            failed = trap.Failed();
        }
        if (failed)
            StopTracking();
    }

    void StopTracking() {
        if (damage) {
            ErrorTrap trap(display);
            XDamageDestroy(display, damage);
            if (drawn)
                XFixesDestroyRegion(display, drawn);
            trap.Failed();
        }
        damage = 0;
        drawn = 0;
        DiscardEvents();
    }

    // Damage notices only say that something was drawn; the region is fetched instead.
    void DiscardEvents() {
        XEvent event;
        while (XEventsQueued(display, QueuedAlready) > 0)
            XNextEvent(display, &event);
    }

    // Takes what was drawn since the last call out of the server's record and returns
    // its bounds within the area, in area coordinates; none when nothing inside it was.
    std::optional<PixelBox> TakeDrawnBox() {
        XDamageSubtract(display, damage, None, drawn);
        int count = 0;
        XRectangle bounds{};
        XRectangle* rectangles = XFixesFetchRegionAndBounds(display, drawn, &count, &bounds);
        DiscardEvents();
        std::optional<PixelBox> box;
        for (int i = 0; rectangles && i < count; ++i) {
            const XRectangle& r = rectangles[i];
            int x0 = std::max<int>(r.x, area.Left);
            int y0 = std::max<int>(r.y, area.Top);
            int x1 = std::min<int>(r.x + r.width - 1, area.Right);
            int y1 = std::min<int>(r.y + r.height - 1, area.Bottom);
            if (x0 > x1 || y0 > y1)
                continue;
            PixelBox part{x0 - area.Left, y0 - area.Top, x1 - area.Left, y1 - area.Top};
            box = box ? UnionBox(*box, part) : part;
        }
        if (rectangles)
            XFree(rectangles);
        return box;
    }

    // Reads `box` of the area into `target`, which shows the same picture as `newest`.
    // The server writes the box's rows packed, so they land at the box's first row and
    // are then spread to their places; what they covered is restored from `newest`.
    // No third buffer is needed.
    bool ReadBox(const PixelBox& box, Buffer& target, const Buffer& newest) {
        XImage* header = XShmCreateImage(display, visual, depth, ZPixmap, nullptr, &target.segment,
                                         box.Width(), box.Height());
        if (!header)
            return false;
        int64_t stride = target.image->bytes_per_line;
        int64_t packedStride = header->bytes_per_line;
        char* packed = target.image->data + box.y0 * stride;
        header->data = packed;
        ++screenReads;
        bool ok = packedStride <= stride && XShmGetImage(display, root, header, area.Left + box.x0,
                                                         area.Top + box.y0, AllPlanes);
        header->data = nullptr;
        XDestroyImage(header);
        if (!ok)
            return false;
        // Last row first: a row's place never overlaps the packed rows before it.
        size_t rowBytes = static_cast<size_t>(box.Width()) * 4;
        for (int32_t y = box.Height() - 1; y >= 0; --y)
            std::memmove(packed + y * stride + box.x0 * 4, packed + y * packedStride, rowBytes);
        int64_t coveredRows = (box.Height() * packedStride + stride - 1) / stride;
        int32_t width = target.image->width;
        for (int64_t y = box.y0; y < box.y0 + coveredRows; ++y) {
            char* row = target.image->data + y * stride;
            const char* source = newest.image->data + y * stride;
            std::memcpy(row, source, static_cast<size_t>(box.x0) * 4);
            std::memcpy(row + (box.x1 + 1) * 4, source + (box.x1 + 1) * 4,
                        static_cast<size_t>(width - box.x1 - 1) * 4);
        }
        return true;
    }

    static void CopyBox(const uint8_t* source, int64_t sourceStride, const PixelBox& from,
                        Buffer& target, int32_t toX, int32_t toY) {
        XImage* image = target.image;
        size_t rowBytes = static_cast<size_t>(from.Width()) * 4;
        for (int32_t y = 0; y < from.Height(); ++y)
            std::memcpy(image->data + (toY + y) * int64_t{image->bytes_per_line} + toX * 4,
                        source + (from.y0 + y) * sourceStride + from.x0 * 4, rowBytes);
    }

    PixelPlane PlaneOf(const Buffer& buffer) const {
        XImage* image = buffer.image;
        return PixelPlane{reinterpret_cast<const uint8_t*>(image->data), image->bytes_per_line,
                          image->width, image->height, 4};
    }

    // The next band of rows that is due to be read whatever was drawn, if one is.
    std::optional<PixelBox> DueBand() {
        if (wholeReadInterval.count() <= 0)
            return std::nullopt;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastBandRead < wholeReadInterval / kBands)
            return std::nullopt;
        lastBandRead = now;
        const int32_t height = area.Bottom - area.Top + 1;
        const int32_t band = nextBand;
        nextBand = (nextBand + 1) % kBands;
        const int32_t y0 = height * band / kBands;
        const int32_t y1 = height * (band + 1) / kBands - 1;
        if (y0 > y1)
            return std::nullopt; // areas lower than kBands rows have empty bands
        return PixelBox{0, y0, area.Right - area.Left, y1};
    }

    // What to read: the drawn box and the due band, as one box when they share rows.
    static std::vector<PixelBox> BoxesToRead(std::optional<PixelBox> drawn,
                                             std::optional<PixelBox> band) {
        if (!band)
            return drawn ? std::vector<PixelBox>{*drawn} : std::vector<PixelBox>{};
        if (!drawn)
            return {*band};
        if (drawn->y1 + 1 < band->y0 || band->y1 + 1 < drawn->y0)
            return {*drawn, *band};
        return {{band->x0, std::min(drawn->y0, band->y0), band->x1, std::max(drawn->y1, band->y1)}};
    }

    // A capture that reads only what was drawn since the previous one.
    bool CaptureDrawn() {
        PixelBox whole{0, 0, area.Right - area.Left, area.Bottom - area.Top};
        std::optional<PixelBox> drawnBox = TakeDrawnBox();
        if (!haveFrame) {
            // Both buffers are read whole, the second no older than the first. What was
            // drawn during the reads lies in the next drawn box; outside it the two agree,
            // so the second buffer needs no copy from the first: the server's copy is
            // cheaper for this process than copying the whole area here.
            screenReads += 2;
            for (Buffer& buffer : buffers)
                if (!XShmGetImage(display, root, buffer.image, area.Left, area.Top, AllPlanes))
                    return false;
            latest = 0;
            otherStale.clear();
            lastChange = {whole};
            haveFrame = true;
            lastBandRead = std::chrono::steady_clock::now();
            nextBand = 0;
            return true;
        }
        // A drawing path that reports no damage (some direct-rendering or compositing
        // setups) must not go unseen for long: now and then a band of the area is read and
        // compared as if it had all been drawn.
        lastChange = BoxesToRead(drawnBox, DueBand());
        if (lastChange.empty())
            return true;
        Buffer& target = buffers[latest ^ 1];
        // The older buffer catches up with the newest picture before it is patched.
        const Buffer& newest = buffers[latest];
        for (const PixelBox& stale : otherStale)
            CopyBox(reinterpret_cast<const uint8_t*>(newest.image->data),
                    newest.image->bytes_per_line, stale, target, stale.x0, stale.y0);
        // The boxes share no rows, so reading one never disturbs another.
        for (const PixelBox& box : lastChange)
            if (!ReadBox(box, target, newest))
                return false;
        otherStale = lastChange;
        latest ^= 1;
        return true;
    }

    void Release(Buffer& buffer) {
        if (!buffer.image)
            return;
        if (buffer.shared) {
            XShmDetach(display, &buffer.segment);
            XSync(display, False);
            buffer.image->data = nullptr;
            shmdt(buffer.segment.shmaddr);
        }
        XDestroyImage(buffer.image); // frees malloc'ed pixels of plain buffers
        buffer = Buffer{};
    }

    bool CreateShared(Buffer& buffer, int w, int h) {
        buffer.image =
            XShmCreateImage(display, visual, depth, ZPixmap, nullptr, &buffer.segment, w, h);
        if (!buffer.image)
            return false;
        size_t bytes = static_cast<size_t>(buffer.image->bytes_per_line) * h;
        buffer.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (buffer.segment.shmid < 0) {
            XDestroyImage(buffer.image);
            buffer = Buffer{};
            return false;
        }
        buffer.segment.shmaddr = static_cast<char*>(shmat(buffer.segment.shmid, nullptr, 0));
        // Marked for removal at once: the segment goes when both sides have let go.
        shmctl(buffer.segment.shmid, IPC_RMID, nullptr);
        if (buffer.segment.shmaddr == reinterpret_cast<char*>(-1)) {
            XDestroyImage(buffer.image);
            buffer = Buffer{};
            return false;
        }
        buffer.image->data = buffer.segment.shmaddr;
        buffer.segment.readOnly = False;
        ErrorTrap trap(display);
        bool attached = XShmAttach(display, &buffer.segment) && !trap.Failed();
        if (!attached) {
            buffer.image->data = nullptr;
            shmdt(buffer.segment.shmaddr);
            XDestroyImage(buffer.image);
            buffer = Buffer{};
            return false;
        }
        buffer.shared = true;
        return true;
    }

    bool CreatePlain(Buffer& buffer, int w, int h) {
        buffer.image = XCreateImage(display, visual, depth, ZPixmap, 0, nullptr, w, h, 32, 0);
        if (!buffer.image)
            return false;
        buffer.image->data =
            static_cast<char*>(std::malloc(static_cast<size_t>(buffer.image->bytes_per_line) * h));
        if (!buffer.image->data) {
            XDestroyImage(buffer.image);
            buffer = Buffer{};
            return false;
        }
        return true;
    }
};

ScreenCapture::ScreenCapture(const char* displayName, Transfer transfer, ChangeTracking tracking)
    : state_(std::make_unique<State>()) {
    Display* display = XOpenDisplay(displayName);
    if (!display)
        throw CaptureError("Cannot open the X display to capture the screen.");
    OutliveDisplayLoss(display);
    state_->display = display;
    int screen = DefaultScreen(display);
    state_->root = RootWindow(display, screen);
    state_->visual = DefaultVisual(display, screen);
    state_->depth = DefaultDepth(display, screen);
    state_->width = DisplayWidth(display, screen);
    state_->height = DisplayHeight(display, screen);
    Visual* visual = state_->visual;
    if ((state_->depth != 24 && state_->depth != 32) || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0x00FF00 || visual->blue_mask != 0x0000FF) {
        XCloseDisplay(display);
        state_->display = nullptr;
        throw CaptureError("The screen must show 24-bit colour to be recorded.");
    }
    state_->sharedMemoryOffered =
        transfer == Transfer::SharedMemoryIfAvailable && XShmQueryExtension(display);
    int eventBase = 0, errorBase = 0;
    state_->damageOffered = tracking == ChangeTracking::DamageIfAvailable &&
                            XDamageQueryExtension(display, &eventBase, &errorBase) &&
                            XFixesQueryExtension(display, &eventBase, &errorBase);
    if (state_->damageOffered) {
        // Both must be asked for their versions before their requests are used.
        int major = 1, minor = 1;
        XDamageQueryVersion(display, &major, &minor);
        major = 2, minor = 0;
        XFixesQueryVersion(display, &major, &minor);
    }
}

ScreenCapture::~ScreenCapture() {
    End();
    if (state_->display)
        XCloseDisplay(state_->display);
}

int32_t ScreenCapture::ScreenWidth() const {
    return state_->width;
}

int32_t ScreenCapture::ScreenHeight() const {
    return state_->height;
}

void ScreenCapture::Begin(const CaptureArea& area) {
    End();
    State& s = *state_;
    int w = area.Right - area.Left + 1;
    int h = area.Bottom - area.Top + 1;
    if (area.Left < 0 || area.Top < 0 || area.Right >= s.width || area.Bottom >= s.height ||
        w <= 0 || h <= 0)
        throw CaptureError("The capture area does not lie on the screen.");
    s.shared = s.sharedMemoryOffered;
    if (s.shared && !(s.CreateShared(s.buffers[0], w, h) && s.CreateShared(s.buffers[1], w, h))) {
        s.Release(s.buffers[0]);
        s.Release(s.buffers[1]);
        s.shared = false;
    }
    if (!s.shared && !(s.CreatePlain(s.buffers[0], w, h) && s.CreatePlain(s.buffers[1], w, h))) {
        s.Release(s.buffers[0]);
        s.Release(s.buffers[1]);
        throw CaptureError("There is not enough memory to capture the screen.");
    }
    XImage* image = s.buffers[0].image;
    if (image->bits_per_pixel != 32 || image->byte_order != LSBFirst) {
        End();
        throw CaptureError("The screen's pixel layout cannot be recorded.");
    }
    s.area = area;
    if (s.shared) {
        // The first read into a fresh shared buffer pays for its pages on both sides of the
        // connection; doing it now keeps that cost out of the first ticks. (When changes are
        // tracked, the whole area is still read and compared now and then.)
        ErrorTrap trap(s.display, ErrorTrap::kNothingPending);
        for (Buffer& buffer : s.buffers) {
            TouchPagesNow(buffer.image->data,
                          static_cast<size_t>(buffer.image->bytes_per_line) * buffer.image->height);
            XShmGetImage(s.display, s.root, buffer.image, area.Left, area.Top, AllPlanes);
        }
    }
    s.next = 0;
    s.haveFrame = false;
    s.otherStale.clear();
    s.lastChange.clear();
    if (s.shared && s.damageOffered)
        s.StartTracking();
    s.begun = true;
}

PixelPlane ScreenCapture::Capture() {
    State& s = *state_;
    if (!s.begun)
        throw CaptureError("No capture area was set.");
    if (s.Tracking()) {
        bool ok;
        {
            ErrorTrap trap(s.display, ErrorTrap::kNothingPending);
            ok = s.CaptureDrawn() && !trap.ReplyFailed();
        }
        if (!ok)
            ThrowCaptureFailed();
        return s.PlaneOf(s.buffers[s.latest]);
    }
    Buffer& buffer = s.buffers[s.next];
    XImage* image = buffer.image;
    bool ok;
    ++s.screenReads;
    {
        // Every request since Begin waited for its reply, so nothing older is pending.
        ErrorTrap trap(s.display, ErrorTrap::kNothingPending);
        if (buffer.shared) {
            ok = XShmGetImage(s.display, s.root, image, s.area.Left, s.area.Top, AllPlanes);
        } else {
            // XGetSubImage would copy pixel by pixel; a fresh image replaces the buffer.
            XImage* fresh = XGetImage(s.display, s.root, s.area.Left, s.area.Top,
                                      static_cast<unsigned>(image->width),
                                      static_cast<unsigned>(image->height), AllPlanes, ZPixmap);
            ok = fresh && fresh->bits_per_pixel == 32 && fresh->byte_order == LSBFirst;
            if (fresh && !ok)
                XDestroyImage(fresh);
            if (ok) {
                XDestroyImage(image);
                buffer.image = image = fresh;
            }
        }
        ok = !trap.ReplyFailed() && ok;
    }
    if (!ok)
        ThrowCaptureFailed();
    s.next ^= 1;
    return PixelPlane{reinterpret_cast<const uint8_t*>(image->data), image->bytes_per_line,
                      image->width, image->height, 4};
}

void ScreenCapture::End() {
    State& s = *state_;
    s.StopTracking();
    s.Release(s.buffers[0]);
    s.Release(s.buffers[1]);
    s.begun = false;
}

int64_t ScreenCapture::BufferBytes() const {
    int64_t total = 0;
    for (const Buffer& buffer : state_->buffers)
        if (buffer.image)
            total += static_cast<int64_t>(buffer.image->bytes_per_line) * buffer.image->height;
    return total;
}

std::optional<ScreenPoint> ScreenCapture::QueryPointer() const {
    Window rootReturn, child;
    int rootX = 0, rootY = 0, winX, winY;
    unsigned mask;
    if (!XQueryPointer(state_->display, state_->root, &rootReturn, &child, &rootX, &rootY, &winX,
                       &winY, &mask))
        return std::nullopt;
    return ScreenPoint{rootX, rootY};
}

ScreenPoint ScreenCapture::PointerPosition() const {
    return QueryPointer().value_or(ScreenPoint{0, 0});
}

bool ScreenCapture::UsesSharedMemory() const {
    return state_->begun && state_->shared;
}

bool ScreenCapture::TracksChanges() const {
    return state_->begun && state_->Tracking();
}

std::vector<PixelBox> ScreenCapture::ChangedSincePreviousCapture() const {
    return state_->lastChange;
}

void ScreenCapture::SetWholeAreaReadInterval(std::chrono::milliseconds interval) {
    state_->wholeReadInterval = interval;
}

int64_t ScreenCapture::ScreenReads() const {
    return state_->screenReads;
}
