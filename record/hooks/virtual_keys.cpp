#include "record/hooks/virtual_keys.h"

#define XK_MISCELLANY
#define XK_LATIN1
#define XK_XKB_KEYS
#include <X11/keysymdef.h>

namespace {

struct KeysymRange {
    unsigned long first;
    unsigned long last;
    int32_t firstVk;
};

constexpr KeysymRange kRanges[] = {
    {XK_0, XK_9, '0'},    {XK_A, XK_Z, 'A'},      {XK_a, XK_z, 'A'},
    {XK_F1, XK_F24, 112}, {XK_KP_0, XK_KP_9, 96},
};

struct KeysymCode {
    unsigned long keysym;
    int32_t vk;
};

constexpr KeysymCode kCodes[] = {
    {XK_BackSpace, 8},
    {XK_Tab, 9},
    {XK_ISO_Left_Tab, 9},
    {XK_Clear, 12},
    {XK_Return, 13},
    {XK_KP_Enter, 13},
    {XK_Shift_L, 16},
    {XK_Shift_R, 16},
    {XK_Control_L, 17},
    {XK_Control_R, 17},
    {XK_Alt_L, 18},
    {XK_Alt_R, 18},
    {XK_Meta_L, 18},
    {XK_Meta_R, 18},
    {XK_ISO_Level3_Shift, 18},
    {XK_Pause, 19},
    {XK_Caps_Lock, 20},
    {XK_Escape, 27},
    {XK_space, 32},
    {XK_Prior, 33},
    {XK_Next, 34},
    {XK_End, 35},
    {XK_Home, 36},
    {XK_Left, 37},
    {XK_Up, 38},
    {XK_Right, 39},
    {XK_Down, 40},
    {XK_Select, 41},
    {XK_Print, 44},
    {XK_Execute, 43},
    {XK_Insert, 45},
    {XK_Delete, 46},
    {XK_Help, 47},
    {XK_Super_L, 91},
    {XK_Super_R, 92},
    {XK_Menu, 93},
    {XK_KP_Insert, 45},
    {XK_KP_Delete, 46},
    {XK_KP_End, 35},
    {XK_KP_Home, 36},
    {XK_KP_Prior, 33},
    {XK_KP_Next, 34},
    {XK_KP_Left, 37},
    {XK_KP_Up, 38},
    {XK_KP_Right, 39},
    {XK_KP_Down, 40},
    {XK_KP_Begin, 12},
    {XK_KP_Multiply, 106},
    {XK_KP_Add, 107},
    {XK_KP_Separator, 108},
    {XK_KP_Subtract, 109},
    {XK_KP_Decimal, 110},
    {XK_KP_Divide, 111},
    {XK_Num_Lock, 144},
    {XK_Scroll_Lock, 145},
    {XK_semicolon, 186},
    {XK_equal, 187},
    {XK_comma, 188},
    {XK_minus, 189},
    {XK_period, 190},
    {XK_slash, 191},
    {XK_grave, 192},
    {XK_bracketleft, 219},
    {XK_backslash, 220},
    {XK_bracketright, 221},
    {XK_apostrophe, 222},
    {XK_less, 226},
};

// Keys that sit outside the original keyboard's main block.
bool IsExtendedKey(unsigned long keysym) {
    switch (keysym) {
    case XK_Control_R:
    case XK_Alt_R:
    case XK_ISO_Level3_Shift:
    case XK_Insert:
    case XK_Delete:
    case XK_Home:
    case XK_End:
    case XK_Prior:
    case XK_Next:
    case XK_Left:
    case XK_Up:
    case XK_Right:
    case XK_Down:
    case XK_KP_Divide:
    case XK_KP_Enter:
    case XK_Num_Lock:
    case XK_Print:
    case XK_Super_L:
    case XK_Super_R:
    case XK_Menu:
        return true;
    default:
        return false;
    }
}

} // namespace

int32_t VirtualKeyFromKeysym(unsigned long keysym) {
    for (const KeysymRange& range : kRanges) {
        if (keysym >= range.first && keysym <= range.last) {
            return range.firstVk + static_cast<int32_t>(keysym - range.first);
        }
    }
    for (const KeysymCode& entry : kCodes) {
        if (entry.keysym == keysym) {
            return entry.vk;
        }
    }
    return 0;
}

int32_t KeystrokeInfo(const KeystrokeFacts& facts) {
    uint32_t info = 1; // repeat count
    const unsigned scanCode = facts.keycode >= 8 ? facts.keycode - 8 : 0;
    info |= (scanCode & 0xFFu) << 16;
    if (IsExtendedKey(facts.keysym)) {
        info |= 1u << 24;
    }
    if (facts.altDown) {
        info |= 1u << 29;
    }
    if (facts.wasDown || facts.release) {
        info |= 1u << 30;
    }
    if (facts.release) {
        info |= 1u << 31;
    }
    return static_cast<int32_t>(info);
}
