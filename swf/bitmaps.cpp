#include "swf/bitmaps.h"

#include "swf/stream.h"

namespace {
constexpr uint16_t kDefineBitsJPEG2 = 21;
// The id and the two markers around the JPEG block.
constexpr uint32_t kJpegFraming = 8;
} // namespace

FDTDefineBitsJPEG2::FDTDefineBitsJPEG2(const uint8_t* data, uint32_t size)
    : characterId(NextCharacterId()), jpegSize(size), jpegData(data) {}

bool FDTDefineBitsJPEG2::ExceedsFormatLimits() const {
    return jpegSize > 0xFFFFFFFFu - kJpegFraming;
}

void FDTDefineBitsJPEG2::WriteTo(FSWFStream& out) {
    FSWFStream body;
    body.PutU16(characterId);
    // An empty encoding table (end-of-image, start-of-image) ahead of the image proper.
    body.PutByte(0xFF);
    body.PutByte(0xD9);
    body.PutByte(0xFF);
    body.PutByte(0xD8);
    body.PutBlob(jpegData, jpegSize);
    body.PutByte(0xFF);
    body.PutByte(0xD9);
    out.PutTag(kDefineBitsJPEG2, static_cast<uint32_t>(body.TotalSize()), &body);
}

FFillStyleBitmap::FFillStyleBitmap(int32_t repeat, uint16_t bitmapId, FMatrix* matrix)
    : repeat(repeat), bitmapId(bitmapId), matrix(matrix) {}

FFillStyleBitmap::~FFillStyleBitmap() {
    delete matrix;
}

void FFillStyleBitmap::WriteTo(FSWFStream& out) const {
    out.PutByte(repeat != 0 ? 0x40 : 0x41);
    out.PutU16(bitmapId);
    matrix->WriteTo(out);
}
