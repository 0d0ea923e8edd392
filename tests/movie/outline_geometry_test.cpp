#include "geometry/outline_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::pair<int32_t, int32_t>> Points(const Outline& outline) {
    std::vector<std::pair<int32_t, int32_t>> points;
    for (const OutlinePoint& p : outline)
        points.emplace_back(p.x, p.y);
    return points;
}

using PointList = std::vector<std::pair<int32_t, int32_t>>;

TEST(RotationTerms, UsesWholeDegreesNegatedForTheScreen) {
    // 1.5 degrees count as 1, and the sign turns because screen y points down.
    EXPECT_EQ(RotationTerms(15).C, RotationTerms(10).C);
    EXPECT_EQ(RotationTerms(15).S, RotationTerms(10).S);
    EXPECT_EQ(RotationTerms(15).S, -1143); // trunc(sin(-1 degree) x 65536)
    EXPECT_EQ(RotationTerms(-15).S, 1143);
    EXPECT_EQ(RotationTerms(-15).C, 65526);
    EXPECT_EQ(RotationTerms(900).C, 0);
    EXPECT_EQ(RotationTerms(900).S, -65536);
    EXPECT_EQ(RotationTerms(0).C, 65536);
    EXPECT_EQ(RotationTerms(0).S, 0);
}

TEST(Outline, RectangleBecomesAPenPathFromItsPlacedCorner) {
    Outline outline = RectangleOutline(400, 200);
    EXPECT_EQ(Points(outline),
              (PointList{{-400, -200}, {400, -200}, {400, 200}, {-400, 200}, {-400, -200}}));
    PlaceOutline(outline, 600, 400);
    EXPECT_EQ(Points(outline), (PointList{{200, 200}, {800, 0}, {0, 400}, {-800, 0}, {0, -400}}));
}

TEST(Outline, EllipseParametersAndClosedOutline) {
    EllipseValues e = EllipseParameters(100, 60, 20);
    EXPECT_EQ(e.ax, 414);
    EXPECT_EQ(e.bx, 292);
    EXPECT_EQ(e.ay, 248);
    EXPECT_EQ(e.by, 175);
    EXPECT_EQ(e.cx, 707);
    EXPECT_EQ(e.cy, 424);

    auto points = Points(EllipseOutline(e));
    ASSERT_EQ(points.size(), 17u);
    EXPECT_EQ(points.front(), points.back());
    EXPECT_EQ(points[1], std::make_pair(707 - 292, 424 + 175));
    EXPECT_EQ(points[4], std::make_pair(707 - 292 - 828 - 292, 424 + 175 - 175));
    // The anchors at 90-degree steps lie on the box's axes.
    EXPECT_EQ(points[2].first, 707 - 292 - 414);
    EXPECT_EQ(points[6].second, 424 + 175 - 175 - 175 - 248);
}

TEST(Outline, EllipseOfNegativeBoxKeepsPositiveRadii) {
    EllipseValues e = EllipseParameters(-100, 60, 1);
    EXPECT_EQ(e.ax, EllipseParameters(100, 60, 1).ax);
    EXPECT_LT(e.cx, 0);
}

TEST(Outline, RotateUsesSixtyFourBitProductsAndTruncates) {
    Outline outline = RectangleOutline(100000, 50000);
    RotationTermsResult quarter = RotationTerms(900); // C 0, S -65536
    RotateOutline(outline, quarter.C, quarter.S);
    // (x, y) -> (-y S, x S) / 65536 = (y, -x): a quarter turn counter-clockwise on screen.
    EXPECT_EQ(Points(outline)[0], std::make_pair(-50000, 100000));
    EXPECT_EQ(Points(outline)[1], std::make_pair(-50000, -100000));

    Outline odd{{-3, 0}};
    RotateOutline(odd, 32768, 0); // -1.5 truncates toward zero
    EXPECT_EQ(Points(odd)[0], std::make_pair(-1, 0));
}

TEST(Outline, OffsetMovesEveryPoint) {
    Outline outline = RectangleOutline(2, 1);
    OffsetOutline(outline, 10, 20);
    EXPECT_EQ(Points(outline), (PointList{{8, 19}, {12, 19}, {12, 21}, {8, 21}, {8, 19}}));
}

} // namespace
