#include "editor/picture_blit.h"

#include "geometry/box_fit.h"
#include "geometry/outline_geometry.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

struct Range {
    int64_t low, high; // inclusive; empty when low > high
};

// Source column (or row) of every inverse-mapped coordinate u in `range`, as a byte offset
// into the picture, or -1 where u falls outside the picture.
std::vector<int64_t> SourceOffsets(Range range, int64_t boxSize, int64_t pictureSize,
                                   int64_t bytesPerStep, bool bottomUp) {
    std::vector<int64_t> offsets(static_cast<size_t>(range.high - range.low + 1), -1);
    for (int64_t u = range.low; u <= range.high; ++u) {
        int64_t s = u * pictureSize / boxSize + pictureSize / 2;
        if (s < 0 || s >= pictureSize)
            continue;
        if (bottomUp)
            s = pictureSize - 1 - s;
        offsets[static_cast<size_t>(u - range.low)] = s * bytesPerStep;
    }
    return offsets;
}

// The range of (a * p + b * q) / 65536 over the corners of a rectangle of (p, q).
Range MappedRange(Range p, Range q, int64_t a, int64_t b) {
    int64_t values[4] = {(a * p.low + b * q.low) / 65536, (a * p.low + b * q.high) / 65536,
                         (a * p.high + b * q.low) / 65536, (a * p.high + b * q.high) / 65536};
    return {*std::min_element(values, values + 4), *std::max_element(values, values + 4)};
}

inline uint32_t PixelFromBgr(const uint8_t* p) {
    return 0xFF000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

} // namespace

PictureBox FitPictureBox(int32_t left, int32_t top, int32_t right, int32_t bottom,
                         int32_t pictureWidth, int32_t pictureHeight) {
    const BoxSize fitted =
        FitToPicture(int64_t(right) - left, int64_t(bottom) - top, pictureWidth, pictureHeight);
    return {left, top, Clamp32(left + fitted.width), Clamp32(top + fitted.height)};
}

void DrawRotatedPicture(const PixelTarget& target, const DibImage& picture, const PictureBox& box,
                        int32_t rotation) {
    const int64_t pw = DibWidth(picture);
    const int64_t ph = DibHeight(picture);
    if (!picture.pixels || DibBitCount(picture) != 24 || pw <= 0 || ph <= 0 || !target.bits)
        return;
    const int64_t w = int64_t(box.right) - box.left;
    const int64_t h = int64_t(box.bottom) - box.top;
    if (w == 0 || h == 0)
        return;
    const int64_t hw = w / 2;
    const int64_t hh = h / 2;
    const int64_t centreX = box.left + hw - target.originX;
    const int64_t centreY = box.top + hh - target.originY;

    // Bounding box of the turned box around its centre.
    const RotationTermsResult forward = RotationTerms(rotation);
    const int64_t corners[5][2] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}, {0, 0}};
    Range xs{std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()};
    Range ys = xs;
    for (const auto& corner : corners) {
        int64_t x = (corner[0] * forward.C - corner[1] * forward.S) / 65536;
        int64_t y = (corner[0] * forward.S + corner[1] * forward.C) / 65536;
        xs = {std::min(xs.low, x), std::max(xs.high, x)};
        ys = {std::min(ys.low, y), std::max(ys.high, y)};
    }
    // Only what lands inside the target is computed.
    xs = {std::max<int64_t>(xs.low, -centreX),
          std::min<int64_t>(xs.high, target.width - 1 - centreX)};
    ys = {std::max<int64_t>(ys.low, -centreY),
          std::min<int64_t>(ys.high, target.height - 1 - centreY)};
    if (xs.low > xs.high || ys.low > ys.high)
        return;

    // The opposite turn maps target pixels back into the box: u = (x C' - y S') / 65536,
    // v = (x S' + y C') / 65536. The box-to-picture scaling of u and v goes through tables.
    const int32_t wholeDegrees = rotation / 10;
    const RotationTermsResult inverse = RotationTerms(-wholeDegrees * 10);
    const int64_t C = inverse.C;
    const int64_t S = inverse.S;
    const Range us = MappedRange(xs, ys, C, -S);
    const Range vs = MappedRange(xs, ys, S, C);
    const std::vector<int64_t> columns = SourceOffsets(us, w, pw, 3, false);
    const std::vector<int64_t> rows = SourceOffsets(vs, h, ph, picture.bytesPerRow, true);
    const uint8_t* source = picture.pixels;

    // Unturned (or half-turned) pictures map every target row to one source row through
    // the same column offsets; a picture drawn at its own width copies runs of pixels.
    std::vector<int32_t> rowColumns;
    bool straightRun = false;
    if (S == 0) {
        rowColumns.resize(static_cast<size_t>(xs.high - xs.low + 1));
        straightRun = true;
        for (int64_t x = xs.low; x <= xs.high; ++x) {
            const int64_t offset = columns[static_cast<size_t>((x * C) / 65536 - us.low)];
            rowColumns[static_cast<size_t>(x - xs.low)] = static_cast<int32_t>(offset);
            straightRun = straightRun && offset >= 0 && offset == rowColumns[0] + 3 * (x - xs.low);
        }
    }

    for (int64_t y = ys.low; y <= ys.high; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(target.bits) +
                                                 (centreY + y) * target.stride) +
                     centreX + xs.low;
        if (S == 0) {
            const int64_t rowOffset = rows[static_cast<size_t>((y * C) / 65536 - vs.low)];
            if (rowOffset < 0)
                continue;
            const uint8_t* sourceRow = source + rowOffset;
            const size_t count = rowColumns.size();
            if (straightRun) {
                const uint8_t* p = sourceRow + rowColumns[0];
                for (size_t i = 0; i < count; ++i, p += 3)
                    line[i] = PixelFromBgr(p);
                continue;
            }
            for (size_t i = 0; i < count; ++i) {
                if (rowColumns[i] >= 0)
                    line[i] = PixelFromBgr(sourceRow + rowColumns[i]);
            }
            continue;
        }
        const int64_t* column = columns.data();
        const int64_t* row = rows.data();
        int64_t uNumerator = xs.low * C - y * S;
        int64_t vNumerator = xs.low * S + y * C;
        for (int64_t x = xs.low; x <= xs.high; ++x, uNumerator += C, vNumerator += S) {
            const int64_t columnOffset = column[uNumerator / 65536 - us.low];
            const int64_t rowOffset = row[vNumerator / 65536 - vs.low];
            if (columnOffset >= 0 && rowOffset >= 0)
                line[x - xs.low] = PixelFromBgr(source + rowOffset + columnOffset);
        }
    }
}
