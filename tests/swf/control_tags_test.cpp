#include "tests/swf/swf_test_util.h"

namespace {

std::string MatrixHex(const FMatrix& matrix) {
    FSWFStream out;
    matrix.WriteTo(out);
    return StreamHex(out);
}

} // namespace

using ControlTagTest = SwfTest;

TEST_F(ControlTagTest, FrameTagsEncode) {
    FCTSetBackgroundColor white(new FColor(255, 255, 255));
    EXPECT_EQ(TagHex(white), "43 02 FF FF FF");
    FCTSetBackgroundColor withAlpha(new FColor(1, 2, 3, 4));
    EXPECT_EQ(TagHex(withAlpha), "43 02 01 02 03") << "the background is always RGB";
    FCTShowFrame show;
    EXPECT_TRUE(show.EndsFrame());
    EXPECT_FALSE(white.EndsFrame());
    EXPECT_EQ(TagHex(show), "40 00");
    FCTRemoveObject2 remove(5);
    EXPECT_EQ(TagHex(remove), "02 07 05 00");
}

TEST_F(ControlTagTest, MatricesEncode) {
    EXPECT_EQ(MatrixHex(FMatrix(0, 0, 0, 0, 0, 0, 0, 0)), "02 00");
    EXPECT_EQ(MatrixHex(FMatrix(0, 0, 0, 0, 0, 0, 200, -100)), "12 C8 CE 00");
    EXPECT_EQ(MatrixHex(FMatrix(1, 0x10000, 0x10000, 0, 0, 0, 0, 0)), "C9 00 00 40 00 01 00");
    // Rotation by 90 degrees: scale 0, skews 1.0 and -1.0 in 18 bits each.
    EXPECT_EQ(MatrixHex(FMatrix(1, 0, 0, 1, 0x10000, -0x10000, 0, 0)), "84 C9 00 00 C0 00 02 00");
}

TEST_F(ControlTagTest, PlacementsEncodeTheirOptionalFields) {
    FCTPlaceObject2 move(0, 0, 0, 1, 3, 0, nullptr, nullptr, 0, nullptr, 0);
    EXPECT_EQ(TagHex(move), "83 06 01 03 00");

    FCTPlaceObject2 place(0, 0, 1, 0, 1, 1, new FMatrix(0, 0, 0, 0, 0, 0, 200, -100), nullptr, 0,
                          nullptr, 0);
    EXPECT_EQ(TagHex(place), "89 06 06 01 00 01 00 12 C8 CE 00");

    FCTPlaceObject2 ratio(0, 1, 0, 1, 4, 0, nullptr, nullptr, 0x8000, nullptr, 0);
    EXPECT_EQ(TagHex(ratio), "85 06 11 04 00 00 80");

    FCTPlaceObject2 named(1, 0, 0, 1, 3, 0, nullptr, nullptr, 0, new FString("ab"), 7);
    EXPECT_EQ(TagHex(named), "88 06 61 03 00 61 62 00 07 00") << "name before clip depth";

    // Only the lowest bit of a flag counts.
    FCTPlaceObject2 odd(0, 2, 3, 0, 1, 9, nullptr, nullptr, 5, nullptr, 0);
    EXPECT_EQ(TagHex(odd), "85 06 02 01 00 09 00");

    const std::string longName(70, 'n');
    FCTPlaceObject2 longTag(0, 0, 0, 1, 1, 0, nullptr, nullptr, 0, new FString(longName.c_str()),
                            0);
    EXPECT_EQ(TagHex(longTag).substr(0, 20), "BF 06 4A 00 00 00 21");
}

TEST_F(ControlTagTest, ColourTransformsEncodeWithAndWithoutAlpha) {
    FCXForm multiply(0, 1, 256, 0, -256, 0, 0, 0);
    FSWFStream plain;
    multiply.WriteTo(plain);
    EXPECT_EQ(StreamHex(plain), "69 00 00 30 00");
    FSWFStream withAlpha;
    multiply.WriteWithAlphaTo(withAlpha);
    EXPECT_EQ(StreamHex(withAlpha), "69 00 00 30 04 00") << "alpha multiplied by 1.0";

    // A neutral alpha multiplier needs 10 bits even when the colour terms need fewer.
    EXPECT_EQ(FCXForm(0, 1, 128, 128, 128, 0, 0, 0).TermBitsWithAlpha(), 10u);
    EXPECT_EQ(FCXForm(1, 0, 0, 0, 0, 1, -1, 0).TermBitsWithAlpha(), 2u);

    FCTPlaceObject2 tinted(0, 0, 0, 1, 2, 0, nullptr, new FCXForm(1, 0, 0, 0, 0, 1, -1, 0), 0,
                           nullptr, 0);
    EXPECT_EQ(TagHex(tinted), "85 06 09 02 00 89 C0");
    EXPECT_FALSE(tinted.ExceedsFormatLimits());
    FCTPlaceObject2 huge(0, 0, 0, 1, 2, 0, nullptr, new FCXForm(1, 0, 0, 0, 0, 20000, 0, 0), 0,
                         nullptr, 0);
    EXPECT_TRUE(huge.ExceedsFormatLimits()) << "16 bits do not fit the 4-bit term width";
}
