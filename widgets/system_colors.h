// Colour values as the project stores them: 0x00BBGGRR, or a system-colour reference
// (top bit set, low byte = index of the system colour, e.g. 0x80000008 = window text).
#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>
#include <optional>

constexpr uint32_t kSystemColorReferenceFlag = 0x80000000u;

inline bool IsSystemColorReference(uint32_t value) {
    return (value & kSystemColorReferenceFlag) != 0;
}

// Resolves a colour value to plain 0x00BBGGRR. System-colour references are looked up
// in the palette (window text, button face, highlight...); an unknown index gives nothing.
std::optional<uint32_t> ResolveColorValue(uint32_t value, const QPalette& palette);

// 0x00BBGGRR <-> QColor.
QColor ColorFromBgr(uint32_t bgr);
uint32_t BgrFromColor(const QColor& color);
