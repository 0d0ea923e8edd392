// A library with the image library's name that lacks SetJPEGQual, for the loader's tests.
#include "imaging/dib_image.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int OpenDib(DibImage*, const char*, int, void*) {
    return 0;
}
EXPORT void deldib(DibImage) {}
EXPORT int SaveDib(DibImage, const char*, int, void*) {
    return 0;
}
EXPORT int newdib(DibImage*, int, int, int, const void*, int) {
    return 0;
}
EXPORT unsigned getpixel(DibImage, int, int) {
    return 0;
}
EXPORT void setpixel(DibImage, int, int, unsigned) {}
