#include "imaging/pcx_planar.h"

#include "imaging/dib_block.h"
#include "imaging/pictavo_exports.h"

#include <cstring>
#include <vector>

namespace pictavo {
namespace {

constexpr size_t kHeaderBytes = 128;
constexpr size_t kColorMapOffset = 16;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

struct PcxLayout {
    int width = 0, height = 0, bits = 0, planes = 0, bytesPerLine = 0;
    bool compressed = true;
};

bool ReadLayout(const uint8_t* data, size_t size, PcxLayout& layout) {
    if (size < kHeaderBytes || data[0] != 0x0A || data[2] > 1)
        return false;
    const int left = Le16(data + 4), top = Le16(data + 6);
    const int right = Le16(data + 8), bottom = Le16(data + 10);
    layout.bits = data[3];
    layout.planes = data[65];
    layout.bytesPerLine = Le16(data + 66);
    layout.compressed = data[2] == 1;
    layout.width = right - left + 1;
    layout.height = bottom - top + 1;
    const bool planar = layout.bits == 1 && layout.planes >= 1 && layout.planes <= 4;
    const bool packed = (layout.bits == 2 || layout.bits == 4) && layout.planes == 1;
    return (planar || packed) && layout.width > 0 && layout.height > 0 &&
           int64_t{layout.bytesPerLine} * 8 >= int64_t{layout.width} * layout.bits;
}

// Run-length decoding: a byte with the two high bits set repeats the next byte (count in the
// low six bits); any other byte stands for itself. Runs may cross line ends.
class PcxReader {
public:
    PcxReader(const uint8_t* data, size_t size, bool compressed)
        : at_(data + kHeaderBytes), end_(data + size), compressed_(compressed) {}

    bool ReadLine(uint8_t* out, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (runLeft_ == 0 && !StartRun())
                return false;
            --runLeft_;
            out[i] = runValue_;
        }
        return true;
    }

private:
    bool StartRun() {
        if (at_ >= end_)
            return false;
        const uint8_t byte = *at_++;
        if (compressed_ && (byte & 0xC0) == 0xC0) {
            if (at_ >= end_)
                return false;
            runLeft_ = byte & 0x3F;
            runValue_ = *at_++;
            return runLeft_ > 0 || StartRun();
        }
        runLeft_ = 1;
        runValue_ = byte;
        return true;
    }

    const uint8_t* at_;
    const uint8_t* end_;
    bool compressed_;
    unsigned runLeft_ = 0;
    uint8_t runValue_ = 0;
};

unsigned IndexAt(const PcxLayout& layout, const std::vector<uint8_t>& line, int x) {
    if (layout.bits == 1) {
        unsigned index = 0;
        for (int plane = 0; plane < layout.planes; ++plane) {
            const uint8_t byte = line[size_t(plane) * layout.bytesPerLine + x / 8];
            index |= ((byte >> (7 - x % 8)) & 1u) << plane;
        }
        return index;
    }
    const int perByte = 8 / layout.bits;
    const uint8_t byte = line[x / perByte];
    const int shift = 8 - layout.bits * (x % perByte + 1);
    return (byte >> shift) & ((1u << layout.bits) - 1);
}

} // namespace

bool IsPlanarPcx(const uint8_t* data, size_t size) {
    PcxLayout layout;
    return ReadLayout(data, size, layout);
}

bool DecodePlanarPcx(const uint8_t* data, size_t size, DibImage* target) {
    PcxLayout layout;
    if (!target || !ReadLayout(data, size, layout))
        return false;
    const int indexBits = layout.bits * layout.planes;
    const int depth = indexBits == 1 ? 1 : 4;
    RgbQuad colors[16] = {};
    const uint8_t* map = data + kColorMapOffset;
    for (int i = 0; i < 16; ++i)
        colors[i] = RgbQuad{map[3 * i + 2], map[3 * i + 1], map[3 * i], 0};
    // Some writers leave the map of black-and-white pictures empty.
    if (indexBits == 1 && std::memcmp(&colors[0], &colors[1], sizeof(RgbQuad)) == 0)
        colors[1] = RgbQuad{255, 255, 255, 0};
    if (!AllocateDib(target, layout.width, layout.height, depth, colors, 1 << depth))
        return false;

    PcxReader reader(data, size, layout.compressed);
    std::vector<uint8_t> line(size_t(layout.bytesPerLine) * layout.planes);
    for (int y = 0; y < layout.height; ++y) {
        if (!reader.ReadLine(line.data(), line.size())) {
            ReleaseDib(*target);
            std::memset(target, 0, sizeof(DibImage));
            return false;
        }
        for (int x = 0; x < layout.width; ++x)
            setpixel(*target, x, layout.height - 1 - y, IndexAt(layout, line, x));
    }
    return true;
}

} // namespace pictavo
