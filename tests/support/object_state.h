// Object states for tests: a box with its time and colour, and the font size texts use.
#pragma once

#include "model/project.h"

inline ObjectState BoxState(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t time,
                            int32_t color = 0) {
    ObjectState state{};
    state.Left = left;
    state.Top = top;
    state.Right = right;
    state.Bottom = bottom;
    state.FontSize = 24;
    state.Time = time;
    state.Color = color;
    return state;
}
