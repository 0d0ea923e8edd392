#include "record/hooks/xlib_hook_host.h"

#include "record/hooks/display_loss.h"

#include <X11/Xlib.h>

#include <poll.h>

XlibHookHost::XlibHookHost() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        throw HookError("Unable to open the X display!");
    }
    OutliveDisplayLoss(display_);
    XSetWindowAttributes attributes{};
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, InputOnly,
                            CopyFromParent, 0, &attributes);
    XSync(display_, False);
}

XlibHookHost::~XlibHookHost() {
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

uint32_t XlibHookHost::RegisterMessage(const char* name) {
    return static_cast<uint32_t>(XInternAtom(display_, name, False));
}

void XlibHookHost::DetachFilter(TrasWinGod& component) {
    if (component_ == &component) {
        component_ = nullptr;
    }
}

int XlibHookHost::ConnectionFd() const {
    return ConnectionNumber(display_);
}

int XlibHookHost::ProcessEvents() {
    int consumed = 0;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type != ClientMessage || event.xclient.window != window_ ||
            event.xclient.format != 32) {
            continue;
        }
        HookMessageData data;
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<uint32_t>(event.xclient.data.l[i]);
        }
        const auto number = static_cast<uint32_t>(event.xclient.message_type);
        if (component_ != nullptr && component_->MessageFilter(number, data)) {
            ++consumed;
        } else if (unhandled) {
            unhandled(number, data);
        }
    }
    return consumed;
}

int XlibHookHost::WaitAndProcessEvents(std::chrono::milliseconds timeout) {
    if (XPending(display_) == 0) {
        pollfd fd{ConnectionFd(), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(timeout.count()));
    }
    return ProcessEvents();
}
