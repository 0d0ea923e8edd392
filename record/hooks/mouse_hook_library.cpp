// librasM50.so: the global mouse hook.
#include "record/hooks/hook_library_service.h"

namespace {

// Message number of a raw button event; 0 for events not reported (wheel releases).
uint32_t ButtonMessage(int button, bool press) {
    switch (button) {
    case 1:
        return press ? LeftButtonDown : LeftButtonUp;
    case 2:
        return press ? MiddleButtonDown : MiddleButtonUp;
    case 3:
        return press ? RightButtonDown : RightButtonUp;
    case 4:
    case 5:
        return press ? uint32_t{MouseWheel} : 0u;
    case 6:
    case 7:
        return press ? uint32_t{MouseHorizontalWheel} : 0u;
    default:
        return press ? ExtraButtonDown : ExtraButtonUp;
    }
}

class MouseTranslator final : public HookEventTranslator {
public:
    void Reset() override {}

    bool Translate(Display* display, const XIRawEvent& event, HookMessageData& message) override {
        MouseHookEvent hookEvent;
        if (event.evtype == XI_RawMotion) {
            hookEvent.mesId = MouseMove;
        } else {
            hookEvent.mesId = ButtonMessage(event.detail, event.evtype == XI_RawButtonPress);
        }
        if (hookEvent.mesId == 0) {
            return false;
        }
        // Raw events carry device values only; the screen position is asked for now.
        Window root = 0;
        Window child = 0;
        int rootX = 0;
        int rootY = 0;
        int windowX = 0;
        int windowY = 0;
        unsigned modifiers = 0;
        if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY,
                           &windowX, &windowY, &modifiers)) {
            return false; // the pointer is on another screen
        }
        hookEvent.mrec.x = rootX;
        hookEvent.mrec.y = rootY;
        hookEvent.mrec.window = static_cast<uint32_t>(child);

        StoreHookField(record.code, hookEvent.code);
        StoreHookField(record.mesId, hookEvent.mesId);
        StoreHookField(record.mrec.x, hookEvent.mrec.x);
        StoreHookField(record.mrec.y, hookEvent.mrec.y);
        StoreHookField(record.mrec.window, hookEvent.mrec.window);
        message = EncodeMouseMessage(hookEvent);
        return true;
    }

    MouseHookRecord record{};
};

// Never destroyed: a late RemoveHook from the program's own static destructors still
// finds it. The thread is stopped when the library is unloaded.
MouseTranslator& Translator() {
    static auto* translator = new MouseTranslator;
    return *translator;
}

HookLibraryService& Service() {
    static auto* service =
        new HookLibraryService({XI_RawMotion, XI_RawButtonPress, XI_RawButtonRelease},
                               kMouseHookMessage, &Translator().record, Translator());
    return *service;
}

__attribute__((destructor)) void StopAtUnload() {
    Service().Shutdown();
}

} // namespace

extern "C" __attribute__((visibility("default"))) void* SetHook(HookWindow window) {
    return Service().SetHook(window);
}

extern "C" __attribute__((visibility("default"))) void RemoveHook(HookWindow window) {
    Service().RemoveHook(window);
}
