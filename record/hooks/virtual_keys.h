// X keysyms and keycodes turned into the virtual-key codes and keystroke information
// that keyboard hook events carry.
#pragma once

#include <cstdint>

inline constexpr int32_t kVkShift = 16;
inline constexpr int32_t kVkControl = 17;
inline constexpr int32_t kVkMenu = 18; // the Alt key
inline constexpr int32_t kVkF1 = 112;
inline constexpr int32_t kVkF11 = 122;

// The virtual-key code of an unshifted keysym (group 1, level 1); 0 when it has none.
// Letters give their upper-case ASCII code, digits their ASCII code.
int32_t VirtualKeyFromKeysym(unsigned long keysym);

struct KeystrokeFacts {
    unsigned keycode = 0; // X keycode (evdev code + 8)
    unsigned long keysym = 0;
    bool release = false;
    bool wasDown = false; // the key was already down before this event
    bool altDown = false; // an Alt key is held
};

// Bits 0-15 repeat count (always 1), 16-23 scan code, 24 extended key, 29 Alt held,
// 30 previous key state, 31 release. A press is always positive, a release negative.
int32_t KeystrokeInfo(const KeystrokeFacts& facts);
