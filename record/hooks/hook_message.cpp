#include "record/hooks/hook_message.h"

#include <algorithm>

namespace {

uint32_t Pack16(int32_t high, int32_t low) {
    auto clamp16 = [](int32_t v) { return static_cast<uint16_t>(std::clamp(v, -32768, 32767)); };
    return static_cast<uint32_t>(clamp16(high)) << 16 | clamp16(low);
}

int32_t High16(uint32_t v) {
    return static_cast<int16_t>(v >> 16);
}
int32_t Low16(uint32_t v) {
    return static_cast<int16_t>(v & 0xFFFF);
}

} // namespace

bool HasHookTag(const HookMessageData& data, HookMessageTag tag) {
    return static_cast<int32_t>(data[0]) == tag.wParam &&
           static_cast<int32_t>(data[1]) == tag.lParam;
}

HookMessageData EncodeKeyboardMessage(const KeyboardHookEvent& event) {
    return {static_cast<uint32_t>(kKeyboardHookTag.wParam),
            static_cast<uint32_t>(kKeyboardHookTag.lParam), static_cast<uint32_t>(event.code),
            static_cast<uint32_t>(event.vkCode), static_cast<uint32_t>(event.ksInfo)};
}

KeyboardHookEvent DecodeKeyboardMessage(const HookMessageData& data) {
    return {static_cast<int32_t>(data[2]), static_cast<int32_t>(data[3]),
            static_cast<int32_t>(data[4])};
}

HookMessageData EncodeMouseMessage(const MouseHookEvent& event) {
    // Message numbers are below 0x10000, so the code shares their value.
    return {static_cast<uint32_t>(kMouseHookTag.wParam),
            static_cast<uint32_t>(kMouseHookTag.lParam),
            Pack16(event.code, static_cast<int32_t>(event.mesId & 0xFFFF)),
            Pack16(event.mrec.y, event.mrec.x), event.mrec.window};
}

MouseHookEvent DecodeMouseMessage(const HookMessageData& data) {
    MouseHookEvent event;
    event.code = High16(data[2]);
    event.mesId = data[2] & 0xFFFF;
    event.mrec.x = Low16(data[3]);
    event.mrec.y = High16(data[3]);
    event.mrec.window = data[4];
    return event;
}
