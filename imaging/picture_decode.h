// Decoding a whole picture file into a DIB. Only the decoder helper calls this: the decoders
// are not trusted with the program's memory (see decoder_client.h).
#pragma once

#include "imaging/dib_image.h"
#include "imaging/picture_header.h"

#include <cstddef>
#include <cstdint>

namespace pictavo {

// Decodes data, whose header was read and allowed (HeaderAllowsDecoding), at the depth the
// file declares. Returns false and leaves target all zero when the file cannot be decoded.
bool DecodePicture(const uint8_t* data, size_t size, const PictureHeader& header, DibImage* target);

} // namespace pictavo
