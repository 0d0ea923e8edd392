// What the decoder helper (pictavo-decoder) and the image library agree on: the helper's
// name, its arguments and the record it leaves in its output file.
//
// The helper reads the picture file's bytes from descriptor 0 and writes to descriptor 1,
// a file of fixed size: the pixel rows at kDecodedPixelsOffset, then this record at offset
// 0, so a helper stopped half-way leaves no valid record.
#pragma once

#include "imaging/dib_image.h"

#include <cstdint>

namespace pictavo {

inline constexpr const char* kDecoderFileName = "pictavo-decoder";
inline constexpr uint32_t kDecodedMagic = 0x50445631; // "PDV1"

struct DecodedPicture {
    uint32_t magic;
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t colorCount; // colour table entries in use, palette depths only
    int32_t bytesPerRow;
    RgbQuad colors[256];
};

inline constexpr int64_t kDecodedPixelsOffset = sizeof(DecodedPicture);

// Arguments: --cpu-seconds N --memory-bytes N --output-bytes N [--tga]
// (--memory-bytes 0: no address space limit; address sanitizer builds ignore it). Exit
// status 0 means the record is written.

} // namespace pictavo
