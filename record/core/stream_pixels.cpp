#include "record/core/stream_pixels.h"

#include <algorithm>
#include <cstring>

void CopyStreamBox(const uint8_t* source, int64_t sourceStride, StreamPixelLayout layout,
                   uint8_t* target, int64_t targetStride, const PixelBox& box) {
    const int64_t offset = int64_t{box.x0} * 4;
    const size_t bytes = static_cast<size_t>(box.Width()) * 4;
    const bool swap = layout == StreamPixelLayout::RGBx || layout == StreamPixelLayout::RGBA;
    for (int32_t y = box.y0; y <= box.y1; ++y) {
        const uint8_t* from = source + y * sourceStride + offset;
        uint8_t* to = target + y * targetStride + offset;
        if (!swap) {
            std::memcpy(to, from, bytes);
            continue;
        }
        for (size_t i = 0; i < bytes; i += 4) {
            to[i] = from[i + 2];
            to[i + 1] = from[i + 1];
            to[i + 2] = from[i];
            to[i + 3] = from[i + 3];
        }
    }
}

std::optional<PixelBox> ClipBox(const PixelBox& box, int32_t width, int32_t height) {
    PixelBox clipped{std::max(box.x0, 0), std::max(box.y0, 0), std::min(box.x1, width - 1),
                     std::min(box.y1, height - 1)};
    if (clipped.x0 > clipped.x1 || clipped.y0 > clipped.y1)
        return std::nullopt;
    return clipped;
}

std::vector<PixelBox> JoinBoxesSharingRows(std::vector<PixelBox> boxes) {
    std::sort(boxes.begin(), boxes.end(),
              [](const PixelBox& a, const PixelBox& b) { return a.y0 < b.y0; });
    std::vector<PixelBox> joined;
    for (const PixelBox& box : boxes) {
        if (!joined.empty() && box.y0 <= joined.back().y1)
            joined.back() = UnionBox(joined.back(), box);
        else
            joined.push_back(box);
    }
    return joined;
}
