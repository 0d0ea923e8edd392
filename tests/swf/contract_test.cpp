// Calling-order violations of the shape definitions stop a checked build with a message that
// names the guarding source and the failed condition.
#include "swf/swf.h"

#include <gtest/gtest.h>

TEST(ShapeContractDeathTest, StylesCannotBeAddedAfterClosing) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    FDTDefineShape shape(new FRect(0, 0, 1, 1));
    shape.CloseStyleArrays();
    EXPECT_DEATH(shape.AddSolidFill(new FColor(0, 0, 0)), "!styleArraysFinished.*FDTShapes");
    EXPECT_DEATH(shape.AddLine(20, new FColor(0, 0, 0)), "!styleArraysFinished.*FDTShapes");
    EXPECT_DEATH(shape.AddFill(new FFillStyleSolid(new FColor(0, 0, 0))),
                 "!styleArraysFinished.*FDTShapes");
}

TEST(ShapeContractDeathTest, RecordsNeedClosedStyles) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    FDTDefineShape shape(new FRect(0, 0, 1, 1));
    EXPECT_DEATH(shape.AddRecord(new FShapeRecEnd), "failed: styleArraysFinished.*FDTShapes");
}

TEST(ShapeContractDeathTest, MorphShapesFollowTheSameOrder) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    FDTDefineMorphShape open(new FRect(0, 0, 1, 1), new FRect(0, 0, 1, 1));
    EXPECT_DEATH(open.AddStartRecord(new FShapeRecEnd), "failed: styleArraysFinished.*FDTShapes");
    EXPECT_DEATH(open.AddEndRecord(new FShapeRecEnd), "failed: styleArraysFinished.*FDTShapes");
    FDTDefineMorphShape closed(new FRect(0, 0, 1, 1), new FRect(0, 0, 1, 1));
    closed.CloseStyleArrays();
    EXPECT_DEATH(closed.AddFill(new FMorphFillStyleSolid(new FColor(0, 0, 0), new FColor(0, 0, 0))),
                 "!styleArraysFinished.*FDTShapes");
}

TEST(ShapeContractTest, CorrectOrderPassesTheChecks) {
    FDTDefineShape shape(new FRect(0, 0, 1, 1));
    EXPECT_EQ(shape.AddSolidFill(new FColor(0, 0, 0)), 1u);
    shape.CloseStyleArrays();
    shape.AddRecord(new FShapeRecEnd);
    FSWFStream out;
    shape.WriteTo(out);
    EXPECT_GT(out.TotalSize(), 0u);
}
