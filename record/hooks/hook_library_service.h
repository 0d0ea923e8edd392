// What SetHook and RemoveHook of one hook library do: one listener per library and
// process, sending every translated event to the window it was installed for.
#pragma once

#include "record/hooks/hook_abi.h"
#include "record/hooks/hook_message.h"
#include "record/hooks/raw_input_listener.h"

#include <atomic>
#include <mutex>
#include <vector>

// Turns raw events into hook messages; runs on the listener thread only.
class HookEventTranslator {
public:
    virtual ~HookEventTranslator() = default;
    // Forgets any state from an earlier installation.
    virtual void Reset() = 0;
    // Run under the service's lock right after the listener started, and after it stopped.
    virtual void Started() {}
    virtual void Stopped() {}
    // Fills the library's record and the message; false when the event is not reported.
    virtual bool Translate(Display* display, const XIRawEvent& event, HookMessageData& message) = 0;
};

class HookLibraryService {
public:
    HookLibraryService(std::vector<int> rawEventTypes, const char* messageName, void* record,
                       HookEventTranslator& translator);

    // Installs the hook for window and returns the record; null when window is 0, the
    // display cannot be used, or the hook already runs for another window. Installing
    // again for the same window returns the record and changes nothing.
    void* SetHook(HookWindow window);
    // Uninstalls the hook if it runs for window; otherwise does nothing.
    void RemoveHook(HookWindow window);
    // Uninstalls whatever runs (the library is being unloaded or the process ends).
    void Shutdown();

private:
    std::mutex mutex_;
    RawInputListener listener_;
    const char* messageName_;
    void* record_;
    HookEventTranslator& translator_;
    HookWindow target_ = 0;
    Atom messageAtom_ = None;
};

// Atomic stores into a library record that the program may read from another thread.
template <typename T> void StoreHookField(T& field, T value) {
    std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}
