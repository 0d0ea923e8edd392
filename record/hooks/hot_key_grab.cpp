#include "record/hooks/hot_key_grab.h"

#include "record/hooks/display_loss.h"

// Before Xlibint.h, which defines min and max as macros.
#include <atomic>
#include <initializer_list>

#include <X11/XKBlib.h>
#include <X11/Xlibint.h>
#include <X11/keysym.h>

namespace {

// Set by the error hook while the grabs are sent; the hook has no user data.
std::atomic<bool> grabRefused{false};

// Every error of the grab connection ends here: BadAccess to a grab is the answer looked
// for, and the process-wide handler (which exits by default) belongs to the application.
Bool NoteError(Display*, XErrorEvent*, xError* error) {
    if (error->errorCode == BadAccess && error->majorCode == X_GrabKey)
        grabRefused = true;
    return False;
}

// The modifier bit that a key with `keysym` sets, or 0 when no modifier holds it.
unsigned ModifierMaskOf(Display* display, KeySym keysym) {
    XModifierKeymap* map = XGetModifierMapping(display);
    if (map == nullptr)
        return 0;
    unsigned mask = 0;
    for (int modifier = 0; modifier < 8 && mask == 0; ++modifier)
        for (int i = 0; i < map->max_keypermod; ++i) {
            KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
            if (code != 0 && XkbKeycodeToKeysym(display, code, 0, 0) == keysym) {
                mask = 1u << modifier;
                break;
            }
        }
    XFreeModifiermap(map);
    return mask;
}

} // namespace

HotKeyGrab HotKeyGrabber::Grab() {
    Release();
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr)
        return HotKeyNotGrabbed;
    for (int code = Success + 1; code <= LastExtensionError; ++code)
        XESetWireToError(display_, code, NoteError);
    ReturnAfterDisplayLoss(display_);
    const KeyCode f11 = XKeysymToKeycode(display_, XK_F11);
    if (f11 == 0) {
        Release();
        return HotKeyNotGrabbed;
    }
    unsigned alt = ModifierMaskOf(display_, XK_Alt_L);
    if (alt == 0)
        alt = Mod1Mask;
    const unsigned numLock = ModifierMaskOf(display_, XK_Num_Lock);
    const Window root = DefaultRootWindow(display_);

    grabRefused = false;
    const unsigned control = ControlMask, shift = ShiftMask, capsLock = LockMask;
    for (unsigned combination : {control | shift, control | alt, control | shift | alt})
        for (unsigned locks : {0u, capsLock, numLock, capsLock | numLock})
            XGrabKey(display_, f11, combination | locks, root, False, GrabModeAsync, GrabModeAsync);
    XSync(display_, False);
    return grabRefused ? HotKeyTakenByOther : HotKeyGrabbed;
}

void HotKeyGrabber::Release() {
    if (display_ != nullptr)
        XCloseDisplay(display_);
    display_ = nullptr;
}
