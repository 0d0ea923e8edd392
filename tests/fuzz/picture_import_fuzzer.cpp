// Feeds arbitrary bytes to picture import as the program runs it: header checks and
// reading the decoder helper's output here, the decoding in the helper. The first byte
// picks the file's extension among the twelve kinds. A helper that crashes or hangs is an
// expected outcome (the import fails); any fault on this side is what is looked for.
#include "imaging/dib_image.h"
#include "imaging/pictavo.h"
#include "imaging/picture_import.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

const char* const kExtensions[] = {".bmp", ".dib", ".rle", ".gif", ".iff", ".lbm",
                                   ".jpg", ".jif", ".pcx", ".tga", ".tif", ".png"};
constexpr size_t kKinds = sizeof kExtensions / sizeof kExtensions[0];

std::string ScratchPath(const char* extension) {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/clipmoor-picture-fuzz-" +
           std::to_string(getpid()) + extension;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "picture import fuzzer: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")) {
        std::fprintf(stderr, "%s (looked in %s)\n", kPictavoLoadError, CLIPMOOR_PROGRAM_DIR);
        std::exit(1);
    }
    // Inputs that make a decoder spin cost a second, not the default few.
    setenv("PICTAVO_DECODE_TIMEOUT_MS", "1000", 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const std::string path = ScratchPath(kExtensions[data[0] % kKinds]);
    FILE* file = std::fopen(path.c_str(), "wb");
    Check(file != nullptr, "cannot write the scratch file");
    Check(std::fwrite(data + 1, 1, size - 1, file) == size - 1 && std::fclose(file) == 0,
          "cannot write the scratch file");

    PictureImport imported = ImportPictureFile(path);
    std::remove(path.c_str());
    if (!imported.ok()) {
        Check(std::strcmp(imported.error, kCannotOpenPicture) == 0 ||
                  std::strcmp(imported.error, kCannotChangeColorDepth) == 0,
              "an unknown message");
        Check(imported.image.pixels == nullptr, "a failed import kept a picture");
        return 0;
    }
    const DibImage& image = imported.image;
    Check(DibBitCount(image) == 24 && DibWidth(image) > 0 && DibHeight(image) > 0 &&
              image.bytesPerRow >= DibWidth(image) * 3,
          "an imported picture is not a sane 24-bit picture");
    // Every pixel byte is read, so the sanitizer sees a picture smaller than it claims.
    unsigned sum = 0;
    for (int32_t y = 0; y < DibHeight(image); ++y) {
        const uint8_t* row = DibRow(image, y);
        for (int32_t x = 0; x < DibWidth(image) * 3; ++x)
            sum += row[x];
    }
    volatile unsigned keep = sum; // the reads must not be optimised away
    (void)keep;
    Pictavo().deldib(imported.image);
    return 0;
}
