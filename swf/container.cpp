#include "swf/container.h"

#include "swf/objects.h"
#include "swf/stream.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

constexpr uint32_t kMaxFrames = 0xFFFF;
constexpr uint32_t kMaxFrameRate = 255;
constexpr uint32_t kFixedFrameBits = 17;
// The rectangle's bit count is a 5-bit field.
constexpr uint32_t kMaxFrameBits = 31;

// 17-bit fields whenever the size fits them, so ordinary movies keep their familiar header.
uint32_t FrameRectBits(int32_t widthTwips, int32_t heightTwips) {
    const uint32_t needed = BitsNeeded(MaxMagnitude(0, widthTwips, 0, heightTwips), 1);
    return needed <= kFixedFrameBits ? kFixedFrameBits : needed;
}

uint32_t FrameRectBytes(uint32_t bits) {
    return (5 + 4 * bits + 7) / 8;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

FObjCollection::~FObjCollection() {
    for (FObj* tag : tags) {
        delete tag;
    }
}

void FObjCollection::Add(FObj* tag) {
    if (tag->EndsFrame()) {
        ++frameCount;
    }
    tags.push_back(tag);
}

bool FObjCollection::ExceedsFormatLimits() const {
    if (frameCount > kMaxFrames || CharacterIdsExhausted()) {
        return true;
    }
    for (const FObj* tag : tags) {
        if (tag->ExceedsFormatLimits()) {
            return true;
        }
    }
    return false;
}

bool FObjCollection::Compose(FSWFStream& movie, int32_t widthTwips, int32_t heightTwips,
                             uint32_t framesPerSecond) {
    const uint32_t rectBits = FrameRectBits(widthTwips, heightTwips);
    if (framesPerSecond > kMaxFrameRate || rectBits > kMaxFrameBits || widthTwips < 0 ||
        heightTwips < 0) {
        return false;
    }
    if (ExceedsFormatLimits()) {
        ResetCharacterIds();
        return false;
    }

    const uint32_t headerSize = 12 + FrameRectBytes(rectBits);
    for (uint32_t i = 0; i < headerSize; ++i) {
        movie.PutByte(0);
    }
    for (FObj* tag : tags) {
        tag->WriteTo(movie);
    }
    movie.PutTag(0, 0, nullptr);

    // The file length is a 32-bit field; a value too wide for its field corrupts the rest.
    const uint64_t fileLength = movie.TotalSize();
    if (fileLength > 0xFFFFFFFFu || movie.Overflowed()) {
        ResetCharacterIds();
        return false;
    }
    FSWFStream header;
    header.PutByte('F');
    header.PutByte('W');
    header.PutByte('S');
    header.PutByte(4);
    header.PutU32(static_cast<uint32_t>(fileLength));
    header.PutBits(rectBits, 5);
    header.PutBits(0, rectBits);
    header.PutBits(static_cast<uint32_t>(widthTwips), rectBits);
    header.PutBits(0, rectBits);
    header.PutBits(static_cast<uint32_t>(heightTwips), rectBits);
    header.Align();
    header.PutByte(0); // frame rate, 8.8 fixed point: no fraction
    header.PutByte(static_cast<uint8_t>(framesPerSecond));
    header.PutU16(static_cast<uint16_t>(frameCount));
    std::memcpy(movie.Bytes(), header.Bytes(), headerSize);
    return true;
}

bool FObjCollection::WriteMovie(const char* fileName, int32_t widthTwips, int32_t heightTwips,
                                uint32_t framesPerSecond) {
    FSWFStream movie;
    if (!Compose(movie, widthTwips, heightTwips, framesPerSecond)) {
        return false;
    }

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "wb"));
    if (!file) {
        return false;
    }
    ResetCharacterIds();
    bool complete = movie.WriteOut(file.get());
    complete = std::fflush(file.get()) == 0 && complete;
    complete = std::fclose(file.release()) == 0 && complete;
    std::error_code error;
    if (!complete && std::filesystem::is_regular_file(fileName, error)) {
        // An incomplete movie is a corrupt file: leave none behind (but never touch a device).
        std::remove(fileName);
    }
    return complete;
}

FMovieWrite FObjCollection::WriteMovie(const FByteSink& write, int32_t widthTwips,
                                       int32_t heightTwips, uint32_t framesPerSecond) {
    FSWFStream movie;
    if (!Compose(movie, widthTwips, heightTwips, framesPerSecond)) {
        return FMovieWrite::Refused;
    }
    ResetCharacterIds();
    return movie.WriteOut(write) ? FMovieWrite::Written : FMovieWrite::Failed;
}
