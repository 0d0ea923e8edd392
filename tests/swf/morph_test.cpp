#include "tests/swf/swf_test_util.h"

namespace {

FShapeRecChange* MoveWithFill(int32_t x, int32_t y) {
    return new FShapeRecChange(0, 0, 0, 1, 1, x, y, 1, 0, 0, nullptr, nullptr);
}

} // namespace

using MorphTest = SwfTest;

TEST_F(MorphTest, GrowingRedToBlueEdgeIsTheKnownTag) {
    NextCharacterId(); // the pointer shape of a movie takes id 1
    FDTDefineMorphShape morph(new FRect(0, 0, 100, 100), new FRect(0, 0, 200, 200));
    EXPECT_EQ(morph.AddFill(
                  new FMorphFillStyleSolid(new FColor(255, 0, 0, 255), new FColor(0, 0, 255, 255))),
              1u);
    morph.CloseStyleArrays();
    morph.AddStartRecord(MoveWithFill(0, 0));
    morph.AddStartRecord(new FShapeRecEdgeStraight(100, 0));
    morph.AddStartRecord(new FShapeRecEnd);
    morph.AddEndRecord(MoveWithFill(0, 0));
    morph.AddEndRecord(new FShapeRecEdgeStraight(200, 0));
    morph.AddEndRecord(new FShapeRecEnd);
    EXPECT_EQ(morph.CharacterId(), 2);
    // Offset 17 = fill count 1 + solid morph fill 9 + line count 1 + start shape 6.
    EXPECT_EQ(TagHex(morph), "A8 0B 02 00 40 03 20 03 20 48 01 90 00 64 00 11 00 00 00 01 00 FF 00 "
                             "00 FF 00 00 FF FF 00 10 0C 27 61 90 00 00 0C 26 E3 20 00");
}

TEST_F(MorphTest, OpaqueColoursBuiltWithoutAlphaAreWrittenAsRgba) {
    FMorphFillStyleSolid fill(new FColor(1, 2, 3), new FColor(4, 5, 6));
    FSWFStream out;
    fill.WriteTo(out);
    EXPECT_EQ(StreamHex(out), "00 01 02 03 FF 04 05 06 FF");
}

TEST_F(MorphTest, WithoutFillsBothShapesHaveZeroWidths) {
    FDTDefineMorphShape morph(new FRect(0, 0, 0, 0), new FRect(0, 0, 0, 0));
    morph.CloseStyleArrays();
    morph.AddStartRecord(new FShapeRecEnd);
    morph.AddEndRecord(new FShapeRecEnd);
    // id, two empty rects, offset 4 (two empty style arrays, the start shape's widths and end).
    EXPECT_EQ(TagHex(morph), "90 0B 01 00 08 00 08 00 04 00 00 00 00 00 00 00 00 00");
}

TEST_F(MorphTest, LongEdgesAreSplitAlikeInBothShapes) {
    // The start edge fits one record, the end edge (a 4K-wide rectangle side) needs two: the
    // start edge is split as well so that the shapes still match edge for edge.
    FDTDefineMorphShape morph(new FRect(0, 0, 76800, 100), new FRect(0, 0, 76800, 100));
    morph.AddFill(new FMorphFillStyleSolid(new FColor(0, 0, 0, 255), new FColor(0, 0, 0, 255)));
    morph.CloseStyleArrays();
    morph.AddStartRecord(MoveWithFill(0, 0));
    morph.AddStartRecord(new FShapeRecEdgeStraight(1000, 0));
    morph.AddStartRecord(new FShapeRecEnd);
    morph.AddEndRecord(MoveWithFill(0, 0));
    morph.AddEndRecord(new FShapeRecEdgeStraight(76800, 0));
    morph.AddEndRecord(new FShapeRecEnd);

    FShape expectedStart;
    expectedStart.SetFillBitWidth(1);
    expectedStart.AddRecord(MoveWithFill(0, 0));
    expectedStart.AddRecord(new FShapeRecEdgeStraight(500, 0));
    expectedStart.AddRecord(new FShapeRecEdgeStraight(500, 0));
    expectedStart.AddRecord(new FShapeRecEnd);
    FSWFStream startOut;
    expectedStart.WriteTo(startOut);
    const std::string start = StreamHex(startOut);

    const std::string tag = TagHex(morph);
    EXPECT_NE(tag.find(start), std::string::npos) << tag << "\nshould contain\n" << start;
}
