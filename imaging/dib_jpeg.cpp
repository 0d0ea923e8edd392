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
#include <cstdlib>
#include <vector>

namespace {

// The only state the library keeps between calls. Atomic: pictures may be encoded on
// several threads while another sets the quality.
std::atomic<int> jpegQuality{75};

// A compressor and an output buffer for each thread, kept from picture to picture. A buffer
// made for each picture lands in fresh pages (the thread's heap moves on as the JPEGs read
// back are kept), which costs a page fault for every 4 KB of JPEG. The buffer holds the
// largest JPEG a picture of the size can give, so the encoder never reallocates it; only
// the pages a JPEG is written to are ever touched.
class ThreadEncoder {
public:
    ThreadEncoder() = default;
    ThreadEncoder(const ThreadEncoder&) = delete;
    ThreadEncoder& operator=(const ThreadEncoder&) = delete;
    ~ThreadEncoder() {
        std::free(buffer_);
        if (handle_)
            tjDestroy(handle_);
    }
    // Null when the encoder cannot be made.
    tjhandle Handle() {
        if (!handle_)
            handle_ = tjInitCompress();
        return handle_;
    }
    // At least `bytes`; null when there is not that much memory.
    unsigned char* Buffer(size_t bytes) {
        if (bytes > capacity_) {
            std::free(buffer_);
            buffer_ = static_cast<unsigned char*>(std::malloc(bytes));
            capacity_ = buffer_ ? bytes : 0;
        }
        return buffer_;
    }

private:
    tjhandle handle_ = nullptr;
    unsigned char* buffer_ = nullptr;
    size_t capacity_ = 0;
};
thread_local ThreadEncoder threadEncoder;

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

    const unsigned long worstSize = tjBufSize(width, height, TJSAMP_444);
    tjhandle encoder = threadEncoder.Handle();
    unsigned char* jpeg =
        worstSize != static_cast<unsigned long>(-1) ? threadEncoder.Buffer(worstSize) : nullptr;
    if (!encoder || !jpeg)
        return 0;
    unsigned long jpegSize = worstSize;
    // The encoder needs a quality of at least 1.
    quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    const int status =
        tjCompress2(encoder, rows, width, pitch, height, pixelFormat, &jpeg, &jpegSize, TJSAMP_444,
                    quality, TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC);
    if (status != 0)
        return 0;
    return WriteWholeFile(fileName, jpeg, jpegSize) ? 1 : 0;
}

} // extern "C"
