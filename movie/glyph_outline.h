// Outlines of single characters of a system font, in the coordinates the movie's
// embedded fonts use: a font 1000 units high (ascent + descent) with y pointing down.
//
// A face name resolves through fontconfig to a scalable font file (the resolution the
// preview's Qt uses too, so both show the same face); FreeType reads the outline.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct GlyphPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const GlyphPoint&) const = default;
};

// One edge of a contour in absolute glyph coordinates; a straight edge uses anchor only.
struct GlyphEdge {
    bool curved = false;
    GlyphPoint control;
    GlyphPoint anchor;
};

// A closed contour: the edges lead from start back to start.
struct GlyphContour {
    GlyphPoint start;
    std::vector<GlyphEdge> edges;
};

struct GlyphOutline {
    std::vector<GlyphContour> contours; // empty for a blank character such as the space
    int32_t advance = 0;                // in units of the 1000-high font
};

// The Unicode code point of an 8-bit character in the Windows-1252 code page.
uint32_t Windows1252ToUnicode(uint8_t code);

// Opens each face once and keeps it for the life of the cache (one movie build).
class GlyphFaceCache {
public:
    GlyphFaceCache();
    ~GlyphFaceCache();
    GlyphFaceCache(const GlyphFaceCache&) = delete;
    GlyphFaceCache& operator=(const GlyphFaceCache&) = delete;

    // Fills outline with the character's contours and advance. Returns false (and an
    // empty outline) when no scalable face can be found for fontName.
    bool LoadGlyph(const std::string& fontName, uint8_t code, GlyphOutline& outline);

    // The font file fontName resolves to, empty if none.
    std::string ResolvedFile(const std::string& fontName);

private:
    struct Face;
    Face* FaceFor(const std::string& fontName);

    void* library_ = nullptr; // FT_Library
    std::map<std::string, std::unique_ptr<Face>> faces_;
};
