// How the property fields of the editing tab turn into the values an ObjectState keeps.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// The rotation field shows degrees with one decimal; the state keeps tenths of a degree,
// truncated toward zero (45.57 becomes 455). Values beyond the 32-bit range are clamped.
int32_t RotationFromField(double degrees);

// What the rotation field shows for a stored rotation: whole degrees, truncated.
inline int32_t RotationForField(int32_t rotation) {
    return rotation / 10;
}

inline constexpr int32_t kMinFontSize = 1;
inline constexpr int32_t kMaxFontSize = 999;

// The font size box accepts a whole number from 1 to 999; anything else gives nothing.
std::optional<int32_t> ParseFontSize(const QString& text);
