#include "record/hooks/display_loss.h"

#include <X11/Xlib.h>

#include <atomic>

namespace {

std::atomic<bool> lost{false};

// Xlib calls the program-wide I/O error handler first, then the connection's exit handler;
// the default of either ends the program, so this one returns and leaves the decision to
// the connection's exit handler.
int NoteLoss(Display*) {
    lost = true;
    return 0;
}

void KeepRunning(Display*, void*) {}

} // namespace

void OutliveDisplayLoss(Display* display) {
    XSetIOErrorHandler(NoteLoss);
    ReturnAfterDisplayLoss(display);
}

bool DisplayLost() {
    return lost;
}

void ReturnAfterDisplayLoss(Display* display) {
    XSetIOErrorExitHandler(display, KeepRunning, nullptr);
}
