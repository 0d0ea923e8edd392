#include "movie/glyph_shape.h"

#include "swf/swf.h"

void AppendGlyphRecords(FShape& shape, const GlyphOutline& outline) {
    for (const GlyphContour& contour : outline.contours) {
        // Glyph contours are filled from fill style 0 (the font's only fill).
        shape.AddRecord(new FShapeRecChange(0, 1, 1, 1, 1, contour.start.x, contour.start.y, 1, 0,
                                            0, nullptr, nullptr));
        GlyphPoint at = contour.start;
        for (const GlyphEdge& edge : contour.edges) {
            if (edge.curved) {
                shape.AddRecord(new FShapeRecEdgeCurved(
                    edge.control.x - at.x, edge.control.y - at.y, edge.anchor.x - edge.control.x,
                    edge.anchor.y - edge.control.y));
            } else {
                shape.AddRecord(
                    new FShapeRecEdgeStraight(edge.anchor.x - at.x, edge.anchor.y - at.y));
            }
            at = edge.anchor;
        }
    }
    shape.AddRecord(new FShapeRecEnd());
}

int32_t BuildGlyphShape(FShape& shape, char32_t character, const char* fontName,
                        GlyphFaceCache& faces) {
    GlyphOutline outline;
    faces.LoadGlyph(fontName ? fontName : "", character, outline);
    AppendGlyphRecords(shape, outline);
    return outline.advance;
}
