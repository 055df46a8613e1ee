#pragma once
// Golden pictures of the text draws: a rectangle of a 16- or 32-bit software
// image kept as an 8-bit RGB PNG under tests/golden/font/, compared exactly.
// With VELK_UPDATE_GOLDENS=1 in the environment the pictures are written
// instead (then looked at before they are committed).

#include <string>

#include "lib/core/math.h"
#include "lib/softrender/memimg.h"

namespace velk::testing {

// Empty when the rectangle of the image equals the golden picture, else what
// differs.
std::string CompareWithGolden(const MEMIMG& image, const Rect& rect, const std::string& name);

}  // namespace velk::testing
