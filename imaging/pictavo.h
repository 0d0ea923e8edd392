// The image library's entry points and the loader that binds them at run time.
//
// The library is libPictavo.so in the program folder. The program does not link it:
// it is loaded by name at start-up so that a missing or incomplete library gives one
// clear message ("Could not load file Pictavo.DLL") instead of a loader failure.
#pragma once

#include "imaging/dib_image.h"

#include <string>

// Format code of SaveDib for JPEG files.
constexpr int kDibFormatJpeg = 7;

extern "C" {
// Signatures of the entry points. Results of newdib, OpenDib and SaveDib are
// non-zero on success; callers check the pixel pointer or the written file instead.
using NewDibFn = int (*)(DibImage* target, int width, int height, int bitsPerPixel,
                         const BitmapInfo* colorSource, int colorCount);
using OpenDibFn = int (*)(DibImage* target, const char* fileName, int reserved, void* owner);
using SaveDibFn = int (*)(DibImage image, const char* fileName, int format, void* owner);
using DelDibFn = void (*)(DibImage image);
using SetJpegQualFn = void (*)(int quality);
using GetPixelFn = uint32_t (*)(DibImage image, int x, int y);
using SetPixelFn = void (*)(DibImage image, int x, int y, uint32_t value);
// Keeps `bytes` of picture memory written once ahead of the pictures made next (0: none).
using ReserveDibMemoryFn = int (*)(int64_t bytes);
// SaveDib at an explicit JPEG quality (0..100), safe on several threads at once.
using SaveDibAtQualityFn = int (*)(DibImage image, const char* fileName, int format, int quality);
}

struct PictavoLibrary {
    OpenDibFn OpenDib = nullptr;
    DelDibFn deldib = nullptr;
    SaveDibFn SaveDib = nullptr;
    NewDibFn newdib = nullptr;
    SetJpegQualFn SetJPEGQual = nullptr;
    GetPixelFn getpixel = nullptr;
    SetPixelFn setpixel = nullptr;
    // Optional: null when the library does not offer it.
    ReserveDibMemoryFn ReserveDibMemory = nullptr;
    SaveDibAtQualityFn SaveDibAtQuality = nullptr;
};

// The message shown when the library or one of its entry points is missing.
inline constexpr const char* kPictavoLoadError = "Could not load file Pictavo.DLL";

// Loads libPictavo.so from programFolder (ending in '/') and looks up OpenDib, deldib,
// SaveDib, newdib and SetJPEGQual in that order, then getpixel and setpixel, and
// ReserveDibMemory and SaveDibAtQuality when the library has them.
// Returns false if the library or any of the others is missing; nothing is bound then.
bool LoadPictavo(const std::string& programFolder);

// The bound entry points. Only valid after LoadPictavo returned true.
const PictavoLibrary& Pictavo();
bool PictavoLoaded();
