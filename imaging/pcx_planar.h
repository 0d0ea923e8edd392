// PCX pictures of up to 4 bits per pixel (1 to 4 bit planes, or one plane of 2 or 4 bits).
//
// These are decoded here and not by the general decoder, which misplaces the pixels of the
// last byte of a line when the width is not a multiple of 8.
#pragma once

#include "imaging/dib_image.h"

#include <cstddef>
#include <cstdint>

namespace pictavo {

// True when data is a PCX file that DecodePlanarPcx handles.
bool IsPlanarPcx(const uint8_t* data, size_t size);

// Decodes into a 1-bit (one 1-bit plane) or 4-bit DIB with the header's colour map.
// Returns false and leaves target all zero for damaged files.
bool DecodePlanarPcx(const uint8_t* data, size_t size, DibImage* target);

} // namespace pictavo
