#include "record/core/frame_compare.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CLIPMOOR_HAVE_SSSE3_PATH 1
#endif

static_assert(std::endian::native == std::endian::little, "pixel words are read little-endian");

namespace {

uint64_t Load64(const uint8_t* p) {
    uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Which bytes of an 8-byte word hold colour. With four bytes per pixel every fourth
// byte is unused; the words are read at multiples of 4, so those are bytes 3 and 7.
struct ColourBytes {
    int32_t bytesPerPixel;
    uint64_t wordMask;
    bool IsColour(int64_t byteIndex) const { return bytesPerPixel != 4 || (byteIndex & 3) != 3; }
};

ColourBytes ColourBytesFor(int32_t bytesPerPixel) {
    return {bytesPerPixel, bytesPerPixel == 4 ? 0x00FFFFFF00FFFFFFull : ~0ull};
}

// First colour byte in [begin, end) where a and b differ, or -1.
int64_t FirstDifference(const uint8_t* a, const uint8_t* b, int64_t begin, int64_t end,
                        const ColourBytes& colour) {
    int64_t i = begin;
    for (; i + 8 <= end; i += 8) {
        uint64_t diff = (Load64(a + i) ^ Load64(b + i)) & colour.wordMask;
        if (diff)
            return i + std::countr_zero(diff) / 8;
    }
    for (; i < end; ++i)
        if (a[i] != b[i] && colour.IsColour(i))
            return i;
    return -1;
}

// Last colour byte in [begin, end) where a and b differ, or -1. `end` is a multiple of
// 4 for four-byte pixels, so the words stay aligned to pixels.
int64_t LastDifference(const uint8_t* a, const uint8_t* b, int64_t begin, int64_t end,
                       const ColourBytes& colour) {
    int64_t i = end;
    for (; i - 8 >= begin; i -= 8) {
        uint64_t diff = (Load64(a + i - 8) ^ Load64(b + i - 8)) & colour.wordMask;
        if (diff)
            return i - 8 + 7 - std::countl_zero(diff) / 8;
    }
    for (--i; i >= begin; --i)
        if (a[i] != b[i] && colour.IsColour(i))
            return i;
    return -1;
}

void CheckSameLayout(const PixelPlane& a, const PixelPlane& b) {
    if (a.width != b.width || a.height != b.height || a.bytesPerPixel != b.bytesPerPixel)
        throw std::invalid_argument("compared pictures differ in size or pixel layout");
    if (a.bytesPerPixel != 3 && a.bytesPerPixel != 4)
        throw std::invalid_argument("pictures must have 3 or 4 bytes per pixel");
    int64_t rowBytes = static_cast<int64_t>(a.width) * a.bytesPerPixel;
    if (a.width < 0 || a.height < 0 || a.bytesPerRow < rowBytes || b.bytesPerRow < rowBytes)
        throw std::invalid_argument("picture rows are shorter than their pixels");
}

void ConvertRowBgrxToBgrScalar(const uint8_t* source, uint8_t* target, int32_t pixels) {
    for (int32_t x = 0; x < pixels; ++x) {
        target[3 * x] = source[4 * x];
        target[3 * x + 1] = source[4 * x + 1];
        target[3 * x + 2] = source[4 * x + 2];
    }
}

#ifdef CLIPMOOR_HAVE_SSSE3_PATH
// Four pixels per shuffle; each 16-byte store writes 4 bytes past its 12 useful ones,
// so the vector loop stops while 6 pixels remain and the rest goes the scalar way.
__attribute__((target("ssse3"))) void ConvertRowBgrxToBgrSsse3(const uint8_t* source,
                                                               uint8_t* target, int32_t pixels) {
    const __m128i order = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int32_t x = 0;
    for (; x + 6 <= pixels; x += 4) {
        __m128i quad = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 3 * x), _mm_shuffle_epi8(quad, order));
    }
    ConvertRowBgrxToBgrScalar(source + 4 * x, target + 3 * x, pixels - x);
}
#endif

using RowConverter = void (*)(const uint8_t*, uint8_t*, int32_t);

RowConverter PickRowConverter() {
#ifdef CLIPMOOR_HAVE_SSSE3_PATH
    if (__builtin_cpu_supports("ssse3"))
        return ConvertRowBgrxToBgrSsse3;
#endif
    return ConvertRowBgrxToBgrScalar;
}

} // namespace

std::optional<PixelBox> FindChangedBox(const PixelPlane& previous, const PixelPlane& current) {
    CheckSameLayout(previous, current);
    const ColourBytes colour = ColourBytesFor(current.bytesPerPixel);
    const int32_t bpp = current.bytesPerPixel;
    const int64_t rowBytes = static_cast<int64_t>(current.width) * bpp;
    std::optional<PixelBox> box;
    for (int32_t y = 0; y < current.height; ++y) {
        const uint8_t* a = previous.pixels + y * previous.bytesPerRow;
        const uint8_t* b = current.pixels + y * current.bytesPerRow;
        if (std::memcmp(a, b, static_cast<size_t>(rowBytes)) == 0)
            continue;
        // The row may differ only in unused bytes; the first real difference says.
        int64_t first = FirstDifference(a, b, 0, rowBytes, colour);
        if (first < 0)
            continue;
        // Only columns right of what the box already covers can widen it.
        int64_t searchFrom = box ? std::max<int64_t>(first, int64_t(box->x1 + 1) * bpp) : first;
        int64_t last = LastDifference(a, b, searchFrom, rowBytes, colour);
        auto left = static_cast<int32_t>(first / bpp);
        auto right = last < 0 ? left : static_cast<int32_t>(last / bpp);
        if (!box) {
            box = PixelBox{left, y, right, y};
        } else {
            box->x0 = std::min(box->x0, left);
            box->x1 = std::max(box->x1, right);
            box->y1 = y;
        }
    }
    return box;
}

std::vector<PixelBox> FindChangedBoxesWithin(const PixelPlane& previous, const PixelPlane& current,
                                             const std::vector<PixelBox>& hints) {
    std::vector<PixelBox> changed;
    for (const PixelBox& hint : hints) {
        std::optional<PixelBox> box =
            FindChangedBox(PartOfPlane(previous, hint), PartOfPlane(current, hint));
        if (box)
            changed.push_back(
                {box->x0 + hint.x0, box->y0 + hint.y0, box->x1 + hint.x0, box->y1 + hint.y0});
    }
    return changed;
}

void CopyBoxToBottomUpBgr(const PixelPlane& topDownSource, const PixelBox& box, uint8_t* target,
                          int64_t targetBytesPerRow) {
    static const RowConverter convertRow = PickRowConverter();
    const int32_t bpp = topDownSource.bytesPerPixel;
    const int32_t height = box.Height();
    for (int32_t i = 0; i < height; ++i) {
        const uint8_t* source = topDownSource.pixels +
                                static_cast<int64_t>(box.y0 + i) * topDownSource.bytesPerRow +
                                static_cast<int64_t>(box.x0) * bpp;
        uint8_t* row = target + static_cast<int64_t>(height - 1 - i) * targetBytesPerRow;
        if (bpp == 4)
            convertRow(source, row, box.Width());
        else
            std::memcpy(row, source, static_cast<size_t>(box.Width()) * 3);
    }
}

PixelPlane PartOfPlane(const PixelPlane& plane, const PixelBox& box) {
    PixelPlane part = plane;
    part.pixels = plane.pixels + box.y0 * plane.bytesPerRow + int64_t{box.x0} * plane.bytesPerPixel;
    part.width = box.Width();
    part.height = box.Height();
    return part;
}
