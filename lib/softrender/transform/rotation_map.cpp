#include "lib/softrender/transform/rotation_map.h"

#include <cmath>

namespace velk {
namespace {

constexpr double kFixedOne = static_cast<double>(int64_t{1} << kRotationFractionBits);
constexpr double kLargestStep = 32768.0;  // texels per pixel
constexpr int64_t kCentreLimit = 16384;

}  // namespace

bool RotationMap::Setup(int64_t width, int64_t height, int64_t cx, int64_t cy, float angle, float scale) {
    if (!std::isfinite(angle) || !std::isfinite(scale) || scale == 0.0f) return false;
    if (cx <= -kCentreLimit || cx >= kCentreLimit || cy <= -kCentreLimit || cy >= kCentreLimit) return false;
    const double inverse = 1.0 / static_cast<double>(scale);
    if (!(std::fabs(inverse) < kLargestStep)) return false;
    cos_ = std::cos(static_cast<double>(angle));
    sin_ = std::sin(static_cast<double>(angle));
    cos_step_ = std::llround(cos_ * inverse * kFixedOne);
    sin_step_ = std::llround(sin_ * inverse * kFixedOne);
    cx_ = cx;
    cy_ = cy;
    u_centre_ = static_cast<Int128>(width / 2) << kRotationFractionBits;
    v_centre_ = static_cast<Int128>(height / 2) << kRotationFractionBits;
    // A texel inside the image lies within `radius` texels of the centre
    // texel corner, so a pixel that shows it lies within |scale| x radius
    // pixels of (cx, cy), give or take the steps' rounding: at most
    // scale^2 x radius x 2^-32 pixels, which the margin of 2 covers while
    // that stays below a quarter. Beyond it the whole diagonal is the reach.
    const double magnitude = std::fabs(static_cast<double>(scale));
    const double radius = std::hypot(static_cast<double>((width + 1) / 2), static_cast<double>((height + 1) / 2));
    if (magnitude * magnitude * radius <= kFixedOne / 4.0) {
        reach_ = magnitude * radius + 2.0;
    } else {
        reach_ = magnitude * std::hypot(static_cast<double>(width), static_cast<double>(height)) + 2.0;
    }
    return true;
}

Int128 RotationMap::At(Int128 centre, int64_t along_x, int64_t along_y, int64_t column, int64_t row) const {
    // The pixel centre's offset from (cx, cy) is (2 (column - cx) + 1) / 2,
    // likewise for rows; the halves are carried exactly and rounded down once.
    const Int128 twice = static_cast<Int128>(along_x) * (2 * (column - cx_) + 1) +
                         static_cast<Int128>(along_y) * (2 * (row - cy_) + 1);
    return centre + FloorDiv(twice, 2);
}

Int128 RotationMap::UAt(int64_t column, int64_t row) const { return At(u_centre_, cos_step_, sin_step_, column, row); }

Int128 RotationMap::VAt(int64_t column, int64_t row) const { return At(v_centre_, -sin_step_, cos_step_, column, row); }

int64_t RotationMap::FirstRow(int64_t limit) const {
    const double first = std::floor(static_cast<double>(cy_) - reach_);
    return first < static_cast<double>(limit) ? limit : static_cast<int64_t>(first);
}

int64_t RotationMap::EndRow(int64_t limit) const {
    const double end = std::ceil(static_cast<double>(cy_) + reach_) + 1.0;
    return end > static_cast<double>(limit) ? limit : static_cast<int64_t>(end);
}

}  // namespace velk
