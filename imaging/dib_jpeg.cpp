// Writing pictures as JPEG files: SetJPEGQual, SaveDib and SaveDibAtQuality.
#include "imaging/dib_block.h"
#include "imaging/pictavo.h"
#include "imaging/pictavo_exports.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The only state the library keeps between calls. Atomic: pictures may be encoded on
// several threads while another sets the quality.
std::atomic<int> jpegQuality{75};

struct TjHandleCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct TjBufferFreer {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// Opens for writing and empties the file, but truncates only a file that has content:
// truncating even an empty file makes some file systems (ext4) flush it on close, which
// costs a disk round trip for every temporary picture of a movie build.
FILE* OpenEmptied(const char* fileName) {
    const int fd = open(fileName, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat status {};
    if (fstat(fd, &status) != 0 || (status.st_size > 0 && ftruncate(fd, 0) != 0)) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, "wb");
    if (!file)
        close(fd);
    return file;
}

bool WriteWholeFile(const char* fileName, const unsigned char* data, unsigned long size) {
    FILE* file = OpenEmptied(fileName);
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    // A partly written picture is worse than none; devices and pipes are left alone.
    struct stat status {};
    if (!(written && closed) && stat(fileName, &status) == 0 && S_ISREG(status.st_mode))
        std::remove(fileName);
    return written && closed;
}

// Palette and 16-bit pictures are widened to bottom-up BGR rows first; 24- and 32-bit rows
// go to the encoder as they are.
std::vector<uint8_t> WidenToBgr(const DibImage& image) {
    const int width = DibWidth(image), height = DibHeight(image);
    const size_t stride = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> rows(stride * height);
    for (int y = 0; y < height; ++y) {
        uint8_t* out = rows.data() + stride * y;
        for (int x = 0; x < width; ++x) {
            const uint32_t value = getpixel(image, x, y);
            uint8_t r, g, b;
            if (DibBitCount(image) <= 8) {
                const RgbQuad& c = image.info->bmiColors[value & 0xFF];
                r = c.rgbRed, g = c.rgbGreen, b = c.rgbBlue;
            } else {
                r = value & 0xFF, g = (value >> 8) & 0xFF, b = (value >> 16) & 0xFF;
            }
            out[3 * x] = b, out[3 * x + 1] = g, out[3 * x + 2] = r;
        }
    }
    return rows;
}

} // namespace

extern "C" {

void SetJPEGQual(int quality) {
    jpegQuality.store(quality < 0 ? 0 : quality > 100 ? 100 : quality, std::memory_order_relaxed);
}

int SaveDib(DibImage image, const char* fileName, int format, void* /*owner*/) {
    return SaveDibAtQuality(image, fileName, format, jpegQuality.load(std::memory_order_relaxed));
}

// Writes image as a baseline JPEG with full-resolution colour (no chroma subsampling), which
// keeps coloured text of screen recordings crisp. Returns 0 on any failure.
int SaveDibAtQuality(DibImage image, const char* fileName, int format, int quality) {
    if (!fileName || format != kDibFormatJpeg || !pictavo::DibIsUsable(image))
        return 0;
    const int width = DibWidth(image), height = DibHeight(image);
    const uint8_t* rows = image.pixels;
    int pitch = image.bytesPerRow;
    int pixelFormat = TJPF_BGR;
    std::vector<uint8_t> widened;
    switch (DibBitCount(image)) {
    case 24:
        break;
    case 32:
        pixelFormat = TJPF_BGRX;
        break;
    default:
        widened = WidenToBgr(image);
        rows = widened.data();
        pitch = width * 3;
    }

    std::unique_ptr<void, TjHandleCloser> encoder(tjInitCompress());
    if (!encoder)
        return 0;
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    // The encoder needs a quality of at least 1.
    quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    const int status = tjCompress2(encoder.get(), rows, width, pitch, height, pixelFormat, &jpeg,
                                   &jpegSize, TJSAMP_444, quality, TJFLAG_BOTTOMUP);
    std::unique_ptr<unsigned char, TjBufferFreer> jpegOwner(jpeg);
    if (status != 0 || !jpeg)
        return 0;
    return WriteWholeFile(fileName, jpeg, jpegSize) ? 1 : 0;
}

} // extern "C"
