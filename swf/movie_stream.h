// A movie written tag by tag while it is made. Each tag goes to the sink when it is added and is
// deleted at once, so a long movie never sits in memory whole and its file grows while later
// frames are still being made. The header's file length and frame count are known only at the
// end: Finish gives the header to put over the placeholder at the start of the file.
#pragma once

#include "swf/container.h"
#include "swf/stream.h"

#include <cstdint>
#include <vector>

class FObj;

// The frame count is a 16-bit field.
constexpr uint32_t kMaxMovieFrames = 0xFFFF;

// The header of an uncompressed SWF file of version 4, or empty when the frame size or rate
// cannot be expressed. The frame rectangle keeps 17-bit fields whenever the size fits them.
std::vector<uint8_t> MovieHeader(uint64_t fileLength, int32_t widthTwips, int32_t heightTwips,
                                 uint32_t framesPerSecond, uint32_t frameCount);

class FMovieStream {
public:
    // Writes a placeholder as long as the header; the movie is refused (nothing written) when
    // the frame size or rate cannot be expressed.
    FMovieStream(FByteSink write, int32_t widthTwips, int32_t heightTwips,
                 uint32_t framesPerSecond);
    FMovieStream(const FMovieStream&) = delete;
    FMovieStream& operator=(const FMovieStream&) = delete;

    // Takes ownership of tag (not null), writes it and deletes it. Once the movie is refused
    // or a write failed, tags are only deleted: a tag whose content does not fit its fields,
    // or a tag after the 65,535th frame, refuses the movie.
    void Add(FObj* tag);
    // Written while every tag so far fitted and was written.
    FMovieWrite State() const { return state_; }
    // Writes the end tag and gives the header (State() is Written), else the reason none is
    // given: Refused also when the character ids ran out or the file outgrew its length field.
    FMovieWrite Finish(std::vector<uint8_t>& header);

private:
    void Write(FSWFStream& bytes);

    FByteSink write_;
    const int32_t widthTwips_;
    const int32_t heightTwips_;
    const uint32_t framesPerSecond_;
    uint64_t written_ = 0;
    uint32_t frameCount_ = 0;
    FMovieWrite state_ = FMovieWrite::Written;
};
