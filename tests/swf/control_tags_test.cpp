#include "tests/swf/swf_test_util.h"

namespace {

// The complete tag a control tag made from args writes.
template <typename Tag, typename... Args> std::function<std::string()> TagOf(Args... args) {
    return [=] {
        Tag tag(args...);
        return TagHex(tag);
    };
}

std::function<std::string()> MatrixOf(int32_t hasScale, int32_t scaleX, int32_t scaleY,
                                      int32_t hasRotate, int32_t skew0, int32_t skew1, int32_t tx,
                                      int32_t ty) {
    return [=] {
        return WrittenHex([&](FSWFStream& s) {
            FMatrix(hasScale, scaleX, scaleY, hasRotate, skew0, skew1, tx, ty).WriteTo(s);
        });
    };
}

} // namespace

using ControlTagTest = SwfTest;

TEST_F(ControlTagTest, FrameTagsEncode) {
    ExpectGoldenBytes({
        {"white background",
         [] {
             FCTSetBackgroundColor t(new FColor(255, 255, 255));
             return TagHex(t);
         },
         "43 02 FF FF FF"},
        {"the background is always RGB",
         [] {
             FCTSetBackgroundColor t(new FColor(1, 2, 3, 4));
             return TagHex(t);
         },
         "43 02 01 02 03"},
        {"show frame", TagOf<FCTShowFrame>(), "40 00"},
        {"remove depth 5", TagOf<FCTRemoveObject2>(5), "02 07 05 00"},
    });
    EXPECT_TRUE(FCTShowFrame().EndsFrame());
    EXPECT_FALSE(FCTRemoveObject2(5).EndsFrame());
}

TEST_F(ControlTagTest, MatricesEncode) {
    ExpectGoldenBytes({
        {"identity", MatrixOf(0, 0, 0, 0, 0, 0, 0, 0), "02 00"},
        {"translation only", MatrixOf(0, 0, 0, 0, 0, 0, 200, -100), "12 C8 CE 00"},
        {"scale 1.0", MatrixOf(1, 0x10000, 0x10000, 0, 0, 0, 0, 0), "C9 00 00 40 00 01 00"},
        // Rotation by 90 degrees: scale 0, skews 1.0 and -1.0 in 18 bits each.
        {"quarter turn", MatrixOf(1, 0, 0, 1, 0x10000, -0x10000, 0, 0), "84 C9 00 00 C0 00 02 00"},
    });
}

TEST_F(ControlTagTest, PlacementsEncodeTheirOptionalFields) {
    using P = FCTPlaceObject2;
    ExpectGoldenBytes({
        {"move only", TagOf<P>(0, 0, 0, 1, 3, 0, nullptr, nullptr, 0, nullptr, 0),
         "83 06 01 03 00"},
        {"character and matrix",
         [] {
             P t(0, 0, 1, 0, 1, 1, new FMatrix(0, 0, 0, 0, 0, 0, 200, -100), nullptr, 0, nullptr,
                 0);
             return TagHex(t);
         },
         "89 06 06 01 00 01 00 12 C8 CE 00"},
        {"ratio", TagOf<P>(0, 1, 0, 1, 4, 0, nullptr, nullptr, 0x8000, nullptr, 0),
         "85 06 11 04 00 00 80"},
        {"name before clip depth",
         [] {
             P t(1, 0, 0, 1, 3, 0, nullptr, nullptr, 0, new FString("ab"), 7);
             return TagHex(t);
         },
         "88 06 61 03 00 61 62 00 07 00"},
        {"only the lowest bit of a flag counts",
         TagOf<P>(0, 2, 3, 0, 1, 9, nullptr, nullptr, 5, nullptr, 0), "85 06 02 01 00 09 00"},
        {"a long name takes the long header",
         [] {
             P t(0, 0, 0, 1, 1, 0, nullptr, nullptr, 0, new FString(std::string(70, 'n').c_str()),
                 0);
             return TagHex(t).substr(0, 20);
         },
         "BF 06 4A 00 00 00 21"},
    });
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
