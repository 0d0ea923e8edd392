#pragma once

#include "swf/control_tags.h"
#include "swf/objects.h"
#include "swf/shapes.h"

#include <cstdint>

class FSWFStream;

// DefineBitsJPEG2 over the caller's JPEG bytes, which are referenced, never copied nor freed: the
// block must stay valid and unchanged until FObjCollection::WriteMovie has returned.
class FDTDefineBitsJPEG2 : public FDT {
public:
    FDTDefineBitsJPEG2(const uint8_t* data, uint32_t size);
    uint16_t CharacterId() const override { return characterId; }
    void WriteTo(FSWFStream& out) override;
    // The tag length (size + 8) must fit 32 bits.
    bool ExceedsFormatLimits() const override;

private:
    uint16_t characterId;
    uint32_t jpegSize;
    const uint8_t* jpegData;
};

// Bitmap fill: the bitmap's character id and the matrix (owned) that maps its pixel grid into
// the shape. Repeating (type 0x40) or clipped (0x41).
class FFillStyleBitmap : public FFillStyle {
public:
    FFillStyleBitmap(int32_t repeat, uint16_t bitmapId, FMatrix* matrix);
    ~FFillStyleBitmap() override;
    FFillStyleBitmap(const FFillStyleBitmap&) = delete;
    FFillStyleBitmap& operator=(const FFillStyleBitmap&) = delete;
    void WriteTo(FSWFStream& out) const override;

private:
    int32_t repeat;
    uint16_t bitmapId;
    FMatrix* matrix;
};
