#include "editor/property_rules.h"

#include <cmath>
#include <limits>

int32_t RotationFromField(double degrees) {
    if (std::isnan(degrees))
        return 0;
    double tenths = degrees * 10.0;
    // A value that is a whole number of tenths must not lose one to the binary
    // representation of its decimals (4.6 x 10 = 45.99999...).
    double nearest = std::round(tenths);
    double truncated = std::abs(tenths - nearest) < 1e-6 ? nearest : std::trunc(tenths);
    constexpr double kMin = std::numeric_limits<int32_t>::min();
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    if (truncated <= kMin)
        return std::numeric_limits<int32_t>::min();
    if (truncated >= kMax)
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(truncated);
}

std::optional<int32_t> ParseFontSize(const QString& text) {
    bool ok = false;
    int value = text.trimmed().toInt(&ok);
    if (!ok || value < kMinFontSize || value > kMaxFontSize)
        return std::nullopt;
    return value;
}
