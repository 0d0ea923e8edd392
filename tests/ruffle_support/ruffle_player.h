// Plays movies in the open-source Flash emulator's web build (headless Chromium, driven by
// tools/swfplay/swfplay.mjs) and hands back what the screen showed at given movie times.
//
// Movie time 0 is the moment the first frame shows; frame k (counting from 0) shows from
// k * 1000 / frameRate ms on.  The page's clock is a fake one moved forward by the harness, so
// results do not depend on the machine's speed.  Shots are exact except within 16 ms (one
// animation frame of the browser) before a frame change, where they may already show the next
// frame: ask for times in the middle of a frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruffle_support {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// True when every channel differs by at most tolerance.
bool ColorNear(Rgb a, Rgb b, int tolerance);

// Inclusive pixel box.
struct PixelBox {
    int left = 0, top = 0, right = -1, bottom = -1;
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
    bool operator==(const PixelBox&) const = default;
};

struct RuffleShot {
    int atMs = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // rows top-down, 3 bytes a pixel

    Rgb At(int x, int y) const; // x, y must lie inside the shot
    // Number of pixels within tolerance of colour.
    int CountNear(Rgb colour, int tolerance) const;
    // The smallest box holding every pixel within tolerance of colour; none if there is none.
    std::optional<PixelBox> BoxOf(Rgb colour, int tolerance) const;
};

struct RuffleOptions {
    // Play this page (a file that embeds the movie with <object>/<embed>) instead of a bare
    // movie; the emulator's script line is added when the page has none.
    std::string pagePath;
    std::string renderer = "canvas"; // or "webgl" (software rendering)
    int timeoutMs = 60000;           // for each step: browser start, loading, each shot
    // Keep the PNG and PPM shots in this folder; by default a temporary folder is removed.
    std::string keepDir;
};

struct RufflePlayback {
    std::vector<RuffleShot> shots; // in the order of the requested times
    std::string renderer;          // what the emulator ran with
    int movieWidth = 0, movieHeight = 0;
    double frameRate = 0;
    int totalMs = 0; // wall time of the whole run
};

// Plays swfPath (or options.pagePath) in a browser window of width x height pixels and takes a
// shot at each time.  One browser serves all shots of a call.  On failure returns nothing and
// sets *error; when node, Chromium or the npm packages are missing, the message says to run
// ./test.sh.
std::optional<RufflePlayback> PlayMovie(const std::string& swfPath, int width, int height,
                                        const std::vector<int>& timesMs, std::string* error,
                                        const RuffleOptions& options = {});

// Shorthand for PlayMovie that returns only the shots (empty on failure).
std::vector<RuffleShot> PlayInEmulator(const std::string& swfPath, int width, int height,
                                       std::vector<int> timesMs, std::string* error);

} // namespace ruffle_support
