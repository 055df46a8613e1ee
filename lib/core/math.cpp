#include "lib/core/math.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <utility>

namespace velk {

namespace {

std::atomic<int> screen_width{640};
std::atomic<int> screen_height{480};

Vector Subtract(const Vector& a, const Vector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vector Cross(const Vector& a, const Vector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Divided by its length computed in single precision.
Vector Normalized(const Vector& v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
    if (value < low) {
        value = low;
    }
    if (value > high) {
        value = high;
    }
    return value;
}

}  // namespace

int MakeIdentityMatrix(Matrix* out) {
    *out = Matrix{};
    out->m[0] = out->m[5] = out->m[10] = out->m[15] = 1.0f;
    return 0;
}

int MultiplyMatrix(Matrix* out, const Matrix* a, const Matrix* b) {
    if (out == nullptr) {
        return 0;
    }
    Matrix product;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a->m[row * 4 + k] * b->m[k * 4 + column];
            }
            product.m[row * 4 + column] = sum;
        }
    }
    *out = product;
    return 0;
}

int MakePerspectiveMatrix(Matrix* out, float view_angle, float near_z, float far_z, float aspect) {
    if (!(aspect >= 0.0f)) {
        aspect = static_cast<float>(screen_height.load()) / static_cast<float>(screen_width.load());
    }
    const double sine = std::sin(view_angle / 2.0f);
    const double cosine = std::cos(view_angle / 2.0f);
    // NaN inputs fail these tests too.
    if (!(std::fabs(far_z - near_z) >= 0.01f) || !(std::fabs(sine) >= 0.01)) {
        return -1;
    }
    const double cotangent = cosine / sine;
    const double q = far_z / static_cast<double>(far_z - near_z);
    *out = Matrix{};
    out->m[0] = static_cast<float>(aspect * cotangent);
    out->m[5] = static_cast<float>(cotangent);
    out->m[10] = static_cast<float>(q);
    out->m[11] = 1.0f;
    out->m[14] = static_cast<float>(-q * near_z);
    return 0;
}

int MakeViewportMatrix(Matrix* out, float centre_x, float centre_y, float width, float height) {
    *out = Matrix{};
    out->m[0] = width * 0.5f;
    out->m[5] = height * -0.5f;
    out->m[10] = 1.0f;
    out->m[12] = centre_x;
    out->m[13] = centre_y;
    out->m[15] = 1.0f;
    return 0;
}

int MakeLookAtMatrix(Matrix* out, const Vector* eye, const Vector* target, const Vector* up) {
    const Vector z_raw = Subtract(*target, *eye);
    const Vector x_raw = Cross(*up, z_raw);
    const Vector y_raw = Cross(z_raw, x_raw);
    const Vector x = Normalized(x_raw);
    const Vector y = Normalized(y_raw);
    const Vector z = Normalized(z_raw);
    *out = Matrix{};
    out->m[0] = x.x;
    out->m[4] = x.y;
    out->m[8] = x.z;
    out->m[1] = y.x;
    out->m[5] = y.y;
    out->m[9] = y.z;
    out->m[2] = z.x;
    out->m[6] = z.y;
    out->m[10] = z.z;
    out->m[12] = static_cast<float>(-DotProductVector(&x, eye));
    out->m[13] = static_cast<float>(-DotProductVector(&y, eye));
    out->m[14] = static_cast<float>(-DotProductVector(&z, eye));
    out->m[15] = 1.0f;
    return 0;
}

double DotProductVector(const Vector* a, const Vector* b) {
    return static_cast<double>(a->x) * b->x + static_cast<double>(a->y) * b->y + static_cast<double>(a->z) * b->z;
}

int ClipRect(Rect* r, const Rect* clip) {
    if (r->right < r->left) {
        r->right = r->left;
    }
    if (r->bottom < r->top) {
        r->bottom = r->top;
    }
    r->bottom = Clamp(r->bottom, clip->top, clip->bottom);
    r->top = Clamp(r->top, clip->top, clip->bottom);
    r->right = Clamp(r->right, clip->left, clip->right);
    r->left = Clamp(r->left, clip->left, clip->right);
    return 0;
}

int NormalizeRect(Rect* r) {
    if (r->left > r->right) {
        std::swap(r->left, r->right);
    }
    if (r->top > r->bottom) {
        std::swap(r->top, r->bottom);
    }
    return 0;
}

int GetRectExtent(const Rect* r, int* width, int* height) {
    // Unsigned, so that extreme edges wrap instead of overflowing.
    if (width != nullptr) {
        *width = static_cast<int>(static_cast<uint32_t>(r->right) - static_cast<uint32_t>(r->left));
    }
    if (height != nullptr) {
        *height = static_cast<int>(static_cast<uint32_t>(r->bottom) - static_cast<uint32_t>(r->top));
    }
    return 0;
}

void SetMatrixScreenSize(int width, int height) {
    if (width < 1 || height < 1) {
        return;
    }
    screen_width.store(width);
    screen_height.store(height);
}

}  // namespace velk
