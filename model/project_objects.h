// Operations on the Project that windows, the recorder and the command-line program share:
// releasing objects, making new objects with their defaults, the object list's row texts,
// the window title and the JPEG quality rule.
#pragma once

#include "model/project.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// --- Releasing objects ---------------------------------------------------------------

// Releases what one object owns (Text, FontName, Image, glyph advances a build left behind)
// and leaves the pointers null and the Image all zero. The record itself stays in the list.
void ReleaseObject(AnimObject& object);

// Releases every object in list order, then empties the object list. The pointer track is
// not touched.
void ClearObjects(Project& project);

// Releases object i and removes it from the list; indexes outside the list change nothing.
void DeleteObject(Project& project, int32_t index);

// --- New objects ---------------------------------------------------------------------

struct ObjectPlacement {
    int32_t x;
    int32_t y;
};

// Where the n-th object (n counts the new object itself) goes in a movie of the given size:
// steps of 10 pixels that wrap within the upper left quarter. A movie narrower or lower than
// 2 pixels has no quarter to wrap in; the object then sits at 0 on that axis.
ObjectPlacement PlaceNewObject(int32_t objectCount, int32_t movieWidth, int32_t movieHeight);

// Text and Vector objects at the placement position, with the default font, times 0 and
// 1000 and "Text" as text. Each returns the new object, which is also the current one.
AnimObject* AddTextObject(Project& project);
AnimObject* AddVectorObject(Project& project);

// A picture the user inserted. The object takes ownership of `picture`, which must already
// be 24 bits per pixel. The box is 40 x 40 whatever the picture's size.
AnimObject* AddPictureObject(Project& project, const DibImage& picture);

// The "Picture" command of the editor and `clipmoor-cli add-picture`: reads fileName with the
// loaded image library, converts it to 24 bits per pixel and adds it as a picture object
// (AddPictureObject). On failure the project is unchanged and `error` is the message to show.
struct PictureObjectResult {
    AnimObject* object = nullptr;
    const char* error = nullptr;
};
PictureObjectResult AddPictureFromFile(Project& project, const std::string& fileName);

// The changed box of one capture, both ends inclusive, in top-down coordinates of the
// capture area (row 0 is the top line).
struct ChangedBox {
    int32_t x0;
    int32_t y0;
    int32_t x1;
    int32_t y1;
};

// The object the recorder appends for one captured change. `picture` holds the box's
// pixels (24 bits per pixel) and becomes the object's; `timeMs` counts from the start of
// the recording. The box lands one pixel right and down of the capture position.
AnimObject* AddRecordedFrame(Project& project, const ChangedBox& box, int32_t timeMs,
                             const DibImage& picture);

// --- Object list rows ----------------------------------------------------------------

// Two rows per object: its Start state, then (indented) its End state.
std::string ObjectRowText(const AnimObject& object, bool endRow);
std::vector<std::string> ObjectListRows(const Project& project);

struct ObjectRow {
    int32_t objectIndex;
    bool isEnd;
};

inline ObjectRow RowToObject(int32_t row) {
    return {row / 2, row % 2 == 1};
}
inline int32_t StartRowOf(int32_t objectIndex) {
    return 2 * objectIndex;
}
inline int32_t EndRowOf(int32_t objectIndex) {
    return 2 * objectIndex + 1;
}

// --- Title and settings --------------------------------------------------------------

// "Vantrel Clipmoor 1.0 - [name.fmo]" with the file name stripped of its folder, or
// "[noname.fmo]" while the project has no file.
std::string WindowTitle(const std::string& currentFileName);

// Stores the current file name and returns the window title that goes with it.
std::string SetCurrentFileName(Project& project, const std::string& fileName);

// The image library's JPEG quality for a compression setting.
inline int32_t JpegQuality(int32_t compression) {
    return 100 - compression;
}

// The colour alpha (0 clear, 255 opaque) of a state's transparency (0 opaque to 100); the
// movie and the preview draw with the same one.
inline int32_t TransparencyAlpha(int32_t transparency) {
    return static_cast<int32_t>(
        std::clamp<int64_t>((100 - int64_t{transparency}) * 255 / 100, 0, 255));
}
