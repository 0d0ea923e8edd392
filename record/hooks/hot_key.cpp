#include "record/hooks/hot_key.h"

#include "record/hooks/virtual_keys.h"

void TrackHotKeyModifiers(HotKeyModifiers& modifiers, int32_t vkCode, int32_t ksInfo) {
    const bool pressed = ksInfo > 0;
    switch (vkCode) {
    case kVkControl:
        modifiers.ControlDown = pressed;
        break;
    case kVkMenu:
        modifiers.AltDown = pressed;
        break;
    case kVkShift:
        modifiers.ShiftDown = pressed;
        break;
    default:
        break;
    }
}

bool IsRecordHotKey(const HotKeyModifiers& modifiers, int32_t vkCode, int32_t ksInfo) {
    return vkCode == kVkF11 && ksInfo > 0 && modifiers.ControlDown &&
           (modifiers.AltDown || modifiers.ShiftDown);
}

bool HandleHotKeyEvent(HotKeyModifiers& modifiers, int32_t vkCode, int32_t ksInfo) {
    TrackHotKeyModifiers(modifiers, vkCode, ksInfo);
    return IsRecordHotKey(modifiers, vkCode, ksInfo);
}
