#pragma once
// Matrices, vectors and rectangle clipping for the graphics side.

#include "platform/base/rect.h"

namespace velk {

using Rect = platform::Rect;

// 4 by 4, row by row; points are row vectors (p' = p * M), so the
// translation is in elements 12, 13, 14.
struct Matrix {
    float m[16] = {};
};

struct Vector {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Each returns 0 unless said otherwise.
int MakeIdentityMatrix(Matrix* out);
// out = a * b, computed whole before it is stored, so out may be a or b.
// Nothing is written when out is null.
int MultiplyMatrix(Matrix* out, const Matrix* a, const Matrix* b);
// Left-handed perspective projection with a vertical view angle in radians.
// A negative (or NaN) aspect becomes the draw screen's height / width, which
// the graphics side supplies with SetMatrixScreenSize. -1, with out left as
// it was, when near and far are closer than 0.01 or the angle is near 0.
int MakePerspectiveMatrix(Matrix* out, float view_angle, float near_z, float far_z, float aspect);
// Maps the projected square onto the screen: x' = x * width / 2 + centre_x,
// y' = -y * height / 2 + centre_y.
int MakeViewportMatrix(Matrix* out, float centre_x, float centre_y, float width, float height);
// Left-handed view matrix looking from eye at target.
int MakeLookAtMatrix(Matrix* out, const Vector* eye, const Vector* target, const Vector* up);
double DotProductVector(const Vector* a, const Vector* b);
// First raises right to left and bottom to top where they are smaller, then
// clamps every edge into clip; a rectangle wholly outside ends empty on the
// clip's border.
int ClipRect(Rect* r, const Rect* clip);
// Swaps left/right and top/bottom where they are reversed.
int NormalizeRect(Rect* r);
// right - left and bottom - top, into the pointers that are not null.
int GetRectExtent(const Rect* r, int* width, int* height);

// The draw screen's size, used for the default aspect of MakePerspectiveMatrix
// (640 by 480 until set). Sizes below 1 are ignored.
void SetMatrixScreenSize(int width, int height);

}  // namespace velk
