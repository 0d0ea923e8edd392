// The document of a run: the object list, the pointer track and the movie settings. Plain
// C++; windows and the command-line program drive it.
#pragma once

#include "imaging/dib_image.h"
#include "model/color_value.h"
#include "model/dyna_array.h"

#include <cstdint>
#include <string>

enum ObjectKind : int32_t {
    KindText = 0,
    KindVector = 1,
    KindPicture = 2,
    KindButton = 3,
};

enum VectorShape : int32_t {
    ShapeRectangle = 0,
    ShapeEllipse = 1,
};

struct ObjectState {
    int32_t Left; // pixels, movie coordinates, origin top left
    int32_t Top;
    int32_t Right;        // exclusive
    int32_t Bottom;       // exclusive
    int32_t FontSize;     // pixels
    int32_t Rotation;     // tenths of a degree
    int32_t Time;         // milliseconds from the movie's start
    int32_t Transparency; // 0 (opaque) to 100
    int32_t Color;        // 0x00BBGGRR or a system-colour reference (top bit set)
};
static_assert(sizeof(ObjectState) == 36);

// One record of the object list. Owns Text, FontName (malloc'ed, NUL-terminated) and Image.
struct AnimObject {
    ObjectState Start;
    ObjectState End;
    int32_t Kind;  // ObjectKind
    int32_t Shape; // VectorShape for Vector objects, 0 otherwise
    char* Text;
    char* FontName;
    bool RemoveWhenFinished;
    DibImage Image; // 24 bits per pixel for pictures; all zero for other kinds
};

struct PointerSample {
    int32_t X;    // pixels from the capture area's left edge
    int32_t Y;    // pixels from the capture area's top edge
    int32_t Time; // milliseconds since the recording started
};
static_assert(sizeof(PointerSample) == 12);

// Screen rectangle, both ends inclusive.
struct CaptureArea {
    int32_t Left;
    int32_t Top;
    int32_t Right;
    int32_t Bottom;
};

constexpr const char* kProgramTitle = "Vantrel Clipmoor 1.0";
constexpr const char* kDefaultFontName = "Arial Black";
constexpr int32_t kDefaultFontSize = 24;
constexpr int32_t kDefaultMovieWidth = 500;
constexpr int32_t kDefaultMovieHeight = 300;
constexpr int32_t kDefaultFramesPerSecond = 5;
constexpr int32_t kDefaultCompression = 25;
constexpr int32_t kMinFramesPerSecond = 1;
constexpr int32_t kMaxFramesPerSecond = 120;
constexpr int32_t kMinCompression = 0;
constexpr int32_t kMaxCompression = 100;

// The lists hand out pointers into themselves through their cursor variables, so a
// Project never moves; use ExchangeDocument to swap a loaded document in.
struct Project {
    Project() = default;
    Project(const Project&) = delete;
    Project& operator=(const Project&) = delete;

    AnimObject* CurrentObject = nullptr;
    PointerSample* CurrentSample = nullptr;

    TDynaArray<AnimObject> Objects{&CurrentObject};
    TDynaArray<PointerSample> PointerTrack{&CurrentSample};

    int32_t MovieWidth = kDefaultMovieWidth;
    int32_t MovieHeight = kDefaultMovieHeight;
    int32_t FramesPerSecond = kDefaultFramesPerSecond; // 1 to 120
    int32_t Compression = kDefaultCompression;         // 0 to 100
    CaptureArea Area{0, 0, 0, 0};
    std::string CurrentFileName; // empty: the project has no file yet
    int32_t CurrentFontSize = kDefaultFontSize;
    std::string ProgramFolder; // folder of the executable, ending in '/'
};
