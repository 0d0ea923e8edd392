// Decoding picture files into DIBs with SDL2_image. This runs in the decoder helper
// (pictavo_decoder_main.cpp), never in the program itself.
//
// The decoders widen 1- and 4-bit pictures to one byte per index, so the depth the file
// declares is taken from its header and the indices are packed back to it. Pictures without
// a palette arrive as 24 bits, or as 32 bits (blue, green, red, alpha) when some pixel is
// not opaque.
#include "imaging/dib_block.h"
#include "imaging/pcx_planar.h"
#include "imaging/pictavo_exports.h"
#include "imaging/picture_decode.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct SurfaceFreer {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFreer>;

class SurfaceLock {
public:
    explicit SurfaceLock(SDL_Surface* surface)
        : surface_(surface), locked_(SDL_LockSurface(surface) == 0) {}
    ~SurfaceLock() {
        if (locked_)
            SDL_UnlockSurface(surface_);
    }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;
    bool locked() const { return locked_; }

private:
    SDL_Surface* surface_;
    bool locked_;
};

SDL_Surface* DecodeWithSdl(pictavo::PictureKind kind, SDL_RWops* stream) {
    using pictavo::PictureKind;
    switch (kind) {
    case PictureKind::Bmp:
        return IMG_LoadBMP_RW(stream);
    case PictureKind::Pcx:
        return IMG_LoadPCX_RW(stream);
    case PictureKind::Gif:
        return IMG_LoadGIF_RW(stream);
    case PictureKind::Png:
        return IMG_LoadPNG_RW(stream);
    case PictureKind::Jpeg:
        return IMG_LoadJPG_RW(stream);
    case PictureKind::Tiff:
        return IMG_LoadTIF_RW(stream);
    case PictureKind::Iff:
        return IMG_LoadLBM_RW(stream);
    case PictureKind::Tga:
        return IMG_LoadTGA_RW(stream);
    case PictureKind::Unknown:
        break;
    }
    return nullptr;
}

bool IsOneBytePalette(const SDL_Surface* surface) {
    return surface->format->palette && surface->format->BitsPerPixel == 8 &&
           surface->format->BytesPerPixel == 1;
}

bool SurfaceGeometryIsSane(const SDL_Surface* surface) {
    return surface->pixels && surface->w > 0 && surface->h > 0 && surface->pitch > 0 &&
           int64_t{surface->pitch} >= int64_t{surface->w} * surface->format->BytesPerPixel;
}

// The smallest DIB depth that holds every index, but never less than the file declares and
// never a depth whose indices the pixels exceed.
int PaletteDepth(const SDL_Surface* surface, int width, int declaredDepth) {
    uint8_t highest = 0;
    for (int y = 0; y < surface->h; ++y) {
        const auto* row =
            static_cast<const uint8_t*>(surface->pixels) + int64_t{y} * surface->pitch;
        highest = std::max(highest, *std::max_element(row, row + width));
    }
    if (declaredDepth == 1 && highest <= 1)
        return 1;
    if (declaredDepth == 4 && highest <= 15)
        return 4;
    return 8;
}

bool DecodePalettePicture(SDL_Surface* surface, int width, int declaredDepth, DibImage* target) {
    const int depth = PaletteDepth(surface, width, declaredDepth);
    const int tableSize = 1 << depth;
    RgbQuad colors[256] = {};
    const SDL_Palette* palette = surface->format->palette;
    const int known = std::min({palette->ncolors, tableSize, 256});
    for (int i = 0; i < known; ++i) {
        const SDL_Color& c = palette->colors[i];
        colors[i] = RgbQuad{c.b, c.g, c.r, 0};
    }
    // A transparent index shows the white background.
    Uint32 key = 0;
    if (SDL_GetColorKey(surface, &key) == 0 && key < static_cast<Uint32>(tableSize))
        colors[key] = RgbQuad{255, 255, 255, 0};

    if (!pictavo::AllocateDib(target, width, surface->h, depth, colors, tableSize))
        return false;
    for (int y = 0; y < surface->h; ++y) {
        const auto* in = static_cast<const uint8_t*>(surface->pixels) + int64_t{y} * surface->pitch;
        for (int x = 0; x < width; ++x)
            setpixel(*target, x, surface->h - 1 - y, in[x]);
    }
    return true;
}

// Three-byte pixels without transparency go straight to 24 bits.
bool DecodeRgbPicture(SDL_Surface* surface, int width, DibImage* target) {
    const bool redFirst = surface->format->format == SDL_PIXELFORMAT_RGB24;
    SurfaceLock lock(surface);
    if (!lock.locked() || !SurfaceGeometryIsSane(surface))
        return false;
    const int w = std::min(width, surface->w), h = surface->h;
    if (!pictavo::AllocateDib(target, w, h, 24, nullptr, 0))
        return false;
    for (int y = 0; y < h; ++y) {
        const uint8_t* in =
            static_cast<const uint8_t*>(surface->pixels) + int64_t{y} * surface->pitch;
        uint8_t* out = DibRow(*target, h - 1 - y);
        if (!redFirst) {
            std::memcpy(out, in, size_t(w) * 3);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
    }
    return true;
}

bool DecodeTrueColorPicture(SDL_Surface* source, int width, DibImage* target) {
    const Uint32 format = source->format->format;
    if ((format == SDL_PIXELFORMAT_RGB24 || format == SDL_PIXELFORMAT_BGR24) &&
        SDL_HasColorKey(source) == SDL_FALSE)
        return DecodeRgbPicture(source, width, target);

    // ARGB8888 lies in memory as blue, green, red, alpha; a colour key becomes alpha 0.
    SurfacePtr surface(SDL_ConvertSurfaceFormat(source, SDL_PIXELFORMAT_ARGB8888, 0));
    if (!surface)
        return false;
    SurfaceLock lock(surface.get());
    if (!lock.locked() || !SurfaceGeometryIsSane(surface.get()))
        return false;
    const int w = std::min(width, surface->w), h = surface->h;
    auto sourceRow = [&](int y) {
        return static_cast<const uint8_t*>(surface->pixels) + int64_t{y} * surface->pitch;
    };
    bool opaque = true;
    for (int y = 0; y < h && opaque; ++y)
        for (int x = 0; x < w; ++x)
            if (sourceRow(y)[4 * x + 3] != 255) {
                opaque = false;
                break;
            }

    if (!pictavo::AllocateDib(target, w, h, opaque ? 24 : 32, nullptr, 0))
        return false;
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = sourceRow(y);
        uint8_t* out = DibRow(*target, h - 1 - y);
        if (!opaque) {
            std::memcpy(out, in, size_t(w) * 4);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            out[3 * x] = in[4 * x];
            out[3 * x + 1] = in[4 * x + 1];
            out[3 * x + 2] = in[4 * x + 2];
        }
    }
    return true;
}

} // namespace

namespace pictavo {

bool DecodePicture(const uint8_t* data, size_t size, const PictureHeader& header,
                   DibImage* target) {
    std::memset(target, 0, sizeof(DibImage));
    if (header.kind == PictureKind::Pcx && IsPlanarPcx(data, size))
        return DecodePlanarPcx(data, size, target);

    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (!stream)
        return false;
    SurfacePtr surface(DecodeWithSdl(header.kind, stream));
    SDL_RWclose(stream);
    if (!surface)
        return false;

    // The IFF decoder pads the width to whole 16-pixel words; the header has the real one.
    const int width = static_cast<int>(std::min<int64_t>(surface->w, header.width));
    bool decoded = false;
    if (IsOneBytePalette(surface.get())) {
        SurfaceLock lock(surface.get());
        decoded = lock.locked() && SurfaceGeometryIsSane(surface.get()) &&
                  DecodePalettePicture(surface.get(), width, header.paletteDepth, target);
    } else {
        decoded = DecodeTrueColorPicture(surface.get(), width, target);
    }
    if (!decoded) {
        ReleaseDib(*target);
        std::memset(target, 0, sizeof(DibImage));
    }
    return decoded;
}

} // namespace pictavo
