// The hook component's window-system side in the Qt program: the application window is
// an X window of Qt's xcb connection and the message filter is a native event filter.
//
//   XcbHookHost hookHost;              // declared before the component it serves
//   TrasWinGod rasWinGod1{hookHost};
//   rasWinGod1.OnKeybrdMsg = [this](int32_t code, int32_t vk, int32_t ks) { ... };
//   rasWinGod1.InstallKeyboardHook();  // may throw HookError
#pragma once

#include "record/hooks/ras_win_god.h"

#include <QAbstractNativeEventFilter>

#include <memory>

class QWindow;
struct xcb_connection_t;

class XcbHookHost final : public HookHost, public QAbstractNativeEventFilter {
public:
    // Messages go to window's X window; without one the host makes a hidden window of
    // its own. Needs a QGuiApplication; off the xcb platform there is no window and
    // every installation fails with HookError.
    explicit XcbHookHost(QWindow* window = nullptr);
    ~XcbHookHost() override;

    HookWindow ApplicationWindow() override;
    uint32_t RegisterMessage(const char* name) override;
    void AttachFilter(TrasWinGod& component) override;
    void DetachFilter(TrasWinGod& component) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    xcb_connection_t* connection_ = nullptr;
    std::unique_ptr<QWindow> ownWindow_;
    QWindow* window_ = nullptr;
    TrasWinGod* component_ = nullptr;
};
