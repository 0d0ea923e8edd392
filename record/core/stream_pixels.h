// Pixel bookkeeping of a screen-cast stream, apart from PipeWire: copying the stream's
// pictures (any of the four 32-bit layouts it may send) into blue-green-red-x planes,
// and keeping damage boxes in the form the recorder takes them.
#pragma once

#include "record/core/frame_compare.h"

#include <cstdint>
#include <vector>

// Byte order of the stream's four-byte pixels; `x` is unused, `A` is alpha (ignored).
enum class StreamPixelLayout { BGRx, BGRA, RGBx, RGBA };

// Copies `box` from a stream picture into the same place of a BGRx plane of the same
// size: source rows are `sourceStride` bytes apart, target rows `targetStride` bytes.
void CopyStreamBox(const uint8_t* source, int64_t sourceStride, StreamPixelLayout layout,
                   uint8_t* target, int64_t targetStride, const PixelBox& box);

// The part of `box` inside a width x height picture; none when it lies wholly outside.
std::optional<PixelBox> ClipBox(const PixelBox& box, int32_t width, int32_t height);

// Joins boxes that share rows (one box holding both), so that none of the result shares
// a row with another; sorted from the top.
std::vector<PixelBox> JoinBoxesSharingRows(std::vector<PixelBox> boxes);
