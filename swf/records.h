#pragma once

#include <cstdint>
#include <string>

class FSWFStream;

// Rectangle in twips. The constructor takes (xMin, yMin, xMax, yMax); the fields are stored and
// written in the record's order xMin, xMax, yMin, yMax.
struct FRect {
    FRect(int32_t xMin, int32_t yMin, int32_t xMax, int32_t yMax)
        : xMin(xMin), xMax(xMax), yMin(yMin), yMax(yMax) {}
    // Bit count in 5 bits, the four values in that many bits, then byte-aligned.
    void WriteTo(FSWFStream& out) const;

    int32_t xMin;
    int32_t xMax;
    int32_t yMin;
    int32_t yMax;
};

// Colour; each component is written as its low 8 bits. The three-value form is RGB (alpha 255),
// the four-value form RGBA; tags that need one form set hasAlpha themselves.
struct FColor {
    FColor(int32_t r, int32_t g, int32_t b)
        : red(r), green(g), blue(b), alpha(255), hasAlpha(false) {}
    FColor(int32_t r, int32_t g, int32_t b, int32_t a)
        : red(r), green(g), blue(b), alpha(a), hasAlpha(true) {}
    void WriteTo(FSWFStream& out) const;

    int32_t red;
    int32_t green;
    int32_t blue;
    int32_t alpha;
    bool hasAlpha;
};

// A copy of an 8-bit text.
class FString {
public:
    explicit FString(const char* text) : text(text != nullptr ? text : "") {}
    // The characters, then a zero byte when terminate is set.
    void WriteTo(FSWFStream& out, bool terminate) const;
    const std::string& Text() const { return text; }

private:
    std::string text;
};
