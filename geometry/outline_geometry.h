// Outline geometry shared by the movie builder (twips) and the preview (pixels): the points of
// rectangle and ellipse outlines, turned and moved with the integer arithmetic both agree on.
#pragma once

#include <cstdint>
#include <vector>

struct OutlinePoint {
    int32_t x;
    int32_t y;
};
using Outline = std::vector<OutlinePoint>;

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

// The closed five-point rectangle outline centred on the origin.
Outline RectangleOutline(int32_t hw, int32_t hh);
// The 17 points of the ellipse outline: an anchor on the ellipse at 45 degrees, then control
// point and anchor alternately for eight quadratic segments.
Outline EllipseOutline(const EllipseValues& e);
// Rotates every point by the 16.16 terms (products in 64 bits, truncating divisions).
void RotateOutline(Outline& outline, int32_t C, int32_t S);
void OffsetOutline(Outline& outline, int32_t dx, int32_t dy);
// Turns centre-relative points into a pen path: the first point moved by (ox, oy),
// every later one as the difference to its predecessor.
void PlaceOutline(Outline& outline, int32_t ox, int32_t oy);
