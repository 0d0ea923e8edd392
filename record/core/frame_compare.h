// Comparing two captures of the same area and copying the changed box out of a capture.
// Pure code: no window system involved.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

// A picture in memory, seen through its own row stride. Pixels are blue, green, red,
// followed by one unused byte when there are four bytes per pixel (the screen's layout).
struct PixelPlane {
    const uint8_t* pixels = nullptr; // the first row in memory
    int64_t bytesPerRow = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 3; // 3 or 4
};

// Inclusive column and row range, rows counted in the planes' own row order.
struct PixelBox {
    int32_t x0;
    int32_t y0;
    int32_t x1;
    int32_t y1;
    int32_t Width() const { return x1 - x0 + 1; }
    int32_t Height() const { return y1 - y0 + 1; }
    bool operator==(const PixelBox&) const = default;
};

// The smallest box holding both.
inline PixelBox UnionBox(const PixelBox& a, const PixelBox& b) {
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

// The smallest box holding every pixel whose colour differs between the two planes;
// none when they show the same picture. The unused fourth byte never counts. Both
// planes must have the same size and pixel layout (std::invalid_argument otherwise).
// Whole rows are compared first; columns are searched only in rows that differ.
std::optional<PixelBox> FindChangedBox(const PixelPlane& previous, const PixelPlane& current);

// Within each of `hints` (boxes lying in both planes), the smallest box holding what
// differs there, in the planes' coordinates; hints where nothing differs give none.
std::vector<PixelBox> FindChangedBoxesWithin(const PixelPlane& previous, const PixelPlane& current,
                                             const std::vector<PixelBox>& hints);

// The part of `plane` inside `box`, which lies within it; rows keep the plane's stride.
PixelPlane PartOfPlane(const PixelPlane& plane, const PixelBox& box);

// Copies `box` of a top-down plane into a 24-bit picture with bottom-up rows (the
// picture's first row in memory is the box's lowest line), blue, green, red.
void CopyBoxToBottomUpBgr(const PixelPlane& topDownSource, const PixelBox& box, uint8_t* target,
                          int64_t targetBytesPerRow);
