#include "swf/movie_stream.h"

#include "swf/objects.h"

#include <memory>
#include <utility>

namespace {

constexpr uint32_t kMaxFrameRate = 255;
constexpr uint32_t kFixedFrameBits = 17;
// The rectangle's bit count is a 5-bit field.
constexpr uint32_t kMaxFrameBits = 31;

// 17-bit fields whenever the size fits them, so ordinary movies keep their familiar header.
uint32_t FrameRectBits(int32_t widthTwips, int32_t heightTwips) {
    const uint32_t needed = BitsNeeded(MaxMagnitude(0, widthTwips, 0, heightTwips), 1);
    return needed <= kFixedFrameBits ? kFixedFrameBits : needed;
}

} // namespace

std::vector<uint8_t> MovieHeader(uint64_t fileLength, int32_t widthTwips, int32_t heightTwips,
                                 uint32_t framesPerSecond, uint32_t frameCount) {
    const uint32_t rectBits = FrameRectBits(widthTwips, heightTwips);
    if (framesPerSecond > kMaxFrameRate || rectBits > kMaxFrameBits || widthTwips < 0 ||
        heightTwips < 0)
        return {};
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
    return {header.Bytes(), header.Bytes() + header.BytePos()};
}

FMovieStream::FMovieStream(FByteSink write, int32_t widthTwips, int32_t heightTwips,
                           uint32_t framesPerSecond)
    : write_(std::move(write)), widthTwips_(widthTwips), heightTwips_(heightTwips),
      framesPerSecond_(framesPerSecond) {
    const std::vector<uint8_t> placeholder =
        MovieHeader(0, widthTwips, heightTwips, framesPerSecond, 0);
    if (placeholder.empty()) {
        state_ = FMovieWrite::Refused;
        return;
    }
    FSWFStream bytes;
    for (size_t i = 0; i < placeholder.size(); ++i)
        bytes.PutByte(0);
    Write(bytes);
}

void FMovieStream::Write(FSWFStream& bytes) {
    written_ += bytes.TotalSize();
    if (bytes.Overflowed() || written_ > 0xFFFFFFFFu)
        state_ = FMovieWrite::Refused;
    else if (!bytes.WriteOut(write_))
        state_ = FMovieWrite::Failed;
}

void FMovieStream::Add(FObj* tag) {
    const std::unique_ptr<FObj> owned(tag);
    if (tag->EndsFrame() && ++frameCount_ > kMaxMovieFrames)
        state_ = FMovieWrite::Refused;
    if (state_ != FMovieWrite::Written)
        return;
    if (tag->ExceedsFormatLimits()) {
        state_ = FMovieWrite::Refused;
        return;
    }
    FSWFStream bytes;
    tag->WriteTo(bytes);
    Write(bytes);
}

FMovieWrite FMovieStream::Finish(std::vector<uint8_t>& header) {
    if (state_ == FMovieWrite::Written && CharacterIdsExhausted())
        state_ = FMovieWrite::Refused;
    if (state_ != FMovieWrite::Written)
        return state_;
    FSWFStream end;
    end.PutTag(0, 0, nullptr);
    Write(end);
    if (state_ == FMovieWrite::Written)
        header = MovieHeader(written_, widthTwips_, heightTwips_, framesPerSecond_, frameCount_);
    return state_;
}
