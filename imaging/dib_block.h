// Memory of one picture inside the image library: a single block holding the header with its
// colour table, the logical palette and the pixel rows. DibImage records point into it.
#pragma once

#include "imaging/dib_image.h"

#include <cstddef>
#include <cstdint>

namespace pictavo {

// Largest pixel buffer the library hands out; keeps every row offset inside int32 and the
// header's 32-bit image size meaningful.
constexpr int64_t kMaxPixelBytes = int64_t{1} << 30;

// Row stride of a picture, padded to 4 bytes, or -1 when the size is not supported.
int64_t DibStride(int width, int bitsPerPixel);

// Fills target with a fresh zeroed picture. For palette depths (1, 4, 8) the colour table
// and logical palette get colorCount entries from colors (a black-to-white ramp when colors
// is null). Returns false and leaves target all zero for bad sizes or when memory runs out.
bool AllocateDib(DibImage* target, int width, int height, int bitsPerPixel, const RgbQuad* colors,
                 int colorCount);

// Releases what AllocateDib handed out; an all-zero record is accepted.
void ReleaseDib(const DibImage& image);

// Keeps `bytes` of picture memory prepared ahead of the pictures made next, so that
// writing them causes no page faults; a thread of the library prepares more as it is used.
// 0 gives the unused reserve back. Returns false when the memory cannot be had (and
// always under the address sanitizer, where every picture is a heap block).
bool KeepDibMemoryReady(size_t bytes);

// True when image has pixels, a header and the sizes are consistent with its stride.
bool DibIsUsable(const DibImage& image);

} // namespace pictavo
