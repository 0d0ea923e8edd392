// The hook component with the real libraries on a real X server, input injected
// through XTEST (directly and with xdotool).
#include "hook_test_support.h"
#include "record/hooks/ras_win_god.h"
#include "record/hooks/virtual_keys.h"
#include "x_input_injector.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

// After the test framework, which has names of its own that Xlib's macros would replace.
#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct KeyReport {
    int32_t vk;
    int32_t ksInfo;
    bool hotKey; // what the recording hot key rule said at that moment
};

class HookComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        god.OnKeybrdMsg = [this](int32_t code, int32_t vk, int32_t ks) {
            EXPECT_EQ(code, 0);
            keys.push_back({vk, ks, IsRecordHotKey(god.Modifiers(), vk, ks)});
        };
        god.OnMouseMsg = [this](int32_t code, uint32_t mesId, const MouseHookStruct& mrec) {
            EXPECT_EQ(code, 0);
            mouse.push_back({code, mesId, mrec});
        };
        host.unhandled = [this](uint32_t number, const HookMessageData& data) {
            unhandled.push_back({number, data});
        };
    }

    size_t CountKeys(int32_t vk) const {
        return std::count_if(keys.begin(), keys.end(), [vk](auto& k) { return k.vk == vk; });
    }

    XInputInjector input;
    XlibHookHost host;
    TrasWinGod god{host, HookLibraryFolder()};
    std::vector<KeyReport> keys;
    std::vector<MouseHookEvent> mouse;
    std::vector<std::pair<uint32_t, HookMessageData>> unhandled;
};

TEST_F(HookComponentTest, CtrlAltF11FromXdotoolArrivesWithCodesAndSigns) {
    god.InstallKeyboardHook();
    ASSERT_EQ(RunCommand("xdotool key ctrl+alt+F11"), 0);
    ASSERT_TRUE(PumpUntil(host, [&] {
        return std::any_of(keys.begin(), keys.end(),
                           [](auto& k) { return k.vk == kVkF11 && k.ksInfo < 0; });
    }));
    PumpFor(host, 200ms);

    const auto f11Press = std::find_if(keys.begin(), keys.end(),
                                       [](auto& k) { return k.vk == kVkF11 && k.ksInfo > 0; });
    ASSERT_NE(f11Press, keys.end());
    EXPECT_EQ((f11Press->ksInfo >> 16) & 0xFF, 0x57); // F11's scan code
    EXPECT_TRUE(f11Press->hotKey);
    // Ctrl and Alt were pressed before F11, and released after it.
    EXPECT_TRUE(std::any_of(keys.begin(), f11Press,
                            [](auto& k) { return k.vk == kVkControl && k.ksInfo > 0; }));
    EXPECT_TRUE(std::any_of(keys.begin(), f11Press,
                            [](auto& k) { return k.vk == kVkMenu && k.ksInfo > 0; }));
    EXPECT_EQ(std::count_if(keys.begin(), keys.end(), [](auto& k) { return k.hotKey; }), 1);
    EXPECT_FALSE(god.ControlDown());
    EXPECT_FALSE(god.AltDown());
}

TEST_F(HookComponentTest, CtrlShiftF11TogglesAndF11AloneDoesNot) {
    god.InstallKeyboardHook();
    input.Key(XK_Control_L, true);
    input.Key(XK_Shift_L, true);
    input.Tap(XK_F11);
    input.Key(XK_Shift_L, false);
    input.Tap(XK_F11); // Ctrl only
    input.Key(XK_Control_L, false);
    input.Tap(XK_F11); // nothing held
    ASSERT_TRUE(PumpUntil(host, [&] { return keys.size() >= 10; }));

    const std::vector<std::pair<int32_t, bool>> expected = {
        {17, true},  {16, true},   {122, true}, {122, false}, {16, false},
        {122, true}, {122, false}, {17, false}, {122, true},  {122, false}};
    ASSERT_EQ(keys.size(), expected.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].vk, expected[i].first) << i;
        EXPECT_EQ(keys[i].ksInfo > 0, expected[i].second) << i;
        EXPECT_EQ(keys[i].hotKey, i == 2) << i;
    }
}

TEST_F(HookComponentTest, PointerMovesAndButtonsCarryScreenCoordinates) {
    input.MoveTo(100, 200);
    input.Sync();
    god.InstallMouseHook();
    ASSERT_EQ(RunCommand("xdotool mousemove_relative 3 2"), 0);
    const auto expected = input.PointerPosition();
    ASSERT_NE(expected, std::make_pair(100, 200));
    ASSERT_TRUE(PumpUntil(host, [&] { return !mouse.empty(); }));
    EXPECT_EQ(mouse.back().mesId, 512u);
    EXPECT_EQ(mouse.back().mrec.x, expected.first);
    EXPECT_EQ(mouse.back().mrec.y, expected.second);

    mouse.clear();
    input.MoveTo(640, 480);
    input.Button(1, true);
    input.Button(1, false);
    input.Button(3, true);
    input.Button(3, false);
    ASSERT_TRUE(PumpUntil(host, [&] { return mouse.size() >= 5; }));
    const std::vector<uint32_t> ids = {512, 513, 514, 516, 517};
    ASSERT_EQ(mouse.size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(mouse[i].mesId, ids[i]);
        EXPECT_EQ(mouse[i].mrec.x, 640);
        EXPECT_EQ(mouse[i].mrec.y, 480);
    }
}

TEST_F(HookComponentTest, RemovingTheMouseChannelKeepsTheKeyboardOne) {
    god.InstallKeyboardHook();
    god.InstallMouseHook();
    const void* record = god.MouseEventRecord();
    god.InstallMouseHook(); // installed already: nothing changes
    EXPECT_EQ(god.MouseEventRecord(), record);

    god.RemoveMouseHook();
    god.RemoveMouseHook();
    EXPECT_FALSE(god.MouseHookInstalled());
    EXPECT_TRUE(god.KeyboardHookInstalled());
    EXPECT_TRUE(god.FilterAttached());

    input.MoveTo(300, 300);
    input.MoveTo(301, 302);
    input.Tap(XK_a); // arrives after anything the mouse hook could still have sent
    ASSERT_TRUE(PumpUntil(host, [&] { return keys.size() >= 2; }));
    PumpFor(host, 200ms);
    EXPECT_TRUE(mouse.empty());
    EXPECT_TRUE(unhandled.empty());
    EXPECT_EQ(keys[0].vk, 'A');

    god.RemoveKeyboardHook();
    EXPECT_FALSE(god.FilterAttached());
}

TEST_F(HookComponentTest, DisabledChannelsMessagesAreLeftUnconsumed) {
    god.InstallMouseHook();
    god.InstallKeyboardHook();
    god.SetMouseHookEnabled(false);
    input.MoveTo(10, 20);
    input.Tap(XK_b);
    ASSERT_TRUE(PumpUntil(host, [&] { return keys.size() >= 2 && !unhandled.empty(); }));
    PumpFor(host, 100ms);
    EXPECT_TRUE(mouse.empty());
    for (auto& [number, data] : unhandled) {
        EXPECT_EQ(number, god.MouseMessageNumber());
        EXPECT_TRUE(HasHookTag(data, kMouseHookTag));
    }

    // Enabled again, the next movement is an event.
    god.SetMouseHookEnabled(true);
    unhandled.clear();
    input.MoveTo(11, 21);
    ASSERT_TRUE(PumpUntil(host, [&] { return !mouse.empty(); }));
    EXPECT_EQ(mouse.back().mrec.x, 11);
    EXPECT_TRUE(unhandled.empty());
}

TEST_F(HookComponentTest, HookMessagesWithOtherParametersAreNotConsumed) {
    god.InstallKeyboardHook();
    const uint32_t keyboard = god.KeyboardMessageNumber();
    HookMessageData wrongTag = EncodeKeyboardMessage({0, kVkF11, 1});
    wrongTag[1] = 40;
    EXPECT_FALSE(god.MessageFilter(keyboard, wrongTag));
    EXPECT_FALSE(god.MessageFilter(keyboard, EncodeMouseMessage({})));
    EXPECT_FALSE(god.MessageFilter(keyboard + 1000, EncodeKeyboardMessage({})));
    EXPECT_TRUE(god.MessageFilter(keyboard, EncodeKeyboardMessage({0, 'Q', 1})));
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].vk, 'Q');
    // The mouse channel is not installed: its tag under its name means nothing yet.
    EXPECT_EQ(god.MouseMessageNumber(), 0u);
    EXPECT_FALSE(god.MessageFilter(0, EncodeMouseMessage({})));
}

TEST_F(HookComponentTest, MessagesStillQueuedAfterRemovalAreConsumedSilently) {
    god.InstallKeyboardHook();
    god.InstallMouseHook();
    const uint32_t mouseNumber = god.MouseMessageNumber();
    god.RemoveMouseHook();
    MouseHookEvent late;
    late.mesId = MouseMove;
    EXPECT_TRUE(god.MessageFilter(mouseNumber, EncodeMouseMessage(late)));
    EXPECT_TRUE(mouse.empty());
    god.RemoveKeyboardHook();
    EXPECT_FALSE(god.FilterAttached());
}

TEST_F(HookComponentTest, ABurstOfKeyEventsArrivesCompleteAndInOrder) {
    god.InstallKeyboardHook();
    for (int i = 0; i < 500; ++i) {
        input.Tap(XK_a + i % 26);
    }
    input.Sync();
    ASSERT_TRUE(PumpUntil(
        host, [&] { return keys.size() >= 1000; }, 30s))
        << keys.size();
    PumpFor(host, 100ms);
    ASSERT_EQ(keys.size(), 1000u);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(keys[i].vk, 'A' + (i / 2) % 26) << i;
        EXPECT_EQ(keys[i].ksInfo > 0, i % 2 == 0) << i;
    }
}

TEST_F(HookComponentTest, ABurstOfPointerMovesArrivesComplete) {
    input.MoveTo(0, 500);
    input.Sync();
    god.InstallMouseHook();
    for (int x = 1; x <= 1000; ++x) {
        input.MoveTo(x, 500);
    }
    input.Sync();
    ASSERT_TRUE(PumpUntil(
        host, [&] { return mouse.size() >= 1000; }, 30s))
        << mouse.size();
    PumpFor(host, 100ms);
    // The position is asked for when the hook handles a movement, so in a burst it may
    // be ahead of the movement reported, never behind.
    ASSERT_EQ(mouse.size(), 1000u);
    for (size_t i = 0; i < mouse.size(); ++i) {
        EXPECT_GE(mouse[i].mrec.x, static_cast<int32_t>(i + 1)) << i;
        if (i > 0) {
            EXPECT_GE(mouse[i].mrec.x, mouse[i - 1].mrec.x) << i;
        }
    }
    EXPECT_EQ(mouse.back().mrec.x, 1000);
}

// Another client's window with the keyboard focus, as a terminal would have it.
class FocusedClient {
public:
    FocusedClient() : display_(XOpenDisplay(nullptr)) {
        window_ =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 100, 100, 0, 0, 0);
        XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
        XMapWindow(display_, window_);
        for (XEvent event; XWindowEvent(display_, window_, StructureNotifyMask, &event),
                           event.type != MapNotify;) {
        }
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
    ~FocusedClient() {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    // The keys pressed in the window since the last call.
    std::vector<KeySym> TakePressedKeys() {
        XSync(display_, False);
        std::vector<KeySym> keys;
        for (XEvent event; XCheckWindowEvent(display_, window_, KeyPressMask, &event);)
            keys.push_back(XLookupKeysym(&event.xkey, 0));
        return keys;
    }

private:
    Display* display_;
    Window window_;
};

TEST_F(HookComponentTest, WhileTheKeyboardHookRunsTheHotKeyReachesOnlyTheProgram) {
    FocusedClient terminal;
    auto pressHotKey = [&] {
        input.Key(XK_Control_L, true);
        input.Key(XK_Shift_L, true);
        input.Tap(XK_F11);
        input.Key(XK_Shift_L, false);
        input.Key(XK_Control_L, false);
        input.Sync();
    };
    auto hotKeysSeen = [&] {
        return std::count_if(keys.begin(), keys.end(), [](auto& k) { return k.hotKey; });
    };
    god.InstallKeyboardHook();
    EXPECT_EQ(god.HotKeyGrabbed(), HotKeyGrabbed);
    pressHotKey();
    input.Tap(XK_Caps_Lock); // the grab holds with Caps Lock on too
    pressHotKey();
    input.Tap(XK_Caps_Lock);
    input.Key(XK_Control_L, true); // Ctrl + F11 is no hot key: it reaches the terminal
    input.Tap(XK_F11);
    input.Key(XK_Control_L, false);
    input.Sync();
    ASSERT_TRUE(PumpUntil(host, [&] { return CountKeys(kVkF11) >= 6; }));
    EXPECT_EQ(hotKeysSeen(), 2);
    std::vector<KeySym> pressed = terminal.TakePressedKeys();
    EXPECT_EQ(std::count(pressed.begin(), pressed.end(), XK_F11), 1);
    EXPECT_GE(std::count(pressed.begin(), pressed.end(), XK_Shift_L), 2);

    // Without the hook the terminal gets the hot key again.
    god.RemoveKeyboardHook();
    EXPECT_EQ(god.HotKeyGrabbed(), HotKeyNotGrabbed);
    pressHotKey();
    pressed = terminal.TakePressedKeys();
    EXPECT_EQ(std::count(pressed.begin(), pressed.end(), XK_F11), 1);
}

TEST_F(HookComponentTest, AHotKeyHeldByAnotherProgramIsSharedAndStillReported) {
    Display* other = XOpenDisplay(nullptr);
    XGrabKey(other, XKeysymToKeycode(other, XK_F11), ControlMask | ShiftMask,
             DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
    XSync(other, False);
    god.InstallKeyboardHook();
    EXPECT_EQ(god.HotKeyGrabbed(), HotKeyTakenByOther);
    input.Key(XK_Control_L, true);
    input.Key(XK_Shift_L, true);
    input.Tap(XK_F11);
    input.Key(XK_Shift_L, false);
    input.Key(XK_Control_L, false);
    ASSERT_TRUE(PumpUntil(host, [&] { return CountKeys(kVkF11) >= 2; }));
    EXPECT_TRUE(std::any_of(keys.begin(), keys.end(), [](auto& k) { return k.hotKey; }));
    XCloseDisplay(other);
}

TEST_F(HookComponentTest, MissingLibrariesRaiseHookError) {
    TrasWinGod orphan(host, "/nonexistent/");
    try {
        orphan.InstallKeyboardHook();
        FAIL() << "no HookError";
    } catch (const HookError& error) {
        EXPECT_STREQ(error.what(), "Unable to install a keyboard hook!");
    }
    try {
        orphan.InstallMouseHook();
        FAIL() << "no HookError";
    } catch (const HookError& error) {
        EXPECT_STREQ(error.what(), "Unable to install a mouse hook!");
    }
    EXPECT_FALSE(orphan.KeyboardHookInstalled());
    EXPECT_FALSE(orphan.MouseHookInstalled());
    EXPECT_FALSE(orphan.FilterAttached());
    orphan.RemoveMouseHook(); // not installed: nothing to do
}

} // namespace
