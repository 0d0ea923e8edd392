#include "geometry/outline_geometry.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

// 1 + sqrt(2): the half side of a box divided by it is tan(22.5 degrees) times the side.
const double kEllipseK = 2.0 * std::sin(std::numbers::pi / 4.0) + 1.0;

} // namespace

RotationTermsResult RotationTerms(int32_t rotation) {
    int32_t degrees = -(rotation / 10);
    double radians = degrees * std::numbers::pi / 180.0;
    return {static_cast<int32_t>(std::trunc(std::cos(radians) * 65536.0)),
            static_cast<int32_t>(std::trunc(std::sin(radians) * 65536.0)), radians};
}

EllipseValues EllipseParameters(int32_t w, int32_t h, int32_t unitFactor) {
    const double sin45 = std::sin(std::numbers::pi / 4.0);
    EllipseValues e{};
    e.ax = static_cast<int32_t>(std::trunc(((std::abs(w) / 2) * unitFactor) / kEllipseK));
    e.bx = static_cast<int32_t>(std::trunc(sin45 * e.ax));
    e.ay = static_cast<int32_t>(std::trunc(((std::abs(h) / 2) * unitFactor) / kEllipseK));
    e.by = static_cast<int32_t>(std::trunc(sin45 * e.ay));
    e.cx = static_cast<int32_t>(std::trunc(sin45 * w * 0.5 * unitFactor));
    e.cy = static_cast<int32_t>(std::trunc(sin45 * h * 0.5 * unitFactor));
    return e;
}

Outline RectangleOutline(int32_t hw, int32_t hh) {
    return {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}, {-hw, -hh}};
}

Outline EllipseOutline(const EllipseValues& e) {
    const int32_t bx = e.bx, by = e.by, ax = e.ax, ay = e.ay;
    const int32_t steps[16][2] = {{-bx, by}, {-ax, 0},  {-ax, 0},  {-bx, -by}, {-bx, -by}, {0, -ay},
                                  {0, -ay},  {bx, -by}, {bx, -by}, {ax, 0},    {ax, 0},    {bx, by},
                                  {bx, by},  {0, ay},   {0, ay},   {-bx, by}};
    Outline outline{{e.cx, e.cy}};
    for (const auto& step : steps)
        outline.push_back({outline.back().x + step[0], outline.back().y + step[1]});
    return outline;
}

void RotateOutline(Outline& outline, int32_t C, int32_t S) {
    for (OutlinePoint& point : outline) {
        int64_t x = point.x;
        int64_t y = point.y;
        point.x = static_cast<int32_t>((x * C - y * S) / 65536);
        point.y = static_cast<int32_t>((x * S + y * C) / 65536);
    }
}

void OffsetOutline(Outline& outline, int32_t dx, int32_t dy) {
    for (OutlinePoint& point : outline) {
        point.x += dx;
        point.y += dy;
    }
}

void PlaceOutline(Outline& outline, int32_t ox, int32_t oy) {
    int32_t previousX = 0;
    int32_t previousY = 0;
    bool first = true;
    for (OutlinePoint& point : outline) {
        int32_t x = point.x;
        int32_t y = point.y;
        if (first) {
            point.x = x + ox;
            point.y = y + oy;
            first = false;
        } else {
            point.x = x - previousX;
            point.y = y - previousY;
        }
        previousX = x;
        previousY = y;
    }
}
