#include "editor/selection_drag.h"

#include "model/project_objects.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// A project whose object 0 has the Start box (10, 10, 50, 30) and the End box
// (110, 110, 150, 130).
struct BoxProject {
    Project project;
    DragState drag;
    BoxProject() {
        AnimObject* object = AddVectorObject(project);
        object->Start.Left = 10;
        object->Start.Top = 10;
        object->Start.Right = 50;
        object->Start.Bottom = 30;
        object->End = object->Start;
        object->End.Left += 100;
        object->End.Top += 100;
        object->End.Right += 100;
        object->End.Bottom += 100;
    }
    ObjectState& Start() { return project.Objects[0].Start; }
    ObjectState& End() { return project.Objects[0].End; }
    // A press, the moves and a release as the preview's mouse handlers run them.
    void Drag(int32_t row, std::initializer_list<std::pair<int32_t, int32_t>> points) {
        auto first = *points.begin();
        HitTestSelection(drag, project, row, first.first, first.second);
        ASSERT_NE(drag.DragMode, DragNone) << "the press grabbed nothing";
        for (auto [x, y] : points)
            ApplyDrag(drag, project, x, y, 500, 300);
    }
};

TEST(HitTestSelection, FindsHandlesInsideAndNothing) {
    BoxProject p;
    // Right and Bottom count as the last pixel inside: the frame spans 10..51 and 10..31.
    struct Case {
        int32_t x, y;
        int32_t mode;
        PointerShape shape;
        int32_t grabX, grabY;
    } cases[] = {
        {7, 10, DragTopLeft, PointerShape::ResizeNorthWestSouthEast, -3, 0},
        {6, 10, DragNone, PointerShape::Arrow, 0, 0},
        {51, 8, DragTopRight, PointerShape::ResizeNorthEastSouthWest, 0, -2},
        {10, 31, DragBottomLeft, PointerShape::ResizeNorthEastSouthWest, 0, 0},
        {53, 33, DragBottomRight, PointerShape::ResizeNorthWestSouthEast, 2, 2},
        {30, 11, DragTop, PointerShape::ResizeVertical, 0, 1},
        {30, 31, DragBottom, PointerShape::ResizeVertical, 0, 0},
        {9, 20, DragLeft, PointerShape::ResizeHorizontal, -1, 0},
        {51, 20, DragRight, PointerShape::ResizeHorizontal, 0, 0},
        {20, 20, DragMove, PointerShape::PointingHand, 10, 10},
        {60, 20, DragNone, PointerShape::Arrow, 0, 0},
    };
    for (const Case& c : cases) {
        PointerShape shape = HitTestSelection(p.drag, p.project, 0, c.x, c.y);
        EXPECT_EQ(p.drag.DragMode, c.mode) << c.x << "," << c.y;
        EXPECT_EQ(shape, c.shape) << c.x << "," << c.y;
        EXPECT_EQ(p.drag.GrabDX, c.grabX) << c.x << "," << c.y;
        EXPECT_EQ(p.drag.GrabDY, c.grabY) << c.x << "," << c.y;
    }
}

TEST(HitTestSelection, UsesTheSelectedStateAndNeedsASelection) {
    BoxProject p;
    HitTestSelection(p.drag, p.project, 1, 120, 120);
    EXPECT_EQ(p.drag.DragMode, DragMove);
    EXPECT_EQ(p.drag.DragObject, 0);
    EXPECT_EQ(p.drag.DragIsEnd, 1);
    HitTestSelection(p.drag, p.project, 1, 20, 20); // the Start box is not selected
    EXPECT_EQ(p.drag.DragMode, DragNone);
    EXPECT_EQ(HitTestSelection(p.drag, p.project, -1, 20, 20), PointerShape::Arrow);
    EXPECT_EQ(p.drag.DragMode, DragNone);
}

TEST(ApplyDrag, ResizesAndMovesTheGrabbedBox) {
    {
        BoxProject p; // the right edge handle, pressed on its centre, dragged to x = 80
        p.Drag(0, {{51, 20}, {80, 20}});
        EXPECT_EQ(p.Start().Left, 10);
        EXPECT_EQ(p.Start().Right, 80);
        EXPECT_EQ(p.Start().Bottom, 30);
    }
    {
        BoxProject p; // released where it was pressed: the drag counts Right as outside
        p.Drag(0, {{51, 20}, {51, 20}});
        EXPECT_EQ(p.Start().Right, 51);
    }
    {
        BoxProject p; // moved by the inside from (20, 20) to (120, 70)
        p.Drag(0, {{20, 20}, {60, 40}, {120, 70}});
        EXPECT_EQ(p.Start().Left, 110);
        EXPECT_EQ(p.Start().Top, 60);
        EXPECT_EQ(p.Start().Right, 150);
        EXPECT_EQ(p.Start().Bottom, 80);
        EXPECT_EQ(p.End().Left, 110) << "only the selected state changes";
    }
    {
        BoxProject p; // the top left corner of the End box
        p.Drag(1, {{110, 110}, {100, 90}});
        EXPECT_EQ(p.End().Left, 100);
        EXPECT_EQ(p.End().Top, 90);
        EXPECT_EQ(p.End().Right, 150);
        EXPECT_EQ(p.End().Bottom, 130);
    }
}

TEST(ApplyDrag, DraggedThroughTheOppositeEdgeKeepsThatEdgeInPlace) {
    BoxProject p; // the right edge dragged to the left of the left edge
    p.Drag(0, {{51, 20}, {0, 20}});
    EXPECT_EQ(p.Start().Left, 0);
    EXPECT_EQ(p.Start().Right, 10);
    EXPECT_EQ(p.drag.DragMode, DragLeft) << "the pointer now holds the left edge";
    ApplyDrag(p.drag, p.project, -5, 20, 500, 300);
    EXPECT_EQ(p.Start().Left, -5);
    EXPECT_EQ(p.Start().Right, 10);

    BoxProject q; // the top left corner dragged below and right of the bottom right one
    q.Drag(0, {{10, 10}, {70, 40}});
    EXPECT_EQ(q.drag.DragMode, DragBottomRight);
    EXPECT_EQ(q.Start().Left, 50);
    EXPECT_EQ(q.Start().Top, 30);
    EXPECT_EQ(q.Start().Right, 70);
    EXPECT_EQ(q.Start().Bottom, 40);
}

TEST(ApplyDrag, KeepsTheBoxWithinReach) {
    BoxProject p;
    p.Drag(0, {{20, 20}, {-500, -500}});
    EXPECT_EQ(p.Start().Right, 1);
    EXPECT_EQ(p.Start().Left, -39);
    EXPECT_EQ(p.Start().Bottom, 1);
    ApplyDrag(p.drag, p.project, 5000, 5000, 500, 300);
    EXPECT_EQ(p.Start().Left, 499);
    EXPECT_EQ(p.Start().Top, 299);
    EXPECT_EQ(p.Start().Right, 539);
}

TEST(ApplyDrag, ExtremeBoxesFromAFileStayWithinTheFields) {
    BoxProject p;
    p.Start().Left = INT_MIN;
    p.Start().Right = INT_MAX;
    HitTestSelection(p.drag, p.project, 0, 20, 20);
    EXPECT_EQ(p.drag.DragMode, DragMove);
    ApplyDrag(p.drag, p.project, 25, 20, 500, 300);
    EXPECT_LE(p.Start().Left, p.Start().Right);
}

TEST(RowSelectedByPress, PrefersTheOtherStateThenTheLastHitObject) {
    BoxProject p;
    AnimObject* second = AddVectorObject(p.project); // overlaps object 0's Start box
    second->Start = p.Start();
    second->End = p.Start();
    second->End.Left = 0;
    EXPECT_EQ(RowSelectedByPress(p.project, 1, true, 20, 20), 0) << "End selected: its Start box";
    EXPECT_EQ(RowSelectedByPress(p.project, 0, true, 120, 120), 1);
    EXPECT_EQ(RowSelectedByPress(p.project, 0, true, 300, 300), -1);
    EXPECT_EQ(RowSelectedByPress(p.project, 0, false, 300, 300), -1);
    // All shown: the last object containing the point wins, its Start box before its End box.
    EXPECT_EQ(RowSelectedByPress(p.project, -1, false, 20, 20), 2);
    EXPECT_EQ(RowSelectedByPress(p.project, -1, false, 5, 20), 3);
    EXPECT_EQ(RowSelectedByPress(p.project, -1, true, 20, 20), -1);
}

} // namespace
