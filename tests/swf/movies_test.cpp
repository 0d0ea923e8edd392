// Whole movies with every kind of tag, read back by the independent parser.
#include "tests/support/swf_check.h"
#include "tests/swf/swf_test_util.h"
#include "tests/swf/tiny_jpeg.h"

namespace {

// Finds "key":value in the parser's summary, counting occurrences.
size_t CountOf(const std::string& json, const std::string& fragment) {
    size_t count = 0;
    for (size_t at = json.find(fragment); at != std::string::npos;
         at = json.find(fragment, at + 1)) {
        ++count;
    }
    return count;
}

FDTDefineShape* ArrowShape(int32_t width, int32_t height) {
    auto* shape = new FDTDefineShape(new FRect(0, 0, width, height));
    const uint32_t fill = shape->AddSolidFill(new FColor(255, 255, 255));
    const uint32_t line = shape->AddLine(20, new FColor(0, 0, 0));
    shape->CloseStyleArrays();
    shape->AddRecord(new FShapeRecChange(0, 1, 1, 0, 1, 0, 0, 0, fill, line, nullptr, nullptr));
    const int32_t deltas[][2] = {{200, 200},   {-70, 0},  {100, 200}, {-60, 0},
                                 {-100, -200}, {-70, 50}, {0, -250}};
    for (const auto& d : deltas) {
        shape->AddRecord(new FShapeRecEdgeStraight(d[0], d[1]));
    }
    shape->AddRecord(new FShapeRecEnd);
    return shape;
}

// An ellipse-like outline of eight curves around (cx, cy).
void AddCurvedOutline(FDTDefineMorphShape& morph, bool start, int32_t cx, int32_t cy, int32_t r,
                      uint32_t fill) {
    auto add = [&](FShapeRec* record) {
        start ? morph.AddStartRecord(record) : morph.AddEndRecord(record);
    };
    add(new FShapeRecChange(0, 0, 1, 1, 1, cx + r, cy, fill, fill, 0, nullptr, nullptr));
    const int32_t k = r * 41 / 100; // tan(22.5 degrees)
    const int32_t s = r * 29 / 100;
    const int32_t quarter[][4] = {{0, k, -s, s}, {-s, s, -k, 0}};
    for (int q = 0; q < 4; ++q) {
        for (const auto& c : quarter) {
            // Rotate the first quarter's deltas by q quarter turns.
            int32_t v[4] = {c[0], c[1], c[2], c[3]};
            for (int t = 0; t < q; ++t) {
                v[0] = std::exchange(v[1], v[0]) * -1;
                v[2] = std::exchange(v[3], v[2]) * -1;
            }
            add(new FShapeRecEdgeCurved(v[0], v[1], v[2], v[3]));
        }
    }
    add(new FShapeRecEnd);
}

FShape* SquareGlyph(int32_t size) {
    auto* glyph = new FShape;
    glyph->AddRecord(new FShapeRecChange(0, 0, 0, 1, 1, 0, -size, 1, 0, 0, nullptr, nullptr));
    glyph->AddRecord(new FShapeRecEdgeStraight(size, 0));
    glyph->AddRecord(new FShapeRecEdgeStraight(0, size));
    glyph->AddRecord(new FShapeRecEdgeStraight(-size, 0));
    glyph->AddRecord(new FShapeRecEdgeStraight(0, -size));
    glyph->AddRecord(new FShapeRecEnd);
    return glyph;
}

FShape* TriangleGlyph(int32_t size) {
    auto* glyph = new FShape;
    glyph->AddRecord(new FShapeRecChange(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, nullptr, nullptr));
    glyph->AddRecord(new FShapeRecEdgeCurved(size / 4, -size, size / 4, 0));
    glyph->AddRecord(new FShapeRecEdgeStraight(size / 2, size));
    glyph->AddRecord(new FShapeRecEdgeStraight(-size, 0));
    glyph->AddRecord(new FShapeRecEnd);
    return glyph;
}

// A bitmap-filled rectangle of pw x ph pixels centred on the origin, as pictures are drawn.
FDTDefineShape* PictureShape(uint16_t jpegId, int32_t pw, int32_t ph) {
    auto* shape = new FDTDefineShape(new FRect(-pw * 20, -ph * 20, pw * 20, ph * 20));
    shape->AddFill(
        new FFillStyleBitmap(0, 0xFFFF, new FMatrix(1, 0xA0000, 0xA0000, 0, 0, 0, 0, 0)));
    shape->AddFill(new FFillStyleBitmap(
        0, jpegId, new FMatrix(1, 0x140000, 0x140000, 0, 0, 0, -pw * 10, -ph * 10)));
    shape->CloseStyleArrays();
    shape->AddRecord(
        new FShapeRecChange(0, 1, 1, 0, 1, pw / 2 * 20, ph / 2 * 20, 0, 2, 0, nullptr, nullptr));
    shape->AddRecord(new FShapeRecEdgeStraight(-pw * 20, 0));
    shape->AddRecord(new FShapeRecEdgeStraight(0, -ph * 20));
    shape->AddRecord(new FShapeRecEdgeStraight(pw * 20, 0));
    shape->AddRecord(new FShapeRecEdgeStraight(0, ph * 20));
    shape->AddRecord(new FShapeRecEnd);
    return shape;
}

} // namespace

using MovieTest = SwfTest;

TEST_F(MovieTest, EveryKindOfTagTogetherIsAValidMovie) {
    FObjCollection movie;
    movie.Add(new FCTSetBackgroundColor(new FColor(255, 255, 255)));
    FDTDefineShape* arrow = ArrowShape(6400, 4800);
    movie.Add(arrow);

    // Frame 0: a picture, a vector object, a text and the pointer.
    auto* jpeg = new FDTDefineBitsJPEG2(kTinyJpeg, sizeof kTinyJpeg);
    movie.Add(jpeg);
    FDTDefineShape* picture = PictureShape(jpeg->CharacterId(), 16, 8);
    movie.Add(picture);
    movie.Add(new FCTPlaceObject2(0, 0, 1, 0, 2, picture->CharacterId(),
                                  new FMatrix(1, 0xE000, 0xE000, 1, 0x8000, -0x8000, 1600, 800),
                                  nullptr, 0, nullptr, 0));

    auto* morph = new FDTDefineMorphShape(new FRect(0, 0, 6400, 4800), new FRect(0, 0, 6400, 4800));
    const uint32_t fill = morph->AddFill(
        new FMorphFillStyleSolid(new FColor(255, 0, 0, 255), new FColor(0, 0, 255, 64)));
    morph->CloseStyleArrays();
    AddCurvedOutline(*morph, true, 1000, 1000, 400, fill);
    AddCurvedOutline(*morph, false, 4000, 3000, 1200, fill);
    movie.Add(morph);
    movie.Add(
        new FCTPlaceObject2(0, 0, 1, 0, 3, morph->CharacterId(), nullptr, nullptr, 0, nullptr, 0));

    auto* font = new FDTDefineFont;
    font->AddGlyphShape(SquareGlyph(1000));
    font->AddGlyphShape(TriangleGlyph(1000));
    movie.Add(font);
    auto* info = new FDTDefineFontInfo("Arial", font->CharacterId(), 1, 0, 0);
    info->AddCharCode('H');
    info->AddCharCode(static_cast<uint16_t>(static_cast<int8_t>('\xE9')));
    movie.Add(info);
    auto* text = new FDTDefineText2(new FRect(-6400, -4800, 6400, 4800),
                                    new FMatrix(0, 0, 0, 0, 0, 0, -240, -120), font->GlyphCount());
    text->AddRecord(new FTextChangeRecord(1, 1, 0, 0, font->CharacterId(), 240,
                                          new FColor(0, 128, 0, 200), 0, 0));
    auto* glyphs = new FTextGlyphRecord;
    glyphs->AddEntry(0, 240);
    glyphs->AddEntry(1, 250);
    text->AddRecord(glyphs);
    movie.Add(text);
    movie.Add(new FCTPlaceObject2(0, 0, 1, 0, 4, text->CharacterId(),
                                  new FMatrix(1, 0x10000, 0x10000, 1, 0, 0, 3000, 2000),
                                  new FCXForm(1, 1, 256, 200, 128, 10, -10, 0), 0, nullptr, 0));
    movie.Add(new FCTPlaceObject2(0, 0, 1, 0, 5, arrow->CharacterId(),
                                  new FMatrix(0, 0, 0, 0, 0, 0, 200, 300), nullptr, 0, nullptr, 0));
    movie.Add(new FCTShowFrame);

    // Frame 1: the morph moves on, the pointer is re-placed, a re-made text replaces the old.
    movie.Add(new FCTPlaceObject2(0, 1, 0, 1, 3, 0, nullptr, nullptr, 32768, nullptr, 0));
    movie.Add(new FCTRemoveObject2(4));
    auto* text2 = new FDTDefineText2(new FRect(-6400, -4800, 6400, 4800),
                                     new FMatrix(0, 0, 0, 0, 0, 0, -300, -150), 2);
    text2->AddRecord(new FTextChangeRecord(1, 1, 1, 1, font->CharacterId(), 300,
                                           new FColor(0, 0, 0, 255), 15, -15));
    auto* glyphs2 = new FTextGlyphRecord;
    glyphs2->AddEntry(1, 300);
    text2->AddRecord(glyphs2);
    movie.Add(text2);
    movie.Add(
        new FCTPlaceObject2(0, 0, 1, 0, 4, text2->CharacterId(), nullptr, nullptr, 0, nullptr, 0));
    movie.Add(new FCTRemoveObject2(5));
    movie.Add(new FCTPlaceObject2(0, 0, 1, 0, 6, arrow->CharacterId(),
                                  new FMatrix(0, 0, 0, 0, 0, 0, -400, 900), nullptr, 0,
                                  new FString("pointer"), 0));
    movie.Add(new FCTShowFrame);

    EXPECT_FALSE(movie.ExceedsFormatLimits());
    const std::string path = PathOf("all.swf");
    ASSERT_TRUE(movie.WriteMovie(path.c_str(), 6400, 4800, 5));
    std::string json;
    ASSERT_TRUE(IndependentParserSummary(path, json));
    EXPECT_EQ(CountOf(json, "\"name\":\"ShowFrame\""), 2u);
    EXPECT_EQ(CountOf(json, "\"name\":\"PlaceObject2\""), 7u);
    EXPECT_NE(json.find("\"name\":\"DefineBitsJPEG2\",\"length\":" +
                        std::to_string(sizeof kTinyJpeg + 8) + ",\"id\":2"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"glyphCount\":2"), std::string::npos) << json;
    EXPECT_NE(json.find("\"codeUnits\":[72,233]"), std::string::npos) << json;
    EXPECT_EQ(CountOf(json, "\"colorTransform\""), 1u) << json;
    EXPECT_NE(json.find("\"fontName\":\"Arial\""), std::string::npos) << json;
}

TEST_F(MovieTest, WholeScreenRecordingOn4KIsNotTruncated) {
    FObjCollection movie;
    movie.Add(new FCTSetBackgroundColor(new FColor(255, 255, 255)));
    auto* jpeg = new FDTDefineBitsJPEG2(kTinyJpeg, sizeof kTinyJpeg);
    movie.Add(jpeg);
    // The picture shape of a full 3840 x 2160 frame has 76,800-twip edges.
    FDTDefineShape* frame = PictureShape(jpeg->CharacterId(), 3840, 2160);
    movie.Add(frame);
    movie.Add(new FCTPlaceObject2(0, 0, 1, 0, 2, frame->CharacterId(),
                                  new FMatrix(1, 0x10000, 0x10000, 1, 0, 0, 38400, 21600), nullptr,
                                  0, nullptr, 0));
    auto* morph =
        new FDTDefineMorphShape(new FRect(0, 0, 76800, 43200), new FRect(0, 0, 76800, 43200));
    const uint32_t fill =
        morph->AddFill(new FMorphFillStyleSolid(new FColor(0, 0, 0, 255), new FColor(0, 0, 0, 0)));
    morph->CloseStyleArrays();
    AddCurvedOutline(*morph, true, 2000, 2000, 1000, fill);
    AddCurvedOutline(*morph, false, 38400, 21600, 38000, fill); // curves too long for one record
    movie.Add(morph);
    movie.Add(
        new FCTPlaceObject2(0, 0, 1, 0, 3, morph->CharacterId(), nullptr, nullptr, 0, nullptr, 0));
    movie.Add(new FCTShowFrame);
    movie.Add(new FCTPlaceObject2(0, 1, 0, 1, 3, 0, nullptr, nullptr, 65535, nullptr, 0));
    movie.Add(new FCTShowFrame);

    const std::string path = PathOf("4k.swf");
    ASSERT_TRUE(movie.WriteMovie(path.c_str(), 76800, 43200, 10));
    std::string json;
    ASSERT_TRUE(IndependentParserSummary(path, json));
    EXPECT_NE(json.find("\"xMax\":76800,\"yMin\":0,\"yMax\":43200"), std::string::npos) << json;
}

TEST_F(MovieTest, TextLongerThanOneGlyphRecordIsReadInFull) {
    FObjCollection movie;
    auto* font = new FDTDefineFont;
    font->AddGlyphShape(SquareGlyph(800));
    movie.Add(font);
    auto* text =
        new FDTDefineText2(new FRect(0, 0, 40000, 400), new FMatrix(0, 0, 0, 0, 0, 0, 0, 0), 1);
    text->AddRecord(new FTextChangeRecord(1, 1, 0, 0, font->CharacterId(), 200,
                                          new FColor(0, 0, 0, 255), 0, 0));
    auto* glyphs = new FTextGlyphRecord;
    for (int i = 0; i < 300; ++i) {
        glyphs->AddEntry(0, 130);
    }
    text->AddRecord(glyphs);
    movie.Add(text);
    movie.Add(
        new FCTPlaceObject2(0, 0, 1, 0, 1, text->CharacterId(), nullptr, nullptr, 0, nullptr, 0));
    movie.Add(new FCTShowFrame);
    const std::string path = PathOf("long-text.swf");
    ASSERT_TRUE(movie.WriteMovie(path.c_str(), 40000, 400, 5));
    std::string json;
    ASSERT_TRUE(IndependentParserSummary(path, json));
    EXPECT_NE(json.find("\"glyphEntries\":300"), std::string::npos) << json;
}

TEST_F(MovieTest, CheckerRejectsDamagedFiles) {
    FObjCollection movie;
    movie.Add(ArrowShape(2000, 2000));
    movie.Add(new FCTShowFrame);
    const std::string path = PathOf("good.swf");
    ASSERT_TRUE(movie.WriteMovie(path.c_str(), 2000, 2000, 5));
    ASSERT_TRUE(IndependentParserAccepts(path));
    const std::vector<uint8_t> good = ReadFileBytes(path);

    auto writeVariant = [&](const std::string& name, std::vector<uint8_t> bytes) {
        const std::string variant = PathOf(name);
        std::ofstream(variant, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return variant;
    };
    std::vector<uint8_t> wrongLength = good;
    wrongLength[4] += 1;
    EXPECT_FALSE(IndependentParserAccepts(writeVariant("length.swf", wrongLength)));
    std::vector<uint8_t> wrongFrames = good;
    wrongFrames[20] = 2;
    EXPECT_FALSE(IndependentParserAccepts(writeVariant("frames.swf", wrongFrames)));
    std::vector<uint8_t> brokenShape = good;
    brokenShape[22] += 1; // the shape's tag length no longer matches its records
    EXPECT_FALSE(IndependentParserAccepts(writeVariant("shape.swf", brokenShape)));
}
