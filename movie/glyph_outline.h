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
#include <utility>
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

// Opens each face once and keeps it for the life of the cache (one movie build).
class GlyphFaceCache {
public:
    GlyphFaceCache();
    ~GlyphFaceCache();
    GlyphFaceCache(const GlyphFaceCache&) = delete;
    GlyphFaceCache& operator=(const GlyphFaceCache&) = delete;

    // Fills outline with the character's contours and advance. A character the face lacks
    // comes from the first font of the face's fallback list that has it, at the face's size
    // and baseline, as the preview draws it; when no font has it, the face's default glyph
    // shows. Returns false (and an empty outline) when no scalable face can be found for
    // fontName.
    bool LoadGlyph(const std::string& fontName, char32_t character, GlyphOutline& outline);

    // The font file fontName resolves to, empty if none.
    std::string ResolvedFile(const std::string& fontName);

private:
    struct Face;
    Face* FaceFor(const std::string& fontName);
    Face* FallbackFor(const std::string& fontName, char32_t character);
    Face* OpenFace(const std::string& file);
    // The best scalable match for fontName that has the character (0: any character).
    std::string MatchingFile(const std::string& fontName, char32_t character);

    void* library_ = nullptr;                                     // FT_Library
    std::map<std::string, Face*> faces_;                          // by face name
    std::map<std::pair<std::string, char32_t>, Face*> fallbacks_; // by face name and character
    std::map<std::string, std::unique_ptr<Face>> openFiles_;      // by font file, each opened once
};
