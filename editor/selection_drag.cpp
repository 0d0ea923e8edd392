#include "editor/selection_drag.h"

#include "geometry/box_fit.h"
#include "model/project_objects.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

const ObjectState& SelectedState(const Project& project, int32_t row) {
    const AnimObject& object = project.Objects[row / 2];
    return row % 2 == 0 ? object.Start : object.End;
}

bool NearHandle(int64_t x, int64_t y, int64_t cx, int64_t cy) {
    return std::llabs(x - cx) <= kHandleReach && std::llabs(y - cy) <= kHandleReach;
}

struct Target {
    int32_t mode;
    int64_t cx, cy;
    PointerShape shape;
    bool grabX, grabY;
};

} // namespace

bool BoxContains(const ObjectState& box, int32_t x, int32_t y) {
    return x >= box.Left && x <= box.Right && y >= box.Top && y <= box.Bottom;
}

PointerShape HitTestSelection(DragState& state, const Project& project, int32_t selectedRow,
                              int32_t x, int32_t y) {
    state.DragMode = DragNone;
    state.GrabDX = 0;
    state.GrabDY = 0;
    if (selectedRow < 0 || selectedRow / 2 >= project.Objects.Count())
        return PointerShape::Arrow;
    state.DragObject = selectedRow / 2;
    state.DragIsEnd = selectedRow % 2;

    // The frame treats Right and Bottom as the last pixel inside the box.
    const ObjectState& box = SelectedState(project, selectedRow);
    const int64_t bx = box.Left;
    const int64_t by = box.Top;
    const int64_t w = int64_t(box.Right) - box.Left + 1;
    const int64_t h = int64_t(box.Bottom) - box.Top + 1;

    using P = PointerShape;
    const Target handles[] = {
        {DragTopLeft, bx, by, P::ResizeNorthWestSouthEast, true, true},
        {DragTopRight, bx + w, by, P::ResizeNorthEastSouthWest, true, true},
        {DragBottomLeft, bx, by + h, P::ResizeNorthEastSouthWest, true, true},
        {DragBottomRight, bx + w, by + h, P::ResizeNorthWestSouthEast, true, true},
        {DragTop, bx + w / 2, by, P::ResizeVertical, false, true},
        {DragBottom, bx + w / 2, by + h, P::ResizeVertical, false, true},
        {DragLeft, bx, by + h / 2, P::ResizeHorizontal, true, false},
        {DragRight, bx + w, by + h / 2, P::ResizeHorizontal, true, false},
    };
    for (const Target& handle : handles) {
        if (!NearHandle(x, y, handle.cx, handle.cy))
            continue;
        state.DragMode = handle.mode;
        if (handle.grabX)
            state.GrabDX = Clamp32(x - handle.cx);
        if (handle.grabY)
            state.GrabDY = Clamp32(y - handle.cy);
        return handle.shape;
    }
    if (x >= bx && x <= bx + w && y >= by && y <= by + h) {
        state.DragMode = DragMove;
        state.GrabDX = Clamp32(x - bx);
        state.GrabDY = Clamp32(y - by);
        return PointerShape::PointingHand;
    }
    return PointerShape::Arrow;
}

void ApplyDrag(DragState& state, Project& project, int32_t x, int32_t y, int32_t paintWidth,
               int32_t paintHeight) {
    if (state.DragMode == DragNone || state.DragObject < 0 ||
        state.DragObject >= project.Objects.Count())
        return;
    AnimObject& object = project.Objects[state.DragObject];
    ObjectState& box = state.DragIsEnd ? object.End : object.Start;

    int64_t left = box.Left;
    int64_t top = box.Top;
    int64_t width = int64_t(box.Right) - box.Left;
    int64_t height = int64_t(box.Bottom) - box.Top;
    const int64_t startWidth = width;
    const int64_t startHeight = height;
    const int64_t px = int64_t(x) - state.GrabDX;
    const int64_t py = int64_t(y) - state.GrabDY;

    bool writeLeft = false, writeTop = false, writeRight = false, writeBottom = false;
    switch (state.DragMode) {
    case DragTopLeft:
        width += left - px;
        height += top - py;
        left = px;
        top = py;
        writeLeft = writeTop = true;
        break;
    case DragTopRight:
        width = px - left;
        height += top - py;
        top = py;
        writeRight = writeTop = true;
        break;
    case DragBottomLeft:
        width += left - px;
        height = py - top;
        left = px;
        writeLeft = writeBottom = true;
        break;
    case DragBottomRight:
        width = px - left;
        height = py - top;
        writeRight = writeBottom = true;
        break;
    case DragTop:
        height += top - py;
        top = py;
        writeTop = true;
        break;
    case DragBottom:
        height = py - top;
        writeBottom = true;
        break;
    case DragLeft:
        width += left - px;
        left = px;
        writeLeft = true;
        break;
    case DragRight:
        width = px - left;
        writeRight = true;
        break;
    case DragMove:
        left = px;
        top = py;
        writeLeft = writeTop = writeRight = writeBottom = true;
        break;
    default:
        return;
    }

    // Turned inside out: flip the box and grab the opposite edge from now on. The edge that
    // was not dragged stays where it is, so both edges of the flipped axis are written.
    if (width < 0) {
        width = -width;
        left -= width;
        static const int32_t flipX[] = {0, 2, 1, 4, 3, 5, 6, 8, 7, 9};
        state.DragMode = flipX[state.DragMode];
        writeLeft = writeRight = true;
    }
    if (height < 0) {
        height = -height;
        top -= height;
        static const int32_t flipY[] = {0, 3, 4, 1, 2, 6, 5, 7, 8, 9};
        state.DragMode = flipY[state.DragMode];
        writeTop = writeBottom = true;
    }

    // Keep a part of the box where the pointer can reach it.
    if (left + width <= 1)
        left = 1 - width;
    if (top + height <= 1)
        top = 1 - height;
    if (left > paintWidth - 1)
        left = paintWidth - 1;
    if (top > paintHeight - 1)
        top = paintHeight - 1;

    if (writeLeft)
        box.Left = Clamp32(left);
    if (writeTop)
        box.Top = Clamp32(top);
    if (writeRight)
        box.Right = Clamp32(width + box.Left);
    if (writeBottom)
        box.Bottom = Clamp32(height + box.Top);
    if (state.DragMode == DragMove) {
        box.Right = Clamp32(box.Left + startWidth);
        box.Bottom = Clamp32(box.Top + startHeight);
    }
}

int32_t RowSelectedByPress(const Project& project, int32_t selectedRow, bool onlySelectedShown,
                           int32_t x, int32_t y) {
    if (selectedRow >= 0 && selectedRow / 2 < project.Objects.Count()) {
        const ObjectRow selected = RowToObject(selectedRow);
        const AnimObject& object = project.Objects[selected.objectIndex];
        if (selected.isEnd && BoxContains(object.Start, x, y))
            return StartRowOf(selected.objectIndex);
        if (!selected.isEnd && BoxContains(object.End, x, y))
            return EndRowOf(selected.objectIndex);
    }
    if (onlySelectedShown)
        return -1;
    int32_t hitRow = -1;
    for (int32_t i = 0; i < project.Objects.Count(); ++i) {
        if (BoxContains(project.Objects[i].End, x, y))
            hitRow = EndRowOf(i);
        if (BoxContains(project.Objects[i].Start, x, y))
            hitRow = StartRowOf(i);
    }
    return hitRow;
}
