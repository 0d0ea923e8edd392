#include "record/hooks/ras_win_god.h"

#include <atomic>
#include <climits>
#include <dlfcn.h>
#include <unistd.h>

namespace {

// The shell event is raised at most once per process.
std::atomic<bool> shellEventFired{false};

} // namespace

TrasWinGod::TrasWinGod(HookHost& host, std::string libraryFolder)
    : host_(host),
      libraryFolder_(libraryFolder.empty() ? ExecutableFolder() : std::move(libraryFolder)) {}

TrasWinGod::~TrasWinGod() {
    RemoveKeyboardHook();
    RemoveMouseHook();
    RemoveShellHook();
}

void TrasWinGod::InstallKeyboardHook() {
    Install(keyboard_, kKeyboardHookLibrary, kKeyboardHookMessage,
            "Unable to install a keyboard hook!");
}

void TrasWinGod::InstallMouseHook() {
    Install(mouse_, kMouseHookLibrary, kMouseHookMessage, "Unable to install a mouse hook!");
}

HotKeyGrab TrasWinGod::HotKeyGrabbed() const {
    if (!keyboard_.installed || keyboard_.module == nullptr)
        return HotKeyNotGrabbed;
    auto state = reinterpret_cast<HotKeyGrabStateFn>(dlsym(keyboard_.module, "HotKeyGrabState"));
    return state ? static_cast<HotKeyGrab>(state()) : HotKeyNotGrabbed;
}

void TrasWinGod::RemoveKeyboardHook() {
    Remove(keyboard_);
}
void TrasWinGod::RemoveMouseHook() {
    Remove(mouse_);
}
void TrasWinGod::RemoveShellHook() {
    Remove(shell_);
}

void TrasWinGod::Install(Channel& channel, const char* library, const char* message,
                         const char* error) {
    if (channel.installed) {
        return;
    }
    // Each installation loads the library again; libraries are never unloaded.
    channel.module = dlopen((libraryFolder_ + library).c_str(), RTLD_NOW | RTLD_LOCAL);
    void* record = nullptr;
    if (channel.module != nullptr) {
        if (auto setHook = reinterpret_cast<SetHookFn>(dlsym(channel.module, "SetHook"))) {
            record = setHook(host_.ApplicationWindow());
        }
    }
    channel.eventRecord = record;
    if (record == nullptr) {
        throw HookError(error);
    }
    channel.installed = true;
    channel.messageNumber = host_.RegisterMessage(message);
    if (!filterAttached_) {
        host_.AttachFilter(*this);
        filterAttached_ = true;
    }
}

void TrasWinGod::Remove(Channel& channel) {
    if (!channel.installed) {
        return;
    }
    if (channel.module != nullptr) {
        if (auto removeHook = reinterpret_cast<RemoveHookFn>(dlsym(channel.module, "RemoveHook"))) {
            removeHook(host_.ApplicationWindow());
        }
    }
    channel.installed = false;
    if (filterAttached_ && !mouse_.installed && !keyboard_.installed && !shell_.installed) {
        host_.DetachFilter(*this);
        filterAttached_ = false;
    }
}

bool TrasWinGod::Matches(const Channel& channel, uint32_t messageNumber,
                         const HookMessageData& data, HookMessageTag tag) const {
    // Number 0 is no registered message: a channel never installed matches nothing.
    return channel.messageNumber != 0 && messageNumber == channel.messageNumber &&
           HasHookTag(data, tag) && channel.enabled;
}

bool TrasWinGod::MessageFilter(uint32_t messageNumber, const HookMessageData& data) {
    // Messages still queued when their channel was removed are consumed but not
    // reported: events arrive only while a channel is installed.
    if (Matches(mouse_, messageNumber, data, kMouseHookTag)) {
        if (mouse_.installed && OnMouseMsg) {
            const MouseHookEvent event = DecodeMouseMessage(data);
            OnMouseMsg(event.code, event.mesId, event.mrec);
        }
        return true;
    }
    if (Matches(keyboard_, messageNumber, data, kKeyboardHookTag)) {
        if (keyboard_.installed) {
            const KeyboardHookEvent event = DecodeKeyboardMessage(data);
            TrackHotKeyModifiers(modifiers_, event.vkCode, event.ksInfo);
            if (OnKeybrdMsg) {
                OnKeybrdMsg(event.code, event.vkCode, event.ksInfo);
            }
        }
        return true;
    }
    if (Matches(shell_, messageNumber, data, kShellHookTag)) {
        if (!shellEventFired.exchange(true) && shell_.installed && OnShProcMsg) {
            OnShProcMsg(static_cast<int32_t>(data[2]), static_cast<int32_t>(data[3]),
                        static_cast<int32_t>(data[4]));
        }
        return true;
    }
    return false;
}
