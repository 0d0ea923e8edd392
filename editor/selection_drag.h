// Direct manipulation of the selected state's box in the preview: which handle the pointer
// is over, and how a drag changes the box. Pure arithmetic on the Project.
#pragma once

#include "model/project.h"

#include <cstdint>

// What the pointer is over or is dragging.
enum DragModeValue : int32_t {
    DragNone = 0,
    DragTopLeft = 1,
    DragTopRight = 2,
    DragBottomLeft = 3,
    DragBottomRight = 4,
    DragTop = 5,
    DragBottom = 6,
    DragLeft = 7,
    DragRight = 8,
    DragMove = 9,
};

// The platform's standard pointer shapes the preview uses.
enum class PointerShape {
    Arrow,
    ResizeNorthWestSouthEast,
    ResizeNorthEastSouthWest,
    ResizeVertical,
    ResizeHorizontal,
    PointingHand,
};

struct DragState {
    int32_t Dragging = 0;
    int32_t DragMode = DragNone;
    int32_t GrabDX = 0; // pointer offset from the grabbed edge or corner at the press
    int32_t GrabDY = 0;
    int32_t DragObject = 0;
    int32_t DragIsEnd = 0; // 0: the Start box is edited, 1: the End box
};

// Half the side of a handle square; the square spans centre - 3 to centre + 3.
inline constexpr int32_t kHandleReach = 3;

// Finds the handle or the inside of the selected row's box under (x, y) and records it in
// `state`; selectedRow < 0 means no selection. Returns the pointer shape to show.
PointerShape HitTestSelection(DragState& state, const Project& project, int32_t selectedRow,
                              int32_t x, int32_t y);

// Moves or resizes the dragged box so that the grabbed edge or corner follows the pointer.
// A box dragged inside out is turned right side out (the drag mode follows the flip), and
// the box is kept where the pointer can reach it within the paint box.
void ApplyDrag(DragState& state, Project& project, int32_t x, int32_t y, int32_t paintWidth,
               int32_t paintHeight);

// True when (x, y) lies in the box, edges included.
bool BoxContains(const ObjectState& box, int32_t x, int32_t y);

// The row a press at (x, y) selects when it grabbed no handle, or -1 to keep the selection:
// the other state of the selected object first, then (when all objects are shown) the last
// object in list order whose box contains the point, its Start box before its End box.
int32_t RowSelectedByPress(const Project& project, int32_t selectedRow, bool onlySelectedShown,
                           int32_t x, int32_t y);
