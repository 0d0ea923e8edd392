// librasKB50.so: the global keyboard hook. It also grabs the recording hot key while it
// runs.
#include "record/hooks/hook_library_service.h"
#include "record/hooks/hot_key_grab.h"
#include "record/hooks/virtual_keys.h"

#include <X11/XKBlib.h>

#include <atomic>
#include <bitset>

namespace {

class KeyboardTranslator final : public HookEventTranslator {
public:
    void Reset() override {
        down_.reset();
        altDown_.reset();
        grab = HotKeyNotGrabbed;
    }

    void Started() override { grab = grabber_.Grab(); }
    void Stopped() override {
        grabber_.Release();
        grab = HotKeyNotGrabbed;
    }

    bool Translate(Display* display, const XIRawEvent& event, HookMessageData& message) override {
        const unsigned keycode = static_cast<unsigned>(event.detail) & 0xFF;
        KeystrokeFacts facts;
        facts.keycode = keycode;
        facts.keysym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), 0, 0);
        facts.release = event.evtype == XI_RawKeyRelease;
        facts.wasDown = down_.test(keycode);
        const int32_t vk = VirtualKeyFromKeysym(facts.keysym);
        down_.set(keycode, !facts.release);
        altDown_.set(keycode, vk == kVkMenu && !facts.release);
        facts.altDown = altDown_.any();

        KeyboardHookEvent hookEvent;
        hookEvent.vkCode = vk;
        hookEvent.ksInfo = KeystrokeInfo(facts);
        StoreHookField(record.code, hookEvent.code);
        StoreHookField(record.vkCode, hookEvent.vkCode);
        StoreHookField(record.ksInfo, hookEvent.ksInfo);
        message = EncodeKeyboardMessage(hookEvent);
        return true;
    }

    KeyboardHookRecord record{};
    std::atomic<int32_t> grab{HotKeyNotGrabbed};

private:
    HotKeyGrabber grabber_;
    std::bitset<256> down_;
    std::bitset<256> altDown_;
};

// Never destroyed: a late RemoveHook from the program's own static destructors still
// finds it. The thread is stopped when the library is unloaded.
KeyboardTranslator& Translator() {
    static auto* translator = new KeyboardTranslator;
    return *translator;
}

HookLibraryService& Service() {
    static auto* service =
        new HookLibraryService({XI_RawKeyPress, XI_RawKeyRelease}, kKeyboardHookMessage,
                               &Translator().record, Translator());
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

extern "C" __attribute__((visibility("default"))) int32_t HotKeyGrabState() {
    return Translator().grab;
}
