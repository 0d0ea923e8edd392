#include "record/hooks/xcb_hook_host.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

XcbHookHost::XcbHookHost(QWindow* window) : window_(window) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        return; // no window system: every installation fails
    }
    if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>()) {
        connection_ = x11->connection();
    }
    if (window_ == nullptr) {
        ownWindow_ = std::make_unique<QWindow>();
        window_ = ownWindow_.get();
    }
}

XcbHookHost::~XcbHookHost() {
    if (component_ != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

HookWindow XcbHookHost::ApplicationWindow() {
    if (connection_ == nullptr) {
        return 0;
    }
    return static_cast<HookWindow>(window_->winId()); // creates the X window if needed
}

uint32_t XcbHookHost::RegisterMessage(const char* name) {
    if (connection_ == nullptr) {
        return 0;
    }
    xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
    if (reply == nullptr) {
        return 0;
    }
    const uint32_t atom = reply->atom;
    std::free(reply);
    return atom;
}

void XcbHookHost::AttachFilter(TrasWinGod& component) {
    if (connection_ == nullptr) {
        return;
    }
    if (component_ == nullptr) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    component_ = &component;
}

void XcbHookHost::DetachFilter(TrasWinGod& component) {
    if (component_ == &component) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        component_ = nullptr;
    }
}

bool XcbHookHost::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (component_ == nullptr || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (client->format != 32 || client->window != window_->winId()) {
        return false;
    }
    HookMessageData data;
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = client->data.data32[i];
    }
    return component_->MessageFilter(client->type, data);
}
