// Colour values on the screen: a stored value (plain or a system-colour reference) resolved
// through the desktop's palette, and conversions between 0x00BBGGRR and QColor.
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
