// The hook component: loads the hook libraries from the program folder, installs and
// removes the global keyboard and mouse hooks and turns their messages into events on
// the thread that handles the application window's messages.
//
// The window system is reached through a HookHost (Qt's xcb connection in the desktop
// program, a plain Xlib connection in the command-line program). The host must
// outlive the component.
#pragma once

#include "record/hooks/executable_folder.h"
#include "record/hooks/hook_abi.h"
#include "record/hooks/hook_error.h"
#include "record/hooks/hook_message.h"
#include "record/hooks/hot_key.h"

#include <cstdint>
#include <functional>
#include <string>

class TrasWinGod;

class HookHost {
public:
    virtual ~HookHost() = default;
    // The window the libraries send their messages to; 0 when there is none.
    virtual HookWindow ApplicationWindow() = 0;
    // The number (X atom) of a named message; 0 when it cannot be registered.
    virtual uint32_t RegisterMessage(const char* name) = 0;
    // From now on every ClientMessage to the application window goes through
    // component.MessageFilter before normal handling.
    virtual void AttachFilter(TrasWinGod& component) = 0;
    virtual void DetachFilter(TrasWinGod& component) = 0;
};

using TMouseMsg = std::function<void(int32_t Code, uint32_t MesID, const MouseHookStruct& MRec)>;
using TKeybrdMsg = std::function<void(int32_t Code, int32_t VKCode, int32_t KSInfo)>;
using TShProcMsg = std::function<void(int32_t Code, int32_t WParam, int32_t LParam)>;

class TrasWinGod {
public:
    // Libraries are loaded from libraryFolder (ending in '/'); empty means the folder of
    // the running executable.
    explicit TrasWinGod(HookHost& host, std::string libraryFolder = {});
    ~TrasWinGod();
    TrasWinGod(const TrasWinGod&) = delete;
    TrasWinGod& operator=(const TrasWinGod&) = delete;

    // Raise HookError "Unable to install a keyboard hook!" / "... mouse hook!" when the
    // library, its SetHook or the installation fails. Installing twice does nothing.
    void InstallKeyboardHook();
    void InstallMouseHook();
    // Removing a channel that is not installed does nothing.
    void RemoveKeyboardHook();
    void RemoveMouseHook();
    void RemoveShellHook();

    // Sees a message to the application window; true when it was consumed. A hook
    // message of a disabled channel, or with other wParam/lParam values, is not.
    bool MessageFilter(uint32_t messageNumber, const HookMessageData& data);

    bool MouseHookEnabled() const { return mouse_.enabled; }
    bool KeybrdHookEnabled() const { return keyboard_.enabled; }
    bool ShProcHookEnabled() const { return shell_.enabled; }
    void SetMouseHookEnabled(bool enabled) { mouse_.enabled = enabled; }
    void SetKeybrdHookEnabled(bool enabled) { keyboard_.enabled = enabled; }
    void SetShProcHookEnabled(bool enabled) { shell_.enabled = enabled; }

    bool MouseHookInstalled() const { return mouse_.installed; }
    bool KeyboardHookInstalled() const { return keyboard_.installed; }
    bool ShellHookInstalled() const { return shell_.installed; }
    bool FilterAttached() const { return filterAttached_; }
    // Whether the installed keyboard hook holds the recording hot key, so that the program
    // in front does not get it as well.
    HotKeyGrab HotKeyGrabbed() const;
    uint32_t MouseMessageNumber() const { return mouse_.messageNumber; }
    uint32_t KeyboardMessageNumber() const { return keyboard_.messageNumber; }
    // The libraries' own records; they may describe a later event than the one being
    // handled, which is why the events get the message's copy.
    const void* MouseEventRecord() const { return mouse_.eventRecord; }
    const void* KeyboardEventRecord() const { return keyboard_.eventRecord; }

    // Ctrl, Alt and Shift as the keyboard events reported them, updated before
    // OnKeybrdMsg is raised; what the recording hot key needs.
    const HotKeyModifiers& Modifiers() const { return modifiers_; }
    bool ControlDown() const { return modifiers_.ControlDown; }
    bool AltDown() const { return modifiers_.AltDown; }

    TMouseMsg OnMouseMsg;
    TKeybrdMsg OnKeybrdMsg;
    TShProcMsg OnShProcMsg;

private:
    struct Channel {
        void* module = nullptr;
        bool installed = false;
        bool enabled = true;
        uint32_t messageNumber = 0;
        void* eventRecord = nullptr;
    };

    void Install(Channel& channel, const char* library, const char* message, const char* error);
    void Remove(Channel& channel);
    bool Matches(const Channel& channel, uint32_t messageNumber, const HookMessageData& data,
                 HookMessageTag tag) const;

    HookHost& host_;
    std::string libraryFolder_;
    Channel mouse_;
    Channel keyboard_;
    Channel shell_;
    bool filterAttached_ = false;
    HotKeyModifiers modifiers_;
};
