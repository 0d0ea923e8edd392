#include "movie/glyph_outline.h"

#include <gtest/gtest.h>

#include <vector>

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

    GlyphOutline euro;
    ASSERT_TRUE(cache.LoadGlyph("Arial", U'€', euro));
    EXPECT_FALSE(euro.contours.empty());
}

// Every point of an outline in drawing order.
std::vector<GlyphPoint> Points(const GlyphOutline& outline) {
    std::vector<GlyphPoint> points;
    for (const GlyphContour& contour : outline.contours) {
        points.push_back(contour.start);
        for (const GlyphEdge& edge : contour.edges)
            points.insert(points.end(), {edge.control, edge.anchor});
    }
    return points;
}

TEST(GlyphOutline, CharactersBeyondTheCodePageAreLookedUpByCodePoint) {
    GlyphFaceCache cache;
    // This face draws the Greek and the Cyrillic capital A like the Latin one.
    GlyphOutline latin, greek, cyrillic, omega;
    ASSERT_TRUE(cache.LoadGlyph("Arial", U'A', latin));
    ASSERT_TRUE(cache.LoadGlyph("Arial", U'Α', greek));
    ASSERT_TRUE(cache.LoadGlyph("Arial", U'А', cyrillic));
    ASSERT_TRUE(cache.LoadGlyph("Arial", U'Ω', omega));
    EXPECT_EQ(Points(greek), Points(latin));
    EXPECT_EQ(Points(cyrillic), Points(latin));
    EXPECT_EQ(greek.advance, latin.advance);
    EXPECT_NE(Points(omega), Points(latin));
}

// As in the preview: a character the face lacks comes from the first font of its fallback
// list that has it, at the face's em size; one no font has shows the face's default glyph.
TEST(GlyphOutline, MissingCharactersComeFromAFallbackFont) {
    GlyphFaceCache cache;
    GlyphOutline check, replacement, nowhere, own;
    ASSERT_TRUE(cache.LoadGlyph("Arial", U'✓', check)); // DejaVu Sans has it, Liberation not
    ASSERT_TRUE(cache.LoadGlyph("Arial", U'\uFFFD', replacement));
    ASSERT_TRUE(cache.LoadGlyph("Arial", U'\uE000', nowhere));
    ASSERT_TRUE(cache.LoadGlyph("DejaVu Sans", U'✓', own));
    EXPECT_FALSE(nowhere.contours.empty()) << "the default glyph";
    for (const GlyphOutline* found : {&check, &replacement}) {
        EXPECT_FALSE(found->contours.empty());
        EXPECT_NE(Points(*found), Points(nowhere));
    }
    // Same em: DejaVu Sans fills a cell of 2384 units, Liberation Sans 2288, both 2048 an em.
    EXPECT_NEAR(check.advance, own.advance * 2384 / 2288, 1);
}

} // namespace
