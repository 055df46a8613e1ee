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

int MakeIdentityMatrix(Matrix* out);
int MultiplyMatrix(Matrix* out, const Matrix* a, const Matrix* b);
// A negative (or NaN) aspect becomes the draw screen's height / width, which
// the graphics side supplies with SetMatrixScreenSize.
int MakePerspectiveMatrix(Matrix* out, float view_angle, float near_z, float far_z, float aspect);
int MakeViewportMatrix(Matrix* out, float centre_x, float centre_y, float width, float height);
int MakeLookAtMatrix(Matrix* out, const Vector* eye, const Vector* target, const Vector* up);
double DotProductVector(const Vector* a, const Vector* b);
int ClipRect(Rect* r, const Rect* clip);
int NormalizeRect(Rect* r);
int GetRectExtent(const Rect* r, int* width, int* height);

// The draw screen's size, used for the default aspect of MakePerspectiveMatrix.
void SetMatrixScreenSize(int width, int height);

}  // namespace velk
