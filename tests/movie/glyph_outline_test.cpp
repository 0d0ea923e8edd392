#include "movie/glyph_outline.h"

#include <gtest/gtest.h>

namespace {

// Walks a contour and returns where it ends.
GlyphPoint EndOf(const GlyphContour& contour) {
    GlyphPoint at = contour.start;
    for (const GlyphEdge& edge : contour.edges)
        at = edge.anchor;
    return at;
}

TEST(GlyphOutline, FaceNamesResolveToScalableSystemFonts) {
    GlyphFaceCache cache;
    EXPECT_NE(cache.ResolvedFile("Arial").find("LiberationSans-Regular"), std::string::npos);
    // A face the system lacks falls back to a substitute that still has outlines.
    EXPECT_FALSE(cache.ResolvedFile("Arial Black").empty());
    EXPECT_FALSE(cache.ResolvedFile("No Such Face 12345").empty());
}

TEST(GlyphOutline, LettersAreClosedContoursInACellOfThousandUnits) {
    GlyphFaceCache cache;
    GlyphOutline h;
    ASSERT_TRUE(cache.LoadGlyph("Arial", 'H', h));
    // Liberation Sans: advance 1479 of 2048 units at a cell of 2288 units.
    EXPECT_NEAR(h.advance, 1479 * 1000 / 2288, 1);
    ASSERT_EQ(h.contours.size(), 1u);
    int32_t minY = 1 << 30, maxY = -(1 << 30);
    for (const GlyphContour& contour : h.contours) {
        EXPECT_EQ(EndOf(contour), contour.start);
        for (const GlyphEdge& edge : contour.edges) {
            EXPECT_FALSE(edge.curved);
            minY = std::min(minY, edge.anchor.y);
            maxY = std::max(maxY, edge.anchor.y);
        }
    }
    // y points down and is flipped against ascent + descent (810 - 190): the baseline
    // lies at 620 and the cap height (1409 units, about 616) reaches nearly to 0.
    EXPECT_NEAR(maxY, 620, 1);
    EXPECT_NEAR(minY, 620 - 1409 * 1000 / 2288, 2);
}

TEST(GlyphOutline, RoundLettersUseQuadraticEdges) {
    GlyphFaceCache cache;
    GlyphOutline o;
    ASSERT_TRUE(cache.LoadGlyph("Arial", 'o', o));
    ASSERT_EQ(o.contours.size(), 2u);
    size_t curved = 0;
    for (const GlyphContour& contour : o.contours) {
        EXPECT_EQ(EndOf(contour), contour.start);
        for (const GlyphEdge& edge : contour.edges)
            curved += edge.curved;
    }
    EXPECT_GT(curved, 8u);
}

TEST(GlyphOutline, BlankAndUnmappedCharacters) {
    GlyphFaceCache cache;
    GlyphOutline space;
    ASSERT_TRUE(cache.LoadGlyph("Arial", ' ', space));
    EXPECT_TRUE(space.contours.empty());
    EXPECT_GT(space.advance, 200);

    // 0x80 is the euro sign in the 8-bit code page, not a control character.
    EXPECT_EQ(Windows1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(Windows1252ToUnicode(0xE9), 0xE9u);
    EXPECT_EQ(Windows1252ToUnicode(0x81), 0x81u);
    GlyphOutline euro;
    ASSERT_TRUE(cache.LoadGlyph("Arial", 0x80, euro));
    EXPECT_FALSE(euro.contours.empty());
}

} // namespace
