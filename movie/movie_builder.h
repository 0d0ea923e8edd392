// Turns a whole Project into one SWF movie: recorded frames and pictures as JPEG bitmaps,
// texts as embedded glyph outlines, rectangles and ellipses as morph shapes, and the
// recorded pointer as an arrow that follows its track.
#pragma once

#include "model/project.h"
#include "model/result.h"

#include <cstdint>
#include <functional>
#include <string>

inline constexpr const char* kMovieTooManyFramesMessage =
    "The movie is too long: it would need more than 65535 frames.";
inline constexpr const char* kMovieTooManyDepthsMessage =
    "The movie is too long: it would need more than 65535 display depths.";
inline constexpr const char* kMovieTooManyCharactersMessage =
    "The movie is too long: it would need more than 65535 characters.";
inline constexpr const char* kMovieExceedsFormatMessage =
    "The movie holds more than the Flash file format can express.";
inline constexpr const char* kMovieBadFrameRateMessage =
    "The frame rate must be between 1 and 120 frames per second.";

// Called after every finished frame with the frames done and the movie's frame count.
using MovieProgress = std::function<void(int32_t framesDone, int32_t frameCount)>;

struct MovieSettings {
    double framesPerSecond; // 1 to 120; anything else is refused
    int32_t jpegQuality;    // 0 to 100, for recorded frames and pictures
    // Threads that encode pictures at once; 0: as many as the machine runs at once. The
    // movie is the same whatever the number.
    int32_t encodingThreads = 0;
};

// Why the project's sizes and positions cannot become a correct movie, or empty when they can.
std::string ProjectLimitProblem(const Project& project);

// Checks that the project and frame rate can make a movie, and turns every object forward in
// time (exchanges Start.Time and End.Time where End.Time < Start.Time).
Result PrepareMovieProject(Project& project, double framesPerSecond);

// Builds the movie and writes it to fileName. Pictures are encoded with the image library
// at settings.jpegQuality, so the library must be loaded. Exchanges Start.Time and
// End.Time where End.Time < Start.Time; nothing else of the Project changes.
Result BuildMovie(Project& project, const std::string& fileName, const MovieSettings& settings,
                  const MovieProgress& progress = {});
