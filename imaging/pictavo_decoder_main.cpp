// pictavo-decoder: decodes one untrusted picture file for the image library, inside the
// limits the library asks for, and writes the DIB's pixels and colour table to its output
// file (see decoder_protocol.h). A crash, a hang or a limit reached here costs the program
// nothing but the picture.
#include "imaging/decoder_limits.h"
#include "imaging/decoder_protocol.h"
#include "imaging/dib_block.h"
#include "imaging/picture_decode.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBadArguments = 2, kNotDecoded = 3, kNotWritten = 4;

bool ReadInput(std::vector<uint8_t>& data, int64_t limit) {
    struct stat info {};
    if (fstat(0, &info) != 0 || info.st_size <= 0 || info.st_size > limit)
        return false;
    data.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t got = pread(0, data.data() + done, data.size() - done, off_t(done));
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

bool WriteAll(const void* bytes, size_t count, int64_t offset) {
    const auto* at = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        const ssize_t written = pwrite(1, at, count, off_t(offset));
        if (written <= 0)
            return false;
        at += written, count -= size_t(written), offset += written;
    }
    return true;
}

bool WritePicture(const DibImage& image) {
    pictavo::DecodedPicture record{};
    record.magic = pictavo::kDecodedMagic;
    record.width = DibWidth(image);
    record.height = DibHeight(image);
    record.bitsPerPixel = DibBitCount(image);
    record.bytesPerRow = image.bytesPerRow;
    if (record.bitsPerPixel <= 8) {
        record.colorCount = static_cast<int32_t>(image.info->bmiHeader.biClrUsed);
        std::memcpy(record.colors, image.info->bmiColors, sizeof record.colors);
    }
    const size_t pixelBytes = size_t(image.bytesPerRow) * size_t(record.height);
    return WriteAll(image.pixels, pixelBytes, pictavo::kDecodedPixelsOffset) &&
           WriteAll(&record, sizeof record, 0);
}

} // namespace

int main(int argc, char** argv) {
    pictavo::DecoderLimits limits;
    bool tgaByName = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--tga") {
            tgaByName = true;
            continue;
        }
        if (i + 1 >= argc)
            return kBadArguments;
        const int64_t value = std::strtoll(argv[++i], nullptr, 10);
        if (name == "--cpu-seconds")
            limits.cpuSeconds = value;
        else if (name == "--memory-bytes")
            limits.memoryBytes = value;
        else if (name == "--output-bytes")
            limits.outputBytes = value;
        else
            return kBadArguments;
    }
    if (limits.outputBytes <= pictavo::kDecodedPixelsOffset || !pictavo::ApplyDecoderLimits(limits))
        return kBadArguments;

    std::vector<uint8_t> data;
    if (!ReadInput(data, pictavo::kMaxPictureFileBytes))
        return kNotDecoded;
    const pictavo::PictureHeader header =
        pictavo::ReadPictureHeader(data.data(), data.size(), tgaByName);
    DibImage image{};
    if (!pictavo::HeaderAllowsDecoding(header, data.size()) ||
        !pictavo::DecodePicture(data.data(), data.size(), header, &image))
        return kNotDecoded;
    const bool written = WritePicture(image);
    pictavo::ReleaseDib(image);
    return written ? 0 : kNotWritten;
}
