// Colour values as the project stores them: 0x00BBGGRR, or a system-colour reference
// (top bit set, low byte = index of the system colour, e.g. 0x80000008 = window text).
#pragma once

#include "model/color_value.h"

#include <QColor>
#include <QPalette>

#include <cstdint>
#include <optional>

// Resolves a colour value to plain 0x00BBGGRR. System-colour references are looked up
// in the palette (window text, button face, highlight...); an unknown index gives nothing.
std::optional<uint32_t> ResolveColorValue(uint32_t value, const QPalette& palette);

// 0x00BBGGRR <-> QColor.
QColor ColorFromBgr(uint32_t bgr);
uint32_t BgrFromColor(const QColor& color);
