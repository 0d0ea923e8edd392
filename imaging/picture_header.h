// What a picture file's own header says: its kind, its size and the palette depth it declares.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pictavo {

enum class PictureKind { Unknown, Bmp, Pcx, Gif, Png, Jpeg, Tiff, Iff, Tga };

struct PictureHeader {
    PictureKind kind = PictureKind::Unknown;
    int64_t width = 0;  // 0 when the header gives no usable size
    int64_t height = 0; // the largest picture the file declares
    // 1, 4 or 8 for palette pictures whose header says how many bits an index has (BMP bit
    // count, PCX bits and planes, GIF and PNG palette sizes, IFF bit planes), else 0. 2-bit
    // files count as 4-bit, the next depth a DIB has.
    int paletteDepth = 0;
    // A field no decoder may be given: an IFF bit plane count other than 1 to 8, a GIF LZW
    // code size other than 1 to 8.
    bool malformed = false;
};

// Files larger than this are not pictures the program can use.
inline constexpr int64_t kMaxPictureFileBytes = int64_t{512} << 20;
// Pictures larger than this are refused before any decoder allocates for them.
inline constexpr int64_t kMaxPicturePixels = int64_t{1} << 26;

// Recognises the kind by content; TGA has no signature and is taken only when tgaByName says
// the file's extension names it and no other kind matches.
PictureHeader ReadPictureHeader(const uint8_t* data, size_t size, bool tgaByName);

// Whether a file of fileSize bytes with this header may be decoded: a known kind, a size
// within kMaxPicturePixels, no malformed field, and no more pixels than the kind's best
// compression can pack into fileSize bytes (small pictures are always allowed).
bool HeaderAllowsDecoding(const PictureHeader& header, size_t fileSize);

} // namespace pictavo
