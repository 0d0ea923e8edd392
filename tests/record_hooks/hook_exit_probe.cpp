// Installs both hooks, lets events flow and leaves main without removing them.
#include "record/hooks/hook_abi.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <dlfcn.h>

#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 3;
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSync(display, False);
    for (const char* name : {kKeyboardHookLibrary, kMouseHookLibrary}) {
        void* library = dlopen((std::string(argv[1]) + name).c_str(), RTLD_NOW | RTLD_LOCAL);
        auto setHook = library ? reinterpret_cast<SetHookFn>(dlsym(library, "SetHook")) : nullptr;
        if (setHook == nullptr || setHook(window) == nullptr) {
            return 4;
        }
    }
    for (int i = 0; i < 50; ++i) {
        XTestFakeMotionEvent(display, -1, 100 + i, 100, CurrentTime);
    }
    XSync(display, False);
    return 0;
}
