#pragma once

#include "swf/stream.h"

#include <cstdint>
#include <vector>

class FObj;

enum class FMovieWrite { Written, Refused, Failed };

// A movie: the tags in display order, written as one uncompressed SWF file of version 4.
class FObjCollection {
public:
    FObjCollection() = default;
    FObjCollection(const FObjCollection&) = delete;
    FObjCollection& operator=(const FObjCollection&) = delete;
    // Deletes every tag, front to back.
    ~FObjCollection();

    // Takes ownership of tag (not null). A tag that ends a frame counts one frame.
    void Add(FObj* tag);

    // True when the movie cannot be written without corrupting it: more than 65,535 frames,
    // more character ids handed out than the 16-bit ids can number since the counter restarted,
    // or a tag whose content does not fit its fields. Callers check this to refuse with a message;
    // WriteMovie refuses such a movie as well.
    bool ExceedsFormatLimits() const;

    // Writes the movie to fileName. Returns true only when the complete file was written (open,
    // every write, flush and close succeeded). Returns false without creating a file when the
    // movie exceeds the format's limits, when framesPerSecond is above 255, or when the frame size
    // cannot be expressed; the library reports nothing itself.
    //
    // The frame rectangle keeps 17-bit fields whenever width and height fit them (up to 65,535
    // twips) and uses the smallest sufficient width otherwise. A file that could be opened but not
    // written completely is removed. The character-id counter restarts whenever the file could be
    // opened or the movie was refused for its limits; it keeps its value when the open failed.
    bool WriteMovie(const char* fileName, int32_t widthTwips, int32_t heightTwips,
                    uint32_t framesPerSecond);

    // The same movie through write, for callers that place the file themselves: Refused (the
    // library wrote nothing) where the other form returns false before opening, Failed when
    // write failed. The character-id counter restarts in every case.
    FMovieWrite WriteMovie(const FByteSink& write, int32_t widthTwips, int32_t heightTwips,
                           uint32_t framesPerSecond);

    uint32_t FrameCount() const { return frameCount; }
    const std::vector<FObj*>& Tags() const { return tags; }

private:
    // The whole file in movie; false (nothing composed) when the movie is refused.
    bool Compose(FSWFStream& movie, int32_t widthTwips, int32_t heightTwips,
                 uint32_t framesPerSecond);

    uint32_t frameCount = 0;
    std::vector<FObj*> tags;
};
