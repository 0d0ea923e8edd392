#include "record/hooks/raw_input_listener.h"

#include "record/hooks/display_loss.h"

#include <X11/Xlibint.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Per-connection error suppression: the target window may vanish at any time, and the
// process-wide Xlib error handler (which exits by default) belongs to the application.
Bool IgnoreError(Display*, XErrorEvent*, xError*) {
    return False;
}

void SuppressErrors(Display* display) {
    for (int code = Success + 1; code <= LastExtensionError; ++code) {
        XESetWireToError(display, code, IgnoreError);
    }
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

} // namespace

RawInputListener::RawInputListener(std::vector<int> rawEventTypes)
    : rawEventTypes_(std::move(rawEventTypes)) {}

RawInputListener::~RawInputListener() {
    Stop();
}

bool RawInputListener::Start(const Prepare& prepare, EventHandler handler) {
    if (Running()) {
        return false;
    }
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        return false;
    }
    SuppressErrors(display_);
    ReturnAfterDisplayLoss(display_);
    int firstEvent = 0;
    int firstError = 0;
    int major = 2;
    int minor = 2;
    if (!XQueryExtension(display_, "XInputExtension", &xiOpcode_, &firstEvent, &firstError) ||
        XIQueryVersion(display_, &major, &minor) != Success) {
        XCloseDisplay(display_);
        display_ = nullptr;
        return false;
    }
    unsigned char maskBits[XIMaskLen(XI_LASTEVENT)] = {};
    for (int type : rawEventTypes_) {
        XISetMask(maskBits, type);
    }
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof maskBits), maskBits};
    XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
    if (prepare) {
        prepare(display_);
    }
    XSync(display_, False);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        XCloseDisplay(display_);
        display_ = nullptr;
        return false;
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    handler_ = std::move(handler);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void RawInputListener::Stop() {
    if (!Running()) {
        return;
    }
    const char wake = 1;
    while (write(wakeWrite_, &wake, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    CloseFd(wakeRead_);
    CloseFd(wakeWrite_);
    XCloseDisplay(display_);
    display_ = nullptr;
    handler_ = nullptr;
}

void RawInputListener::Run() {
    const int connection = ConnectionNumber(display_);
    for (;;) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            Dispatch(event);
        }
        pollfd fds[2] = {{connection, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return; // the server went away; the application's own connection will say so
        }
    }
}

void RawInputListener::Dispatch(XEvent& event) {
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        return;
    }
    XGenericEventCookie& cookie = event.xcookie;
    if (cookie.type != GenericEvent || cookie.extension != xiOpcode_ ||
        !XGetEventData(display_, &cookie)) {
        return;
    }
    handler_(display_, *static_cast<const XIRawEvent*>(cookie.data));
    XFreeEventData(display_, &cookie);
}

void SendHookClientMessage(Display* display, Window target, Atom type,
                           const unsigned long (&values)[5]) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i) {
        event.xclient.data.l[i] = static_cast<long>(values[i]);
    }
    // An empty event mask delivers the event to the client that created the window.
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}
