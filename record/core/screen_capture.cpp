#include "record/core/screen_capture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <atomic>
#include <cstdlib>

namespace {

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
    CaptureArea area{};
    bool begun = false;
    bool shared = false;
    Buffer buffers[2];
    int next = 0;

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

ScreenCapture::ScreenCapture(const char* displayName, Transfer transfer)
    : state_(std::make_unique<State>()) {
    Display* display = XOpenDisplay(displayName);
    if (!display)
        throw CaptureError("Cannot open the X display to capture the screen.");
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
    s.next = 0;
    s.begun = true;
}

PixelPlane ScreenCapture::Capture() {
    State& s = *state_;
    if (!s.begun)
        throw CaptureError("No capture area was set.");
    Buffer& buffer = s.buffers[s.next];
    XImage* image = buffer.image;
    bool ok;
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
        throw CaptureError("The screen could not be captured.");
    s.next ^= 1;
    return PixelPlane{reinterpret_cast<const uint8_t*>(image->data), image->bytes_per_line,
                      image->width, image->height, 4};
}

void ScreenCapture::End() {
    State& s = *state_;
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

ScreenPoint ScreenCapture::PointerPosition() const {
    Window rootReturn, child;
    int rootX = 0, rootY = 0, winX, winY;
    unsigned mask;
    XQueryPointer(state_->display, state_->root, &rootReturn, &child, &rootX, &rootY, &winX, &winY,
                  &mask);
    return {rootX, rootY};
}

bool ScreenCapture::UsesSharedMemory() const {
    return state_->begun && state_->shared;
}
