// Reading picture files into DIBs: OpenDib.
//
// The decoders widen 1- and 4-bit pictures to one byte per index, so the depth the file
// declares is taken from its header and the indices are packed back to it. Pictures without
// a palette arrive as 24 bits, or as 32 bits (blue, green, red, alpha) when some pixel is
// not opaque.
#include "imaging/declared_depth.h"
#include "imaging/dib_block.h"
#include "imaging/pictavo_exports.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

// Files larger than this are not pictures the program can use.
constexpr long kMaxFileBytes = 512L << 20;

bool ReadWholeFile(const char* fileName, std::vector<uint8_t>& data) {
    FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size > 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        data.resize(static_cast<size_t>(size));
        ok = std::fread(data.data(), 1, data.size(), file) == data.size();
    }
    std::fclose(file);
    return ok;
}

// The decoder's type hint. Content decides for every kind except TGA, which has no
// signature and is recognised by its extension alone.
std::string TypeHint(const char* fileName) {
    std::string name(fileName);
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (ext == "DIB" || ext == "RLE")
        return "BMP";
    if (ext == "IFF")
        return "LBM";
    if (ext == "JIF" || ext == "JPEG")
        return "JPG";
    if (ext == "TIFF")
        return "TIF";
    return ext;
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
int PaletteDepth(const SDL_Surface* surface, int declaredDepth) {
    uint8_t highest = 0;
    for (int y = 0; y < surface->h; ++y) {
        const auto* row =
            static_cast<const uint8_t*>(surface->pixels) + int64_t{y} * surface->pitch;
        highest = std::max(highest, *std::max_element(row, row + surface->w));
    }
    if (declaredDepth == 1 && highest <= 1)
        return 1;
    if (declaredDepth == 4 && highest <= 15)
        return 4;
    return 8;
}

bool DecodePalettePicture(SDL_Surface* surface, int declaredDepth, DibImage* target) {
    const int depth = PaletteDepth(surface, declaredDepth);
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

    if (!pictavo::AllocateDib(target, surface->w, surface->h, depth, colors, tableSize))
        return false;
    for (int y = 0; y < surface->h; ++y) {
        const auto* in = static_cast<const uint8_t*>(surface->pixels) + int64_t{y} * surface->pitch;
        for (int x = 0; x < surface->w; ++x)
            setpixel(*target, x, surface->h - 1 - y, in[x]);
    }
    return true;
}

bool DecodeTrueColorPicture(SDL_Surface* source, DibImage* target) {
    // ARGB8888 lies in memory as blue, green, red, alpha; a colour key becomes alpha 0.
    SurfacePtr surface(SDL_ConvertSurfaceFormat(source, SDL_PIXELFORMAT_ARGB8888, 0));
    if (!surface)
        return false;
    SurfaceLock lock(surface.get());
    if (!lock.locked() || !SurfaceGeometryIsSane(surface.get()))
        return false;
    const int w = surface->w, h = surface->h;
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

extern "C" {

// Returns 1 with the decoded picture in target; on failure 0 and target is all zero.
int OpenDib(DibImage* target, const char* fileName, int /*reserved*/, void* /*owner*/) {
    if (!target)
        return 0;
    std::memset(target, 0, sizeof(DibImage));
    std::vector<uint8_t> data;
    if (!fileName || !ReadWholeFile(fileName, data))
        return 0;

    SDL_RWops* stream = SDL_RWFromConstMem(data.data(), static_cast<int>(data.size()));
    if (!stream)
        return 0;
    const std::string hint = TypeHint(fileName);
    SurfacePtr surface(IMG_LoadTyped_RW(stream, 1, hint.empty() ? nullptr : hint.c_str()));
    if (!surface)
        return 0;

    bool decoded = false;
    if (IsOneBytePalette(surface.get())) {
        SurfaceLock lock(surface.get());
        decoded =
            lock.locked() && SurfaceGeometryIsSane(surface.get()) &&
            DecodePalettePicture(surface.get(),
                                 pictavo::DeclaredPaletteDepth(data.data(), data.size()), target);
    } else {
        decoded = DecodeTrueColorPicture(surface.get(), target);
    }
    if (!decoded) {
        pictavo::ReleaseDib(*target);
        std::memset(target, 0, sizeof(DibImage));
        return 0;
    }
    return 1;
}

} // extern "C"
