#include "record/hooks/hook_library_service.h"

HookLibraryService::HookLibraryService(std::vector<int> rawEventTypes, const char* messageName,
                                       void* record, HookEventTranslator& translator)
    : listener_(std::move(rawEventTypes)), messageName_(messageName), record_(record),
      translator_(translator) {}

void* HookLibraryService::SetHook(HookWindow window) {
    std::lock_guard lock(mutex_);
    if (window == 0) {
        return nullptr;
    }
    if (listener_.Running()) {
        return window == target_ ? record_ : nullptr;
    }
    translator_.Reset();
    const Window target = window;
    const bool started = listener_.Start(
        [this](Display* display) { messageAtom_ = XInternAtom(display, messageName_, False); },
        [this, target](Display* display, const XIRawEvent& event) {
            HookMessageData message;
            if (!translator_.Translate(display, event, message)) {
                return;
            }
            unsigned long values[5];
            for (int i = 0; i < 5; ++i) {
                values[i] = message[i];
            }
            SendHookClientMessage(display, target, messageAtom_, values);
        });
    if (!started) {
        return nullptr;
    }
    target_ = window;
    translator_.Started();
    return record_;
}

void HookLibraryService::RemoveHook(HookWindow window) {
    std::lock_guard lock(mutex_);
    if (listener_.Running() && window == target_) {
        listener_.Stop();
        translator_.Stopped();
        target_ = 0;
    }
}

void HookLibraryService::Shutdown() {
    std::lock_guard lock(mutex_);
    listener_.Stop();
    translator_.Stopped();
    target_ = 0;
}
