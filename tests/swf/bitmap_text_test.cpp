#include "tests/swf/swf_test_util.h"

#include <numeric>

using BitmapTest = SwfTest;
using TextTest = SwfTest;

TEST_F(BitmapTest, JpegBlockIsFramedAndReferenced) {
    std::vector<uint8_t> block(1000);
    std::iota(block.begin(), block.end(), 0);
    FDTDefineBitsJPEG2 jpeg(block.data(), static_cast<uint32_t>(block.size()));
    EXPECT_EQ(jpeg.CharacterId(), 1);
    FSWFStream out;
    jpeg.WriteTo(out);
    EXPECT_EQ(out.BytePos(), 6u + 6 + 2) << "the block itself is not copied into the stream";
    ASSERT_EQ(out.References().size(), 1u);
    EXPECT_EQ(out.References()[0].data, block.data());
    const std::vector<uint8_t> bytes = StreamBytes(out);
    ASSERT_EQ(bytes.size(), 6u + 1008);
    EXPECT_EQ(ToHex({bytes.begin(), bytes.begin() + 12}), "7F 05 F0 03 00 00 01 00 FF D9 FF D8");
    EXPECT_TRUE(std::equal(block.begin(), block.end(), bytes.begin() + 12));
    EXPECT_EQ(ToHex({bytes.end() - 2, bytes.end()}), "FF D9");

    FDTDefineBitsJPEG2 empty(nullptr, 0);
    EXPECT_EQ(TagHex(empty), "48 05 02 00 FF D9 FF D8 FF D9");
}

TEST_F(BitmapTest, BitmapFillsAreRepeatingOrClipped) {
    FFillStyleBitmap repeating(1, 7, new FMatrix(0, 0, 0, 0, 0, 0, 0, 0));
    FFillStyleBitmap clipped(0, 0xFFFF, new FMatrix(1, 0x140000, 0x140000, 0, 0, 0, -80, -40));
    FSWFStream out;
    repeating.WriteTo(out);
    clipped.WriteTo(out);
    const std::string hex = StreamHex(out);
    EXPECT_EQ(hex.substr(0, 17), "40 07 00 02 00 41") << hex;
    EXPECT_EQ(hex.substr(18, 5), "FF FF");
}

TEST_F(TextTest, FontOffsetsOfTenAndTwelveByteGlyphs) {
    // Glyph outlines of 10 and 12 bytes: the widths byte 0x10, a 14-bit change record, two
    // 24-bit edges, some 10-bit edges and the 6-bit end.
    auto glyph = [](int shortEdges) {
        auto* shape = new FShape;
        shape->AddRecord(new FShapeRecChange(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, nullptr, nullptr));
        shape->AddRecord(new FShapeRecEdgeStraight(20000, 0));
        shape->AddRecord(new FShapeRecEdgeStraight(0, 20000));
        for (int i = 0; i < shortEdges; ++i) {
            shape->AddRecord(new FShapeRecEdgeStraight(1, 0));
        }
        shape->AddRecord(new FShapeRecEnd);
        return shape;
    };
    FDTDefineFont font;
    font.AddGlyphShape(glyph(0));
    font.AddGlyphShape(glyph(2));
    EXPECT_EQ(font.GlyphCount(), 2u);
    FSWFStream out;
    font.WriteTo(out);
    const std::vector<uint8_t> bytes = StreamBytes(out);
    EXPECT_EQ(ToHex({bytes.begin() + 4, bytes.begin() + 8}), "04 00 0E 00");
    EXPECT_EQ(bytes.size(), 2u + 2 + 4 + 10 + 12);
    EXPECT_FALSE(font.ExceedsFormatLimits());
}

TEST_F(TextTest, FontWhoseGlyphsOutgrowTheOffsetTableIsReported) {
    // Three glyphs of about 43,500 bytes: the third would start beyond a 16-bit offset.
    auto* font = new FDTDefineFont;
    for (int g = 0; g < 3; ++g) {
        auto* shape = new FShape;
        for (int i = 0; i < 12000; ++i) {
            shape->AddRecord(new FShapeRecEdgeStraight(1000, 1000)); // 29 bits each
        }
        shape->AddRecord(new FShapeRecEnd);
        font->AddGlyphShape(shape);
        EXPECT_EQ(font->ExceedsFormatLimits(), g == 2);
    }
    FObjCollection movie;
    movie.Add(font);
    EXPECT_TRUE(movie.ExceedsFormatLimits());
    const std::string path = PathOf("font.swf");
    EXPECT_FALSE(movie.WriteMovie(path.c_str(), 20, 20, 5));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(TextTest, FontInfoWritesNameFlagsAndEightBitCodes) {
    FDTDefineFontInfo info("Arial", 1, 1, 0, 0);
    EXPECT_EQ(info.CharacterId(), 1);
    info.AddCharCode(65);
    info.AddCharCode(66);
    info.AddCharCode(0xFFE9);
    EXPECT_EQ(TagHex(info), "4C 03 01 00 05 41 72 69 61 6C 10 41 42 E9");
    EXPECT_EQ(TagHex(info), "4C 03 01 00 05 41 72 69 61 6C 10 41 42 E9") << "written twice alike";

    auto infoOf = [](int32_t encoding, int32_t italic, int32_t bold) {
        return [=] {
            FDTDefineFontInfo info("A", 2, encoding, italic, bold);
            return TagHex(info);
        };
    };
    ExpectGoldenBytes({
        {"italic and bold", infoOf(2, 1, 1), "45 03 02 00 01 41 26"},
        {"the third encoding, bold", infoOf(3, 0, 1), "45 03 02 00 01 41 0A"},
        {"an unknown encoding: no flag, layout kept", infoOf(7, 1, 0), "45 03 02 00 01 41 04"},
    });

    const std::string longName(300, 'x');
    FDTDefineFontInfo truncated(longName.c_str(), 1, 1, 0, 0);
    const std::string hex = TagHex(truncated);
    EXPECT_EQ(hex.substr(0, 26), "7F 03 03 01 00 00 01 00 FF") << "length 255, body 259 bytes";
}

TEST_F(TextTest, GlyphAndChangeRecordsEncode) {
    FTextGlyphRecord glyphs;
    glyphs.AddEntry(3, 200);
    glyphs.AddEntry(1, 2);
    EXPECT_EQ(glyphs.GlyphBitsNeeded(), 3u);
    EXPECT_EQ(glyphs.AdvanceBitsNeeded(), 9u);

    EXPECT_EQ(FTextChangeRecord(1, 1, 0, 0, 1, 240, new FColor(0, 0, 0), 0, 0).GlyphBitsNeeded(),
              0u);

    ExpectGoldenBytes({
        {"font, colour (always RGBA) and height",
         [] {
             return WrittenHex([](FSWFStream& s) {
                 FTextChangeRecord(1, 1, 0, 0, 1, 240, new FColor(0, 0, 0), 0, 0).WriteTo(s, 0, 0);
             });
         },
         "8C 01 00 00 00 00 FF F0 00"},
        {"offsets: flags Y then X, values X then Y",
         [] {
             return WrittenHex([](FSWFStream& s) {
                 FTextChangeRecord(0, 0, 1, 1, 0, 0, nullptr, -20, 40).WriteTo(s, 0, 0);
             });
         },
         "83 EC FF 28 00"},
        {"one glyph: 8 + 12 bits, then aligned",
         [] {
             return WrittenHex([](FSWFStream& s) {
                 FTextGlyphRecord one;
                 one.AddEntry(3, 200);
                 one.WriteTo(s, 3, 9);
             });
         },
         "01 6C 80"},
    });
}

TEST_F(TextTest, DefineText2IsTheKnownTag) {
    NextCharacterId();
    NextCharacterId();
    FDTDefineText2 text(new FRect(0, 0, 2000, 400), new FMatrix(0, 0, 0, 0, 0, 0, 0, 0), 2);
    text.AddRecord(new FTextChangeRecord(1, 1, 0, 0, 1, 240, new FColor(0, 0, 0, 255), 0, 0));
    auto* glyphs = new FTextGlyphRecord;
    glyphs->AddEntry(0, 100);
    glyphs->AddEntry(1, 120);
    text.AddRecord(glyphs);
    EXPECT_EQ(text.CharacterId(), 3);
    EXPECT_EQ(TagHex(text), "5B 08 03 00 60 00 3E 80 00 0C 80 02 00 02 08 8C 01 00 00 00 00 FF F0 "
                            "00 02 19 17 80 00");

    FDTDefineText2 onlyChange(new FRect(0, 0, 0, 0), new FMatrix(0, 0, 0, 0, 0, 0, 0, 0), 0);
    onlyChange.AddRecord(new FTextChangeRecord(0, 0, 0, 0, 0, 0, nullptr, 0, 0));
    EXPECT_EQ(TagHex(onlyChange), "4A 08 04 00 08 00 02 00 00 00 80 00");
}

TEST_F(TextTest, LongGlyphRecordsAreSplitIntoReadableRecords) {
    FTextGlyphRecord many;
    for (uint16_t i = 0; i < 130; ++i) {
        many.AddEntry(i, 100);
    }
    FSWFStream out;
    many.WriteTo(out, 8, 8);
    const std::vector<uint8_t> bytes = StreamBytes(out);
    // 127 entries of two bytes, then an empty style change and the remaining 3 entries.
    ASSERT_EQ(bytes.size(), 1u + 254 + 1 + 1 + 6);
    EXPECT_EQ(bytes[0], 127);
    EXPECT_EQ(bytes[255], 0x80);
    EXPECT_EQ(bytes[256], 3);
    EXPECT_EQ(bytes[257], 127);
}
