// The hook component inside a Qt program: messages reach it through Qt's xcb
// connection as native events.
#include "record/hooks/xcb_hook_host.h"
#include "x_input_injector.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWindow>
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "record_hooks_qt";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "xcb");
    static QGuiApplication app(argc, argv);
    return app;
}

template <typename Condition> bool ProcessUntil(Condition condition, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

uint32_t Atom(const char* name) {
    auto* connection = App().nativeInterface<QNativeInterface::QX11Application>()->connection();
    auto* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(strlen(name)), name),
        nullptr);
    const uint32_t atom = reply->atom;
    free(reply);
    return atom;
}

// Installed before the host's filter, so Qt asks it after the host: it sees only the
// hook messages the host left unconsumed (Qt sends its windows client messages too).
class UnconsumedProbe : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (type != "xcb_generic_event_t" || (event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
            return false;
        }
        const uint32_t messageType =
            reinterpret_cast<const xcb_client_message_event_t*>(event)->type;
        if (messageType == keyboardAtom || messageType == mouseAtom) {
            messageTypes.push_back(messageType);
        }
        return false;
    }
    std::vector<uint32_t> messageTypes;
    const uint32_t keyboardAtom = Atom(kKeyboardHookMessage);
    const uint32_t mouseAtom = Atom(kMouseHookMessage);
};

class XcbHookHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { App(); }
    void SetUp() override {
        App().installNativeEventFilter(&probe);
        god.OnKeybrdMsg = [this](int32_t, int32_t vk, int32_t ks) { keys.push_back({vk, ks}); };
    }
    void TearDown() override { App().removeNativeEventFilter(&probe); }

    UnconsumedProbe probe;
    XInputInjector input;
    XcbHookHost host;
    TrasWinGod god{host, CLIPMOOR_PROGRAM_DIR "/"};
    std::vector<std::pair<int32_t, int32_t>> keys;
};

TEST_F(XcbHookHostTest, KeyboardEventsArriveAsComponentEvents) {
    ASSERT_NE(host.ApplicationWindow(), 0u);
    god.InstallKeyboardHook();
    input.Key(XK_Control_L, true);
    input.Key(XK_Alt_L, true);
    input.Tap(XK_F11);
    input.Key(XK_Alt_L, false);
    input.Key(XK_Control_L, false);
    ASSERT_TRUE(ProcessUntil([&] { return keys.size() >= 6; }));
    const std::vector<std::pair<int32_t, bool>> expected = {{17, true},   {18, true},  {122, true},
                                                            {122, false}, {18, false}, {17, false}};
    ASSERT_EQ(keys.size(), expected.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].first, expected[i].first);
        EXPECT_EQ(keys[i].second > 0, expected[i].second);
    }
    EXPECT_TRUE(probe.messageTypes.empty());
}

TEST_F(XcbHookHostTest, ADisabledChannelLeavesItsMessagesToTheWindow) {
    god.InstallKeyboardHook();
    god.SetKeybrdHookEnabled(false);
    input.Tap(XK_q);
    ASSERT_TRUE(ProcessUntil([&] { return probe.messageTypes.size() >= 2; }));
    EXPECT_TRUE(keys.empty());
    for (uint32_t type : probe.messageTypes) {
        EXPECT_EQ(type, god.KeyboardMessageNumber());
    }
}

TEST_F(XcbHookHostTest, RemovingTheLastChannelDetachesTheFilter) {
    QWindow window;
    XcbHookHost windowHost(&window);
    TrasWinGod windowGod(windowHost, CLIPMOOR_PROGRAM_DIR "/");
    EXPECT_EQ(windowHost.ApplicationWindow(), window.winId());
    windowGod.InstallMouseHook();
    EXPECT_TRUE(windowGod.FilterAttached());
    windowGod.RemoveMouseHook();
    EXPECT_FALSE(windowGod.FilterAttached());

    // A hook message now reaches the window's normal handling.
    MouseHookEvent event;
    event.mesId = MouseMove;
    const HookMessageData data = EncodeMouseMessage(event);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window.winId());
    message.type = windowGod.MouseMessageNumber();
    for (size_t i = 0; i < data.size(); ++i) {
        message.data.data32[i] = data[i];
    }
    auto* x11 = App().nativeInterface<QNativeInterface::QX11Application>();
    xcb_send_event(x11->connection(), 0, message.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(x11->connection());
    ASSERT_TRUE(ProcessUntil([&] { return !probe.messageTypes.empty(); }));
    EXPECT_EQ(probe.messageTypes[0], windowGod.MouseMessageNumber());
}

} // namespace
