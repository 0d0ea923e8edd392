// Outline geometry shared by the movie builder (twips) and the preview (pixels).
//
// Outlines live in the Project's OutlinePoints list, which is scratch space: a user
// fills it, transforms it, consumes it and empties it again before returning.
#pragma once

#include "model/project.h"

#include <cstdint>

// The 16.16 cosine and sine of an ObjectState's Rotation (tenths of a degree). Only
// whole degrees count, and the angle is negated: screen y points down.
struct RotationTermsResult {
    int32_t C;
    int32_t S;
    double radians;
};
RotationTermsResult RotationTerms(int32_t rotation);

// The six values that describe an ellipse outline for a box w x h pixels, scaled by
// unitFactor (20 for twips, 1 for pixels).
struct EllipseValues {
    int32_t cx, cy, bx, by, ax, ay;
};
EllipseValues EllipseParameters(int32_t w, int32_t h, int32_t unitFactor);

// Appends the closed five-point rectangle outline centred on the origin.
void AddRectangleOutline(Project& project, int32_t hw, int32_t hh);
// Appends the 17 points of the ellipse outline: an anchor on the ellipse at 45 degrees,
// then control point and anchor alternately for eight quadratic segments.
void AddEllipseOutline(Project& project, int32_t cx, int32_t cy, int32_t bx, int32_t by, int32_t ax,
                       int32_t ay);
inline void AddEllipseOutline(Project& project, const EllipseValues& e) {
    AddEllipseOutline(project, e.cx, e.cy, e.bx, e.by, e.ax, e.ay);
}
// Rotates every point by the 16.16 terms (products in 64 bits, truncating divisions).
void RotateOutline(Project& project, int32_t C, int32_t S);
void OffsetOutline(Project& project, int32_t dx, int32_t dy);
// Turns centre-relative points into a pen path: the first point moved by (ox, oy),
// every later one as the difference to its predecessor.
void PlaceOutline(Project& project, int32_t ox, int32_t oy);
