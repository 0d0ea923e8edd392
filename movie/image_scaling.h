// Nearest-neighbour rescaling of a picture before it is encoded for a movie.
#pragma once

#include "imaging/dib_image.h"

#include <cstdint>

// A new width x height picture (made with the image library's newdib, released by the
// caller with deldib) sampled from source in steps of 1/1024 pixel. Sources of 8 bits
// per pixel and more keep their bit count and colour table; anything else, or an empty
// size, gives an all-zero record (no pixels).
DibImage ScaleImageNearest(const DibImage& source, int32_t width, int32_t height);
