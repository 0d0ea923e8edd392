// The keyboard hook library's grab of the recording hot key: passive grabs on the root
// window, so that the program in front does not get the keys as well. The grabs are held
// on a connection of their own: the grabbing client is not sent the raw event of the
// grabbed key's release, which the listener needs.
#pragma once

#include "record/hooks/hook_abi.h"

struct _XDisplay;

class HotKeyGrabber {
public:
    HotKeyGrabber() = default;
    ~HotKeyGrabber() { Release(); }
    HotKeyGrabber(const HotKeyGrabber&) = delete;
    HotKeyGrabber& operator=(const HotKeyGrabber&) = delete;

    // Grabs F11 with Ctrl + Shift, Ctrl + Alt and Ctrl + Alt + Shift, each also with Caps
    // Lock and Num Lock on. TakenByOther when another client holds one of them (BadAccess);
    // the grabs that succeeded are kept. Releases earlier grabs first.
    HotKeyGrab Grab();
    // Closes the connection, which ends its grabs. Harmless when nothing is grabbed.
    void Release();

private:
    _XDisplay* display_ = nullptr;
};
