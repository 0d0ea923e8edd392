// What the two hook libraries (librasKB50.so, librasM50.so) and the program agree on:
// the entry points, the record each library fills and the messages it sends.
//
// A library's SetHook(window) starts listening to the whole X display and, for every
// event, fills its record and sends the window a ClientMessage whose type is the atom
// "KB_Hook" or "M_Hook". Because the message is queued, the record may already describe
// a later event when the program handles it; the message therefore carries the event's
// own fields too (see hook_message.h) and the program reads those.
#pragma once

#include <cstdint>

// The application window is an X window id.
using HookWindow = unsigned long;

extern "C" {
// Returns the address of the library's event record, or null when the hook could not
// be installed (no display, no XInput2, a hook already running for another window).
using SetHookFn = void* (*)(HookWindow window);
using RemoveHookFn = void (*)(HookWindow window);
// The keyboard library only: whether its installed hook holds the recording hot key (see
// HotKeyGrab).
using HotKeyGrabStateFn = int32_t (*)();
}

// While the keyboard hook runs, its library grabs the recording hot key so that only the
// program gets it.
enum HotKeyGrab : int32_t {
    HotKeyNotGrabbed = 0,   // no hook runs, or the keys could not be looked up
    HotKeyGrabbed = 1,      // the focused program no longer sees the hot key
    HotKeyTakenByOther = 2, // another program holds it: both get the keys
};

inline constexpr const char* kKeyboardHookLibrary = "librasKB50.so";
inline constexpr const char* kMouseHookLibrary = "librasM50.so";

inline constexpr const char* kKeyboardHookMessage = "KB_Hook";
inline constexpr const char* kMouseHookMessage = "M_Hook";

// The fixed wParam/lParam pair that marks a message as coming from a hook library.
struct HookMessageTag {
    int32_t wParam;
    int32_t lParam;
};
inline constexpr HookMessageTag kKeyboardHookTag{93, 39};
inline constexpr HookMessageTag kMouseHookTag{47, 74};
inline constexpr HookMessageTag kShellHookTag{12, 21};

// Code of an ordinary event (the only kind the libraries report).
inline constexpr int32_t kHookCodeAction = 0;

// Mouse message numbers.
enum MouseMessageId : uint32_t {
    MouseMove = 0x200,
    LeftButtonDown = 0x201,
    LeftButtonUp = 0x202,
    RightButtonDown = 0x204,
    RightButtonUp = 0x205,
    MiddleButtonDown = 0x207,
    MiddleButtonUp = 0x208,
    MouseWheel = 0x20A,
    ExtraButtonDown = 0x20B,
    ExtraButtonUp = 0x20C,
    MouseHorizontalWheel = 0x20E,
};

// Four-byte fields, as laid out since the 32-bit days; the window handle is an X
// window id, which always fits 32 bits.
struct MouseHookStruct {
    int32_t x; // screen coordinates
    int32_t y;
    uint32_t window;     // top-level window under the pointer, 0 if none
    int32_t hitTestCode; // always 0: the hook does not ask windows
    uint32_t extraInfo;  // always 0
};
static_assert(sizeof(MouseHookStruct) == 20);

struct KeyboardHookRecord {
    int32_t reserved;
    int32_t code;
    int32_t vkCode;
    int32_t ksInfo; // negative for a release
};
static_assert(sizeof(KeyboardHookRecord) == 16);

struct MouseHookRecord {
    int32_t reserved;
    int32_t code;
    uint32_t mesId;
    MouseHookStruct mrec;
};
static_assert(sizeof(MouseHookRecord) == 32);
static_assert(__builtin_offsetof(MouseHookRecord, mrec) == 12);

struct ShellHookRecord {
    int32_t reserved;
    int32_t code;
    int32_t wParam;
    int32_t lParam;
};
static_assert(sizeof(ShellHookRecord) == 16);
