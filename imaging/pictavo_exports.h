// The C entry points that libPictavo.so exports. The program binds them at run time through
// the loader (imaging/pictavo.h); only the library itself and its tests include this header.
#pragma once

#include "imaging/dib_image.h"

#include <cstdint>

#define PICTAVO_EXPORT __attribute__((visibility("default")))

extern "C" {
PICTAVO_EXPORT int newdib(DibImage* target, int width, int height, int bitsPerPixel,
                          const BitmapInfo* colorSource, int colorCount);
PICTAVO_EXPORT int OpenDib(DibImage* target, const char* fileName, int reserved, void* owner);
PICTAVO_EXPORT int SaveDib(DibImage image, const char* fileName, int format, void* owner);
PICTAVO_EXPORT void deldib(DibImage image);
PICTAVO_EXPORT void SetJPEGQual(int quality);
PICTAVO_EXPORT uint32_t getpixel(DibImage image, int x, int y);
PICTAVO_EXPORT void setpixel(DibImage image, int x, int y, uint32_t value);
// Not needed by the loader: picture memory prepared ahead for a recording.
PICTAVO_EXPORT int ReserveDibMemory(int64_t bytes);
// Not needed by the loader: SaveDib at the given JPEG quality (0..100) instead of the one
// last set, so that threads encoding at once need no shared setting.
PICTAVO_EXPORT int SaveDibAtQuality(DibImage image, const char* fileName, int format, int quality);
}
