// The outline of one character as a glyph shape of an embedded font.
#pragma once

#include "movie/glyph_outline.h"

#include <cstdint>

class FShape;

// Fills shape with the outline of the character in the named system font (one style-change
// record per contour, straight and curved edges, an end record) and returns its advance in
// units of a font 1000 units high. A character without an outline, or a face that cannot be
// found, gives a shape with only the end record.
int32_t BuildGlyphShape(FShape& shape, char32_t character, const char* fontName,
                        GlyphFaceCache& faces);

// Appends the records of an already loaded outline; used by BuildGlyphShape.
void AppendGlyphRecords(FShape& shape, const GlyphOutline& outline);
