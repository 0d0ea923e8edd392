#include "editor/property_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

TEST(PropertyRules, RotationFieldToTenthsAndBack) {
    EXPECT_EQ(RotationFromField(45.5), 455);
    EXPECT_EQ(RotationFromField(4.6), 46) << "no tenth lost to binary decimals";
    EXPECT_EQ(RotationFromField(0.1), 1);
    EXPECT_EQ(RotationFromField(45.57), 455) << "truncated, not rounded";
    EXPECT_EQ(RotationFromField(-45.57), -455) << "toward zero";
    EXPECT_EQ(RotationFromField(1e12), INT_MAX);
    EXPECT_EQ(RotationFromField(-1e12), INT_MIN);
    EXPECT_EQ(RotationFromField(std::nan("")), 0);
    EXPECT_EQ(RotationForField(455), 45);
    EXPECT_EQ(RotationForField(-455), -45);
}

TEST(PropertyRules, FontSizeBoxTakesWholeNumbersFrom1To999) {
    EXPECT_EQ(ParseFontSize("36"), 36);
    EXPECT_EQ(ParseFontSize("1"), 1);
    EXPECT_EQ(ParseFontSize("999"), 999);
    for (const char* bad : {"0", "1000", "-5", "abc", "12pt", "", "3.5"})
        EXPECT_FALSE(ParseFontSize(bad).has_value()) << bad;
}

} // namespace
