// The hook component's window-system side without Qt: an own Xlib connection with a
// hidden window that receives the hook messages. The owner pumps it, e.g. with
// ProcessEvents after poll() on ConnectionFd().
//
//   XlibHookHost host;                  // declared before the component it serves
//   TrasWinGod hooks{host};
//   hooks.OnMouseMsg = [&](int32_t, uint32_t mesId, const MouseHookStruct& point) { ... };
//   hooks.InstallMouseHook();           // may throw HookError
//   while (recording) host.WaitAndProcessEvents(std::chrono::milliseconds(10));
#pragma once

#include "record/hooks/ras_win_god.h"

#include <chrono>
#include <functional>

struct _XDisplay;

class XlibHookHost final : public HookHost {
public:
    // Opens $DISPLAY; throws HookError when it cannot.
    XlibHookHost();
    ~XlibHookHost() override;
    XlibHookHost(const XlibHookHost&) = delete;
    XlibHookHost& operator=(const XlibHookHost&) = delete;

    HookWindow ApplicationWindow() override { return window_; }
    uint32_t RegisterMessage(const char* name) override;
    void AttachFilter(TrasWinGod& component) override { component_ = &component; }
    void DetachFilter(TrasWinGod& component) override;

    int ConnectionFd() const;
    // Handles every event already received; returns how many the component consumed.
    // Messages it leaves go to unhandled, if set.
    int ProcessEvents();
    // Waits up to timeout for events, then handles them as ProcessEvents does.
    int WaitAndProcessEvents(std::chrono::milliseconds timeout);

    std::function<void(uint32_t messageNumber, const HookMessageData& data)> unhandled;

private:
    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    TrasWinGod* component_ = nullptr;
};
