// The recording hot key: Alt + Ctrl + F11 starts a recording when none runs and stops
// it otherwise. Ctrl + Shift + F11 does the same, because many X servers take
// Ctrl + Alt + F<n> for switching to a text console before any client sees it.
#pragma once

#include <cstdint>

struct HotKeyModifiers {
    bool ControlDown = false;
    bool AltDown = false;
    bool ShiftDown = false;
};

// Follows the control (17), menu (18) and shift (16) keys: down while their last
// report was a press (KSInfo > 0).
void TrackHotKeyModifiers(HotKeyModifiers& modifiers, int32_t vkCode, int32_t ksInfo);

// True for a press report of F11 (122) while Ctrl + Alt or Ctrl + Shift are down.
// Every such report toggles, auto-repeats included.
bool IsRecordHotKey(const HotKeyModifiers& modifiers, int32_t vkCode, int32_t ksInfo);

// Both steps in the order a keyboard event handler takes them.
bool HandleHotKeyEvent(HotKeyModifiers& modifiers, int32_t vkCode, int32_t ksInfo);
