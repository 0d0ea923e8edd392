#include "x_input_injector.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>
#include <stdexcept>

XInputInjector::XInputInjector() : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr) {
        throw std::runtime_error("no X display");
    }
}

XInputInjector::~XInputInjector() {
    XCloseDisplay(display_);
}

void XInputInjector::Key(unsigned long keysym, bool press) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), press, CurrentTime);
    XFlush(display_);
}

void XInputInjector::Tap(unsigned long keysym) {
    Key(keysym, true);
    Key(keysym, false);
}

void XInputInjector::MoveTo(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XFlush(display_);
}

void XInputInjector::Button(unsigned button, bool press) {
    XTestFakeButtonEvent(display_, button, press, CurrentTime);
    XFlush(display_);
}

void XInputInjector::Sync() {
    XSync(display_, False);
}

std::pair<int, int> XInputInjector::PointerPosition() {
    Window root, child;
    int x = 0, y = 0, wx, wy;
    unsigned mask;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &wx, &wy, &mask);
    return {x, y};
}

int RunCommand(const std::string& command) {
    return std::system(command.c_str());
}
