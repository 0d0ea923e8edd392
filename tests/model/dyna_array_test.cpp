#include "model/dyna_array.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Pair {
    int32_t a;
    int32_t b;
};

constexpr int64_t kStepBytes = 100 * static_cast<int64_t>(sizeof(Pair));

class DynaArrayTest : public ::testing::Test {
protected:
    Pair* cursor = nullptr;
    TDynaArray<Pair> array{&cursor};

    void AddNumbered(int count) {
        for (int i = 0; i < count; ++i) {
            Pair* record = array.Add();
            record->a = array.Count() - 1;
            record->b = -record->a;
        }
    }
};

TEST_F(DynaArrayTest, AddOnEmptyArrayGivesZeroFilledCurrentRecord) {
    EXPECT_EQ(array.Capacity(), 0);
    EXPECT_EQ(array.CurrentIndex(), -1);
    Pair* record = array.Add();
    EXPECT_EQ(array.Count(), 1);
    EXPECT_EQ(record, cursor);
    EXPECT_EQ(record, array.Current());
    EXPECT_EQ(array.CurrentIndex(), 0);
    EXPECT_EQ(record->a, 0);
    EXPECT_EQ(record->b, 0);
    EXPECT_EQ(array.Capacity(), kStepBytes);
}

TEST_F(DynaArrayTest, GrowsAndShrinksInStepsOfHundredKeepingContents) {
    AddNumbered(100);
    EXPECT_EQ(array.Capacity(), kStepBytes);
    AddNumbered(1);
    EXPECT_EQ(array.Capacity(), 2 * kStepBytes);
    ASSERT_EQ(array.Count(), 101);
    for (int i = 0; i < 101; ++i) {
        ASSERT_EQ(array[i].a, i);
        ASSERT_EQ(array[i].b, -i);
    }
    EXPECT_EQ(cursor, &array[100]);

    array.Delete(0);
    EXPECT_EQ(array.Count(), 100);
    EXPECT_EQ(array.Capacity(), kStepBytes);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(array[i].a, i + 1);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(array.CurrentIndex(), -1);
}

TEST_F(DynaArrayTest, DeletingTheOnlyRecordKeepsOneStepForTheNextAdd) {
    AddNumbered(1);
    array.Delete(0);
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(array.Capacity(), kStepBytes);
    Pair* record = array.Add();
    EXPECT_EQ(array.Capacity(), kStepBytes);
    EXPECT_EQ(record->a, 0);
    EXPECT_EQ(array.Count(), 1);
}

TEST_F(DynaArrayTest, OutOfRangeDeleteAndSwapChangeNothing) {
    AddNumbered(3);
    array.Select(1);
    array.Delete(-1);
    array.Delete(3);
    array.Swap(0, 3);
    array.Swap(-1, 2);
    EXPECT_EQ(array.Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(array[i].a, i);
    EXPECT_EQ(cursor, &array[1]);
    EXPECT_EQ(array.CurrentIndex(), 1);
}

TEST_F(DynaArrayTest, DeleteMovesLaterRecordsDown) {
    AddNumbered(5);
    array.Delete(2);
    std::vector<int32_t> left;
    for (const Pair& record : array)
        left.push_back(record.a);
    EXPECT_EQ(left, (std::vector<int32_t>{0, 1, 3, 4}));
}

TEST_F(DynaArrayTest, SwapExchangesRecordsAndMakesTheSecondCurrent) {
    AddNumbered(5);
    array.Swap(2, 3);
    EXPECT_EQ(array[2].a, 3);
    EXPECT_EQ(array[3].a, 2);
    EXPECT_EQ(array[3].b, -2);
    EXPECT_EQ(array.CurrentIndex(), 3);
    EXPECT_EQ(cursor, &array[3]);
}

TEST_F(DynaArrayTest, FirstAndNextVisitEveryRecordOnce) {
    array.First();
    EXPECT_EQ(cursor, nullptr);
    EXPECT_FALSE(array.Next());

    AddNumbered(3);
    std::vector<int32_t> visited;
    array.First();
    EXPECT_EQ(cursor, &array[0]);
    while (array.Next())
        visited.push_back(cursor->a);
    EXPECT_EQ(visited, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_FALSE(array.Next());
    EXPECT_EQ(cursor, &array[2]);
}

TEST_F(DynaArrayTest, NextAfterDeleteOrClearStopsUntilFirst) {
    AddNumbered(3);
    array.First();
    array.Delete(1);
    EXPECT_FALSE(array.Next());
    array.First();
    EXPECT_TRUE(array.Next());

    array.Clear();
    EXPECT_FALSE(array.Next());
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.Capacity(), 0);
    EXPECT_EQ(cursor, nullptr);
}

TEST_F(DynaArrayTest, SelectMovesTheCursorWithoutChangingRecords) {
    AddNumbered(4);
    Pair* record = array.Select(2);
    EXPECT_EQ(record, &array[2]);
    EXPECT_EQ(cursor, record);
    cursor->b = 77;
    EXPECT_EQ(array[2].b, 77);
    EXPECT_TRUE(array.Next());
    EXPECT_EQ(cursor, &array[2]);
}

TEST_F(DynaArrayTest, ExchangeContentsSwapsRecordsAndKeepsEachCursorVariable) {
    AddNumbered(150);
    Pair* otherCursor = nullptr;
    TDynaArray<Pair> other(&otherCursor);
    other.Add()->a = 42;
    array.ExchangeContents(other);
    EXPECT_EQ(array.Count(), 1);
    EXPECT_EQ(array[0].a, 42);
    EXPECT_EQ(other.Count(), 150);
    EXPECT_EQ(other.Capacity(), 2 * kStepBytes);
    EXPECT_EQ(other[149].a, 149);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(otherCursor, nullptr);
    array.First();
    EXPECT_EQ(cursor, &array[0]);
    EXPECT_EQ(otherCursor, nullptr);
}

// Loading or recording tens of thousands of objects appends one record at a time; copying the
// whole storage every hundred records made that quadratic.
TEST_F(DynaArrayTest, LongListsMoveTheirStorageRarelyAndReportStepsOfHundred) {
    int moves = 0;
    const Pair* storage = nullptr;
    for (int i = 0; i < 65535; ++i) {
        array.Add()->a = i;
        moves += array.begin() != storage;
        storage = array.begin();
    }
    EXPECT_LT(moves, 40);
    EXPECT_EQ(array.Capacity(), 656 * kStepBytes);
    while (array.Count() > 150)
        array.Delete(array.Count() - 1);
    EXPECT_EQ(array.Capacity(), 2 * kStepBytes);
    for (int i = 0; i < 150; ++i)
        ASSERT_EQ(array[i].a, i);
    AddNumbered(1);
    EXPECT_EQ(array[150].a, 150);
}

} // namespace
