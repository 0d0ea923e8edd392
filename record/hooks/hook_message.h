// The payload of a hook library's ClientMessage (format 32, five values).
//
//   keyboard: [93, 39, code, vkCode, ksInfo]
//   mouse:    [47, 74, code << 16 | mesId, y << 16 | (x & 0xFFFF), window]
//
// X coordinates are 16-bit on the wire anyway, so a point fits one value; the mouse
// structure's hit-test code and extra information are always 0 and not sent.
#pragma once

#include "record/hooks/hook_abi.h"

#include <array>
#include <cstdint>

using HookMessageData = std::array<uint32_t, 5>;

struct KeyboardHookEvent {
    int32_t code = kHookCodeAction;
    int32_t vkCode = 0;
    int32_t ksInfo = 0;
};

struct MouseHookEvent {
    int32_t code = kHookCodeAction;
    uint32_t mesId = 0;
    MouseHookStruct mrec{};
};

bool HasHookTag(const HookMessageData& data, HookMessageTag tag);

HookMessageData EncodeKeyboardMessage(const KeyboardHookEvent& event);
KeyboardHookEvent DecodeKeyboardMessage(const HookMessageData& data);

HookMessageData EncodeMouseMessage(const MouseHookEvent& event);
MouseHookEvent DecodeMouseMessage(const HookMessageData& data);
