#include "test_drawing.h"

#include <X11/Xlib.h>

#include <stdexcept>

TestDrawing::TestDrawing() : display_(XOpenDisplay(nullptr)) {
    if (!display_)
        throw std::runtime_error("no X display for the drawing client");
    gc_ = XCreateGC(display_, DefaultRootWindow(display_), 0, nullptr);
}

TestDrawing::~TestDrawing() {
    XFreeGC(display_, static_cast<GC>(gc_));
    XCloseDisplay(display_);
}

unsigned long TestDrawing::Window(int x, int y, int width, int height, uint32_t rgb) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = rgb;
    ::Window window =
        XCreateWindow(display_, DefaultRootWindow(display_), x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(display_, window);
    Sync();
    return window;
}

void TestDrawing::Fill(unsigned long window, int x, int y, int width, int height, uint32_t rgb) {
    XSetForeground(display_, static_cast<GC>(gc_), rgb);
    XFillRectangle(display_, window, static_cast<GC>(gc_), x, y, static_cast<unsigned>(width),
                   static_cast<unsigned>(height));
    Sync();
}

void TestDrawing::Move(unsigned long window, int x, int y) {
    XMoveWindow(display_, window, x, y);
    Sync();
}

void TestDrawing::Destroy(unsigned long window) {
    XDestroyWindow(display_, window);
    Sync();
}

void TestDrawing::Sync() {
    XSync(display_, False);
}
