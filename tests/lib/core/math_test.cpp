#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lib/core/math.h"

namespace velk {
namespace {

Matrix Numbered() {
    Matrix m;
    for (int i = 0; i < 16; ++i) {
        m.m[i] = static_cast<float>(i + 1);
    }
    return m;
}

void ExpectMatrixEq(const Matrix& a, const Matrix& b) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(a.m[i], b.m[i]) << "element " << i;
    }
}

TEST(Matrix, MultiplyMayWriteOverEitherInput) {
    Matrix identity;
    MakeIdentityMatrix(&identity);
    Matrix m = Numbered();
    MultiplyMatrix(&m, &m, &identity);
    ExpectMatrixEq(m, Numbered());

    // m * m written over m equals the product made into a separate matrix.
    Matrix separate;
    const Matrix n = Numbered();
    MultiplyMatrix(&separate, &n, &n);
    MultiplyMatrix(&m, &m, &m);
    ExpectMatrixEq(m, separate);
    EXPECT_EQ(separate.m[0], 1 * 1 + 2 * 5 + 3 * 9 + 4 * 13);

    // Row vectors: a translation applied after a scale moves the scaled point.
    Matrix scale;
    MakeIdentityMatrix(&scale);
    scale.m[0] = 2.0f;
    Matrix move;
    MakeIdentityMatrix(&move);
    move.m[12] = 10.0f;
    Matrix both;
    MultiplyMatrix(&both, &scale, &move);
    EXPECT_EQ(both.m[0], 2.0f);
    EXPECT_EQ(both.m[12], 10.0f);

    EXPECT_EQ(MultiplyMatrix(nullptr, &n, &n), 0);
}

TEST(Matrix, PerspectiveRefusesDegenerateInputsWithoutWriting) {
    const Matrix untouched = Numbered();
    Matrix m = untouched;
    EXPECT_EQ(MakePerspectiveMatrix(&m, 1.0f, 10.0f, 10.0f, 1.0f), -1);
    EXPECT_EQ(MakePerspectiveMatrix(&m, 1.0f, 10.0f, 10.005f, 1.0f), -1);
    EXPECT_EQ(MakePerspectiveMatrix(&m, 0.0f, 1.0f, 100.0f, 1.0f), -1);
    EXPECT_EQ(MakePerspectiveMatrix(&m, std::numeric_limits<float>::quiet_NaN(), 1.0f, 100.0f, 1.0f), -1);
    ExpectMatrixEq(m, untouched);
}

TEST(Matrix, PerspectiveTakesTheScreensAspectForANegativeOne) {
    const float angle = 3.14159265f / 3.0f;
    const double cotangent = std::cos(angle / 2.0f) / std::sin(angle / 2.0f);
    Matrix m;
    ASSERT_EQ(MakePerspectiveMatrix(&m, angle, 1.0f, 101.0f, -1.0f), 0);
    EXPECT_FLOAT_EQ(m.m[0], static_cast<float>(0.75 * cotangent));
    EXPECT_FLOAT_EQ(m.m[5], static_cast<float>(cotangent));
    EXPECT_FLOAT_EQ(m.m[10], 101.0f / 100.0f);
    EXPECT_EQ(m.m[11], 1.0f);
    EXPECT_FLOAT_EQ(m.m[14], -101.0f / 100.0f);
    EXPECT_EQ(m.m[15], 0.0f);

    SetMatrixScreenSize(800, 600);
    ASSERT_EQ(MakePerspectiveMatrix(&m, angle, 1.0f, 101.0f, std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_FLOAT_EQ(m.m[0], static_cast<float>(0.75 * cotangent));
    SetMatrixScreenSize(400, 400);
    SetMatrixScreenSize(0, 300);  // ignored
    ASSERT_EQ(MakePerspectiveMatrix(&m, angle, 1.0f, 101.0f, -1.0f), 0);
    EXPECT_FLOAT_EQ(m.m[0], static_cast<float>(cotangent));
    SetMatrixScreenSize(640, 480);
}

TEST(Matrix, ViewportMapsTheUnitSquareOntoTheScreen) {
    Matrix m;
    MakeViewportMatrix(&m, 320.0f, 240.0f, 640.0f, 480.0f);
    // (-1, 1) goes to the top left corner, (1, -1) to the bottom right.
    EXPECT_EQ(-1.0f * m.m[0] + m.m[12], 0.0f);
    EXPECT_EQ(1.0f * m.m[5] + m.m[13], 0.0f);
    EXPECT_EQ(1.0f * m.m[0] + m.m[12], 640.0f);
    EXPECT_EQ(-1.0f * m.m[5] + m.m[13], 480.0f);
}

TEST(Matrix, LookAtIsOrthonormalAndMovesTheEyeToTheOrigin) {
    const Vector eye{3.0f, 4.0f, -5.0f};
    const Vector target{-1.0f, 2.0f, 7.0f};
    const Vector up{0.0f, 1.0f, 0.0f};
    Matrix m;
    MakeLookAtMatrix(&m, &eye, &target, &up);
    const Vector axes[3] = {{m.m[0], m.m[4], m.m[8]}, {m.m[1], m.m[5], m.m[9]}, {m.m[2], m.m[6], m.m[10]}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(DotProductVector(&axes[i], &axes[j]), i == j ? 1.0 : 0.0, 1e-6) << i << "," << j;
        }
    }
    for (int i : {3, 7, 11}) EXPECT_EQ(m.m[i], 0.0f);
    EXPECT_EQ(m.m[15], 1.0f);
    // The eye lands on the origin; the target straight ahead on +z.
    for (int column = 0; column < 3; ++column) {
        const float eye_out =
            eye.x * m.m[column] + eye.y * m.m[4 + column] + eye.z * m.m[8 + column] + m.m[12 + column];
        const float target_out =
            target.x * m.m[column] + target.y * m.m[4 + column] + target.z * m.m[8 + column] + m.m[12 + column];
        EXPECT_NEAR(eye_out, 0.0f, 1e-5f);
        EXPECT_NEAR(target_out, column == 2 ? std::sqrt(16.0f + 4.0f + 144.0f) : 0.0f, 1e-5f);
    }
    EXPECT_GT(m.m[5], 0.0f);  // up stays up
}

TEST(Rects, ClipRaisesReversedEdgesThenClamps) {
    const Rect screen{0, 0, 640, 480};
    const Rect away{100, 50, 300, 200};
    struct Case {
        Rect clip;
        Rect in;
        Rect out;
    };
    const Case cases[] = {
        {screen, {700, 10, 800, 20}, {640, 10, 640, 20}},
        {{0, 0, 1000, 1000}, {50, 50, 10, 10}, {50, 50, 50, 50}},
        {screen, {-20, -30, 700, 500}, screen},
        {screen, {10, -50, 20, -10}, {10, 0, 20, 0}},
        {away, {0, 0, 150, 120}, {100, 50, 150, 120}},       // over the left and top edges
        {away, {250, 180, 400, 300}, {250, 180, 300, 200}},  // over the right and bottom edges
        {away, {0, 0, 50, 20}, {100, 50, 100, 50}},          // wholly left of and above it
        {away, {400, 300, 500, 400}, {300, 200, 300, 200}},  // wholly right of and below it
        {away, {120, 60, 130, 70}, {120, 60, 130, 70}},      // inside
        {away, {150, 100, 110, 60}, {150, 100, 150, 100}},   // reversed
        {away, {-1000, 100, 1000, 150}, {100, 100, 300, 150}},
    };
    for (const Case& c : cases) {
        Rect r = c.in;
        ClipRect(&r, &c.clip);
        EXPECT_EQ(r, c.out) << c.in.left << "," << c.in.top << "," << c.in.right << "," << c.in.bottom;
    }
}

TEST(Rects, NormalizeAndExtent) {
    Rect r{10, 20, 0, 5};
    NormalizeRect(&r);
    EXPECT_EQ(r, (Rect{0, 5, 10, 20}));
    int width = 0;
    int height = 0;
    GetRectExtent(&r, &width, &height);
    EXPECT_EQ(width, 10);
    EXPECT_EQ(height, 15);
    GetRectExtent(&r, nullptr, &height);

    const Rect extreme{INT32_MIN, 0, INT32_MAX, 1};
    GetRectExtent(&extreme, &width, nullptr);
    EXPECT_EQ(width, -1);  // wraps instead of overflowing
}

}  // namespace
}  // namespace velk
