// The message layout, the key translation and the recording hot key: no display needed.
#include "record/hooks/hook_message.h"
#include "record/hooks/hot_key.h"
#include "record/hooks/virtual_keys.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

TEST(HookMessage, KeyboardEventsTravelWithTheirTagAndAllFields) {
    const KeyboardHookEvent sent{0, kVkF11, static_cast<int32_t>(0xC0570001u)};
    const HookMessageData data = EncodeKeyboardMessage(sent);
    EXPECT_TRUE(HasHookTag(data, kKeyboardHookTag));
    EXPECT_FALSE(HasHookTag(data, kMouseHookTag));
    const KeyboardHookEvent received = DecodeKeyboardMessage(data);
    EXPECT_EQ(received.code, 0);
    EXPECT_EQ(received.vkCode, kVkF11);
    EXPECT_EQ(received.ksInfo, sent.ksInfo);
    EXPECT_LT(received.ksInfo, 0);
}

TEST(HookMessage, MousePointsKeepTheirSignAndWindow) {
    for (auto [x, y] : {std::pair{0, 0}, {1279, 1023}, {-5, -32768}, {32767, -1}}) {
        MouseHookEvent sent;
        sent.mesId = MouseMove;
        sent.mrec.x = x;
        sent.mrec.y = y;
        sent.mrec.window = 0x1e00007;
        const HookMessageData data = EncodeMouseMessage(sent);
        EXPECT_TRUE(HasHookTag(data, kMouseHookTag));
        const MouseHookEvent received = DecodeMouseMessage(data);
        EXPECT_EQ(received.code, 0);
        EXPECT_EQ(received.mesId, 512u);
        EXPECT_EQ(received.mrec.x, x);
        EXPECT_EQ(received.mrec.y, y);
        EXPECT_EQ(received.mrec.window, 0x1e00007u);
    }
}

TEST(HookMessage, OutOfRangePointsAreClampedNotWrapped) {
    MouseHookEvent sent;
    sent.mesId = RightButtonDown;
    sent.mrec.x = 40000;
    sent.mrec.y = -40000;
    const MouseHookEvent received = DecodeMouseMessage(EncodeMouseMessage(sent));
    EXPECT_EQ(received.mesId, 516u);
    EXPECT_EQ(received.mrec.x, 32767);
    EXPECT_EQ(received.mrec.y, -32768);
}

TEST(VirtualKeys, KeysymsMapToTheProgramsKeyCodes) {
    // Both keys of a pair give one code; letters are upper-case whatever the level.
    for (auto [keysym, vk] : {std::pair{XK_Control_L, 17},
                              {XK_Control_R, 17},
                              {XK_Alt_L, 18},
                              {XK_Alt_R, 18},
                              {XK_Shift_R, 16},
                              {XK_F1, 112},
                              {XK_F11, 122},
                              {XK_F12, 123},
                              {XK_a, 'A'},
                              {XK_Z, 'Z'},
                              {XK_0, '0'},
                              {XK_9, '9'},
                              {XK_KP_7, 103},
                              {XK_Left, 37},
                              {XK_minus, 189},
                              {XK_exclam, 0}}) {
        EXPECT_EQ(VirtualKeyFromKeysym(keysym), vk) << keysym;
    }
}

TEST(VirtualKeys, KeystrokeInfoIsPositiveForPressesAndNegativeForReleases) {
    KeystrokeFacts f11{95, XK_F11, false, false, false};
    const int32_t press = KeystrokeInfo(f11);
    EXPECT_GT(press, 0);
    EXPECT_EQ(press & 0xFFFF, 1);          // repeat count
    EXPECT_EQ((press >> 16) & 0xFF, 0x57); // scan code of F11
    EXPECT_EQ(press & (1 << 30), 0);       // was up

    f11.wasDown = true; // auto-repeat
    const int32_t repeat = KeystrokeInfo(f11);
    EXPECT_GT(repeat, 0);
    EXPECT_NE(repeat & (1 << 30), 0);

    f11.release = true;
    f11.altDown = true;
    const int32_t release = KeystrokeInfo(f11);
    EXPECT_LT(release, 0);
    EXPECT_NE(release & (1 << 29), 0);

    EXPECT_NE(KeystrokeInfo({113, XK_Left, false, false, false}) & (1 << 24), 0);
    EXPECT_EQ(KeystrokeInfo({38, XK_a, false, false, false}) & (1 << 24), 0);
}

namespace {

constexpr int32_t kPress = 1;
constexpr int32_t kRelease = static_cast<int32_t>(0xC0000001u);

// Feeds key events and counts the toggles.
int Toggles(std::initializer_list<std::pair<int32_t, int32_t>> events) {
    HotKeyModifiers modifiers;
    int toggles = 0;
    for (auto [vk, ks] : events) {
        toggles += HandleHotKeyEvent(modifiers, vk, ks) ? 1 : 0;
    }
    return toggles;
}

} // namespace

TEST(RecordHotKey, CtrlAltF11AndCtrlShiftF11Toggle) {
    EXPECT_EQ(Toggles({{17, kPress}, {18, kPress}, {122, kPress}, {122, kRelease}}), 1);
    EXPECT_EQ(Toggles({{18, kPress}, {17, kPress}, {122, kPress}}), 1);
    EXPECT_EQ(Toggles({{17, kPress}, {16, kPress}, {122, kPress}}), 1);
    // All three held is still one toggle per press report.
    EXPECT_EQ(Toggles({{17, kPress}, {16, kPress}, {18, kPress}, {122, kPress}}), 1);
    // Auto-repeat reports toggle every time.
    EXPECT_EQ(Toggles({{17, kPress}, {18, kPress}, {122, kPress}, {122, kPress}, {122, kPress}}),
              3);
}

TEST(RecordHotKey, IncompleteOrReleasedModifiersDoNothing) {
    EXPECT_EQ(Toggles({{17, kPress}, {122, kPress}}), 0);
    EXPECT_EQ(Toggles({{18, kPress}, {122, kPress}}), 0);
    EXPECT_EQ(Toggles({{16, kPress}, {18, kPress}, {122, kPress}}), 0);
    EXPECT_EQ(Toggles({{17, kPress}, {18, kPress}, {122, kRelease}}), 0);
    EXPECT_EQ(Toggles({{17, kPress}, {18, kPress}, {17, kRelease}, {122, kPress}}), 0);
    EXPECT_EQ(Toggles({{17, kPress}, {18, kPress}, {18, kRelease}, {122, kPress}}), 0);
    EXPECT_EQ(Toggles({{17, kPress}, {16, kPress}, {16, kRelease}, {122, kPress}}), 0);
    // Other keys leave the modifiers alone.
    EXPECT_EQ(Toggles({{17, kPress}, {18, kPress}, {'A', kRelease}, {122, kPress}}), 1);
}
