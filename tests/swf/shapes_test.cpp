#include "tests/swf/swf_test_util.h"

namespace {

std::string RecordHex(const FShapeRec& record) {
    FSWFStream out;
    record.WriteTo(out);
    out.Align();
    return StreamHex(out);
}

std::string RecordsHex(std::initializer_list<const FShapeRec*> records) {
    FSWFStream out;
    for (const FShapeRec* record : records) {
        record->WriteTo(out);
    }
    out.Align();
    return StreamHex(out);
}

} // namespace

using ShapeTest = SwfTest;

TEST_F(ShapeTest, RedSquareIsTheKnown29Bytes) {
    FDTDefineShape shape(new FRect(0, 0, 400, 400));
    EXPECT_EQ(shape.AddSolidFill(new FColor(255, 0, 0, 128)), 1u) << "alpha is dropped";
    shape.CloseStyleArrays();
    shape.AddRecord(new FShapeRecChange(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, nullptr, nullptr));
    shape.AddRecord(new FShapeRecEdgeStraight(400, 0));
    shape.AddRecord(new FShapeRecEdgeStraight(0, 400));
    shape.AddRecord(new FShapeRecEdgeStraight(-400, 0));
    shape.AddRecord(new FShapeRecEdgeStraight(0, -400));
    shape.AddRecord(new FShapeRecEnd);
    EXPECT_EQ(shape.CharacterId(), 1);
    EXPECT_EQ(TagHex(shape), "9B 00 01 00 50 00 C8 00 0C 80 01 00 FF 00 00 00 10 0C 27 81 90 E1 64 "
                             "38 27 0E 19 C0 00");
}

TEST_F(ShapeTest, IndexWidthsFollowTheStyleCounts) {
    // One fill and one line: both widths 1, so fill 1 and line 1 are single bits.
    FDTDefineShape both(new FRect(0, 0, 0, 0));
    both.AddSolidFill(new FColor(1, 2, 3));
    EXPECT_EQ(both.AddLine(20, new FColor(4, 5, 6)), 1u);
    both.CloseStyleArrays();
    both.AddRecord(new FShapeRecChange(0, 1, 1, 0, 0, 0, 0, 0, 1, 1, nullptr, nullptr));
    both.AddRecord(new FShapeRecEnd);
    // id, rect, fills 01 00 010203, lines 01 1400 040506, widths 11, change 0 0 1 1 0 0 + 1 + 1
    EXPECT_EQ(TagHex(both), "92 00 01 00 08 00 01 00 01 02 03 01 14 00 04 05 06 11 33 00");

    // Three fills: width 2; no lines: width 0 and the line index takes no bits.
    FDTDefineShape three(new FRect(0, 0, 0, 0));
    for (int i = 0; i < 3; ++i) {
        three.AddSolidFill(new FColor(i, i, i));
    }
    three.CloseStyleArrays();
    three.AddRecord(new FShapeRecChange(0, 1, 0, 1, 0, 0, 0, 3, 0, 1, nullptr, nullptr));
    three.AddRecord(new FShapeRecEnd);
    const std::string hex = TagHex(three);
    EXPECT_EQ(hex.substr(hex.size() - 8), "20 2B 00") << hex;
}

TEST_F(ShapeTest, EdgeAndChangeRecordsEncode) {
    auto record = [](auto make) { return [make] { return RecordHex(make()); }; };
    ExpectGoldenBytes({
        {"horizontal edge, 9 bits", record([] { return FShapeRecEdgeStraight(200, 0); }),
         "DC 64 00"},
        {"vertical edge", record([] { return FShapeRecEdgeStraight(0, -250); }), "DD 83 00"},
        {"zero edge: vertical, 2 bits", record([] { return FShapeRecEdgeStraight(0, 0); }),
         "C1 00"},
        {"general edge, 3 bits", record([] { return FShapeRecEdgeStraight(3, -1); }), "C6 F8"},
        {"curved edge", record([] { return FShapeRecEdgeCurved(1, 1, 1, 1); }), "81 54"},
        {"change with a move to the origin",
         record([] { return FShapeRecChange(0, 0, 0, 0, 1, 0, 0, 0, 0, 0, nullptr, nullptr); }),
         "04 20"},
        // An end record whose six zero bits complete a byte adds no alignment byte.
        {"end record completing a byte",
         [] {
             return WrittenHex([](FSWFStream& s) { s.PutBits(3, 2), FShapeRecEnd().WriteTo(s); });
         },
         "C0"},
    });
    EXPECT_EQ(FShapeRecEdgeStraight(1, 0).ValueBits(), 2u) << "never fewer than 2 bits";
    EXPECT_EQ(FShapeRecEdgeCurved(1, 1, 1, 1).ValueBits(), 2u);
    EXPECT_EQ(FShapeRecChange(0, 0, 0, 0, 1, -300, 7, 0, 0, 0, nullptr, nullptr).MoveBits(), 10u);
}

TEST_F(ShapeTest, StyleArraysEscapeLargeCounts) {
    FFillStyleArray many;
    for (int i = 0; i < 255; ++i) {
        many.Add(new FFillStyleSolid(new FColor(0, 0, 0)));
    }
    FSWFStream out;
    many.WriteTo(out);
    const std::vector<uint8_t> bytes = StreamBytes(out);
    ASSERT_EQ(bytes.size(), 3u + 255 * 4);
    EXPECT_EQ(ToHex({bytes[0], bytes[1], bytes[2]}), "FF FF 00");

    FLineStyleArray lines;
    EXPECT_EQ(lines.Add(new FLineStyle(40, new FColor(9, 8, 7, 6))), 1u);
    FSWFStream lineOut;
    lines.WriteTo(lineOut);
    EXPECT_EQ(StreamHex(lineOut), "01 28 00 09 08 07");
}

TEST_F(ShapeTest, NewStylesCarryTheirIndexWidthsToTheFollowingRecords) {
    auto* fills = new FFillStyleArray;
    fills->Add(new FFillStyleSolid(new FColor(1, 1, 1)));
    fills->Add(new FFillStyleSolid(new FColor(2, 2, 2)));
    fills->Add(new FFillStyleSolid(new FColor(3, 3, 3)));
    FShape shape;
    shape.SetFillBitWidth(1);
    shape.AddRecord(new FShapeRecChange(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, fills, nullptr));
    shape.AddRecord(new FShapeRecChange(0, 0, 0, 1, 0, 0, 0, 3, 0, 0, nullptr, nullptr));
    shape.AddRecord(new FShapeRecEnd);
    FSWFStream out;
    shape.WriteTo(out);
    // widths 1/0; change with new styles, aligned; 3 fills; 0 lines; widths 2/0; fill 3 in 2 bits.
    EXPECT_EQ(StreamHex(out), "10 40 03 00 01 01 01 00 02 02 02 00 03 03 03 00 20 0B 00");
}

TEST_F(ShapeTest, TooLongEdgesAreWrittenAsSeveralPiecesOfTheSamePath) {
    // A 4K-wide picture edge (76,800 twips) does not fit the 17-bit edge fields.
    EXPECT_EQ(FShapeRecEdgeStraight(76800, 0).EdgePieces(), 2u);
    EXPECT_EQ(FShapeRecEdgeStraight(65535, 0).EdgePieces(), 1u);
    EXPECT_EQ(FShapeRecEdgeStraight(-300000, 5).EdgePieces(), 8u);
    FShapeRecEdgeStraight half(38400, 0);
    EXPECT_EQ(RecordHex(FShapeRecEdgeStraight(76800, 0)), RecordsHex({&half, &half}));

    FShapeRecEdgeStraight first(50000, -1);
    FShapeRecEdgeStraight second(50001, -2);
    EXPECT_EQ(RecordHex(FShapeRecEdgeStraight(100001, -3)), RecordsHex({&first, &second}));

    FShapeRecEdgeCurved curveA(35000, 0, 17500, 17500);
    FShapeRecEdgeCurved curveB(17500, 17500, 0, 35000);
    EXPECT_EQ(RecordHex(FShapeRecEdgeCurved(70000, 0, 0, 70000)), RecordsHex({&curveA, &curveB}));
}

#ifdef NDEBUG
// Without the contract checks a misuse still yields a well-formed shape instead of a crash.
TEST_F(ShapeTest, OrderViolationsStayWellFormedWithoutChecks) {
    FDTDefineShape shape(new FRect(0, 0, 400, 400));
    shape.AddRecord(new FShapeRecChange(0, 0, 0, 0, 1, 0, 0, 0, 0, 0, nullptr, nullptr));
    EXPECT_EQ(shape.AddSolidFill(new FColor(1, 2, 3)), 0u) << "too late to be referenced";
    EXPECT_EQ(shape.AddLine(20, new FColor(1, 2, 3)), 0u);
    shape.AddRecord(new FShapeRecEnd);
    EXPECT_EQ(TagHex(shape), "8E 00 01 00 50 00 C8 00 0C 80 00 00 00 04 20 00");
}
#endif
