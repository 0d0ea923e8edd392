#include "swf/container.h"

#include "swf/movie_stream.h"
#include "swf/objects.h"
#include "swf/stream.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

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
    if (frameCount > kMaxMovieFrames || CharacterIdsExhausted()) {
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
    const size_t headerSize = MovieHeader(0, widthTwips, heightTwips, framesPerSecond, 0).size();
    if (headerSize == 0) {
        return false;
    }
    if (ExceedsFormatLimits()) {
        ResetCharacterIds();
        return false;
    }

    for (size_t i = 0; i < headerSize; ++i) {
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
    const std::vector<uint8_t> header =
        MovieHeader(fileLength, widthTwips, heightTwips, framesPerSecond, frameCount);
    std::memcpy(movie.Bytes(), header.data(), headerSize);
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
