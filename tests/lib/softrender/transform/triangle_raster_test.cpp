// Coverage and texture mapping of the triangle set-up, against the reference
// rasterizer, and the fill-rule properties that the four-corner and mirrored
// draws rely on.
#include "lib/softrender/transform/triangle_raster.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "tests/lib/softrender/transform/reference_fill.h"

namespace velk {
namespace {

using testing::ReferenceCovers;
using testing::ReferenceTexel;
using testing::ReferenceVertex;

bool RasterCovers(const TriangleCoverage& coverage, int64_t px, int64_t py) {
    if (py < coverage.first_row() || py >= coverage.end_row()) return false;
    const IndexRange span = coverage.RowSpan(py);
    return px >= span.begin && px < span.end;
}

void ToBoth(const int64_t (&values)[3][4], SubpixelVertex (&sub)[3], ReferenceVertex (&ref)[3]) {
    for (int i = 0; i < 3; ++i) {
        sub[i] = {values[i][0], values[i][1], values[i][2], values[i][3]};
        ref[i] = {values[i][0], values[i][1], values[i][2], values[i][3]};
    }
}

// Compares every pixel around the triangle with the reference.
void ExpectMatchesReference(const int64_t (&values)[3][4]) {
    SubpixelVertex sub[3];
    ReferenceVertex ref[3];
    ToBoth(values, sub, ref);
    TriangleCoverage coverage;
    ASSERT_TRUE(coverage.Setup(sub));
    AffineTexelMap map;
    map.Setup(sub);
    int64_t min_x = values[0][0], max_x = min_x, min_y = values[0][1], max_y = min_y;
    for (const auto& v : values) {
        min_x = std::min(min_x, v[0]);
        max_x = std::max(max_x, v[0]);
        min_y = std::min(min_y, v[1]);
        max_y = std::max(max_y, v[1]);
    }
    for (int64_t py = FloorDiv(min_y, 256) - 2; py <= FloorDiv(max_y, 256) + 2; ++py) {
        for (int64_t px = FloorDiv(min_x, 256) - 2; px <= FloorDiv(max_x, 256) + 2; ++px) {
            const bool covered = ReferenceCovers(ref, px, py);
            ASSERT_EQ(RasterCovers(coverage, px, py), covered) << "pixel " << px << ", " << py;
            if (!covered) continue;
            int64_t column, row;
            ReferenceTexel(ref, px, py, &column, &row);
            ASSERT_EQ(static_cast<int64_t>(FloorDiv(map.UNumerator(px, py), map.denominator())), column);
            ASSERT_EQ(static_cast<int64_t>(FloorDiv(map.VNumerator(px, py), map.denominator())), row);
        }
    }
}

TEST(TriangleRasterTest, RandomTrianglesMatchTheReference) {
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i) {
        // Whole pixels for most, sub-pixel positions for some; small ranges so
        // that shared coordinates (flat edges, vertical edges) are common.
        const bool subpixel = i % 3 == 0;
        auto coordinate = [&](int range) {
            const int64_t whole = static_cast<int64_t>(random() % (2 * range + 1)) - range;
            return whole * 256 + (subpixel ? static_cast<int64_t>(random() % 256) : 0);
        };
        int64_t values[3][4];
        for (auto& v : values) v[0] = coordinate(12), v[1] = coordinate(12), v[2] = coordinate(20), v[3] = coordinate(20);
        SubpixelVertex sub[3];
        ReferenceVertex ref[3];
        ToBoth(values, sub, ref);
        TriangleCoverage coverage;
        if (!coverage.Setup(sub)) continue;  // no area
        ExpectMatchesReference(values);
        if (HasFatalFailure()) return;
    }
}

// Every pixel of the square drawn as two triangles, in both diagonals and
// every vertex order, is covered exactly once.
TEST(TriangleRasterTest, TrianglesSharingAnEdgeCoverEachPixelOnce) {
    std::mt19937 random(11);
    for (int i = 0; i < 200; ++i) {
        // A convex quadrilateral around the origin, split along a diagonal.
        int64_t p[4][2];
        const double base = (random() % 628) / 100.0;
        for (int k = 0; k < 4; ++k) {
            const double angle = base + k * 1.5707963 + (static_cast<int>(random() % 60) - 30) / 100.0;
            const double radius = 3.0 + (random() % 900) / 100.0;
            p[k][0] = std::llround(std::cos(angle) * radius * 256.0) & ~int64_t{i % 2 ? 0 : 255};
            p[k][1] = std::llround(std::sin(angle) * radius * 256.0) & ~int64_t{i % 2 ? 0 : 255};
        }
        const int split = static_cast<int>(random() % 2);
        const int a = split, c = split + 2, b = (split + 1) % 4, d = (split + 3) % 4;
        std::map<std::pair<int64_t, int64_t>, int> count;
        for (const int third : {b, d}) {
            SubpixelVertex t[3] = {{p[a][0], p[a][1], 0, 0}, {p[c][0], p[c][1], 0, 0}, {p[third][0], p[third][1], 0, 0}};
            if (random() % 2) std::swap(t[0], t[2]);
            TriangleCoverage coverage;
            if (!coverage.Setup(t)) continue;
            for (int64_t row = coverage.first_row(); row < coverage.end_row(); ++row) {
                const IndexRange span = coverage.RowSpan(row);
                for (int64_t column = span.begin; column < span.end; ++column) ++count[{column, row}];
            }
        }
        for (const auto& [pixel, times] : count) {
            ASSERT_EQ(times, 1) << "pixel " << pixel.first << ", " << pixel.second << " in case " << i;
        }
    }
}

TEST(TriangleRasterTest, FlatEdgesFollowTheTopLeftRule) {
    const int64_t s = 256;
    // Flat top at y = 0.5 (pixel centres of row 0 lie on it): row 0 is drawn.
    {
        SubpixelVertex t[3] = {{0, s / 2, 0, 0}, {8 * s, s / 2, 0, 0}, {4 * s, 6 * s, 0, 0}};
        TriangleCoverage coverage;
        ASSERT_TRUE(coverage.Setup(t));
        EXPECT_EQ(coverage.first_row(), 0);
        // Left end (centre 0.5 is right of x = 0) and right end (7.5 < 8).
        EXPECT_EQ(coverage.RowSpan(0).begin, 0);
        EXPECT_EQ(coverage.RowSpan(0).end, 8);
    }
    // Flat bottom at y = 4.5: row 4's centres lie on it and are not drawn.
    {
        SubpixelVertex t[3] = {{4 * s, 0, 0, 0}, {0, 4 * s + s / 2, 0, 0}, {8 * s, 4 * s + s / 2, 0, 0}};
        TriangleCoverage coverage;
        ASSERT_TRUE(coverage.Setup(t));
        EXPECT_EQ(coverage.end_row(), 4);
    }
    // A vertical left edge through pixel centres keeps them, a vertical right
    // edge through centres drops them.
    {
        SubpixelVertex t[3] = {{s / 2, 0, 0, 0}, {s / 2, 8 * s, 0, 0}, {4 * s + s / 2, 8 * s, 0, 0}};
        TriangleCoverage coverage;
        ASSERT_TRUE(coverage.Setup(t));
        EXPECT_EQ(coverage.RowSpan(7).begin, 0);
        SubpixelVertex mirrored[3] = {{4 * s + s / 2, 0, 0, 0}, {4 * s + s / 2, 8 * s, 0, 0}, {s / 2, 8 * s, 0, 0}};
        ASSERT_TRUE(coverage.Setup(mirrored));
        EXPECT_EQ(coverage.RowSpan(7).end, 4);
    }
}

// Coordinates convert with floor: a triangle moved above and left of the
// origin keeps its shape, row for row.
TEST(TriangleRasterTest, ShapeDoesNotChangeWhenMovedToNegativeCoordinates) {
    const int64_t s = 256;
    const int64_t shape[3][2] = {{3, 0}, {0, 7}, {9, 5}};
    auto spans = [&](int64_t dx, int64_t dy) {
        SubpixelVertex t[3];
        for (int i = 0; i < 3; ++i) t[i] = {(shape[i][0] + dx) * s, (shape[i][1] + dy) * s, 0, 0};
        TriangleCoverage coverage;
        EXPECT_TRUE(coverage.Setup(t));
        std::vector<std::pair<int64_t, int64_t>> rows;
        for (int64_t row = coverage.first_row(); row < coverage.end_row(); ++row) {
            const IndexRange span = coverage.RowSpan(row);
            rows.push_back({span.begin - dx, span.end - dx});
        }
        EXPECT_EQ(coverage.first_row(), dy);
        return rows;
    };
    const auto home = spans(0, 0);
    EXPECT_EQ(spans(-20, -13), home);
    EXPECT_EQ(spans(-3, -3), home);
    EXPECT_EQ(spans(5, -1), home);
}

TEST(TriangleRasterTest, RefusesTrianglesWithoutAreaOrOutOfRange) {
    const int64_t s = 256;
    TriangleCoverage coverage;
    const SubpixelVertex collinear[3] = {{0, 0, 0, 0}, {4 * s, 4 * s, 0, 0}, {9 * s, 9 * s, 0, 0}};
    EXPECT_FALSE(coverage.Setup(collinear));
    const SubpixelVertex coincident[3] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {9 * s, 2 * s, 0, 0}};
    EXPECT_FALSE(coverage.Setup(coincident));
    const SubpixelVertex far[3] = {{0, 0, 0, 0}, {16384 * s, 0, 0, 0}, {0, 10 * s, 0, 0}};
    EXPECT_FALSE(coverage.Setup(far));
    const SubpixelVertex far_texture[3] = {{0, 0, 0, -16384 * s}, {10 * s, 0, 0, 0}, {0, 10 * s, 0, 0}};
    EXPECT_FALSE(coverage.Setup(far_texture));
    const SubpixelVertex edge_of_range[3] = {{-16383 * s, 0, 0, 0}, {16383 * s, 0, 0, 0}, {0, 16383 * s, 0, 0}};
    EXPECT_TRUE(coverage.Setup(edge_of_range));
}

}  // namespace
}  // namespace velk
