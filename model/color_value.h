// Colour values as the project stores them: 0x00BBGGRR, or a system-colour reference
// (top bit set, low byte = index of the system colour, e.g. 0x80000008 = window text).
#pragma once

#include <cstdint>

constexpr uint32_t kSystemColorFlag = 0x80000000u;
constexpr uint32_t kSystemColorWindowText = 0x80000008u;

constexpr bool IsSystemColorReference(uint32_t value) {
    return (value & kSystemColorFlag) != 0;
}

// The channels of a plain colour value.
constexpr uint8_t RedOf(uint32_t color) {
    return color & 0xFF;
}
constexpr uint8_t GreenOf(uint32_t color) {
    return (color >> 8) & 0xFF;
}
constexpr uint8_t BlueOf(uint32_t color) {
    return (color >> 16) & 0xFF;
}
