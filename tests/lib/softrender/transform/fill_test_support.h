#pragma once
// Shared set-up of the transformed-fill tests: the tables, the draw settings,
// and random sources, blend images and destinations that exercise every skip
// and weight rule.

#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "lib/softrender/blend_tables.h"
#include "lib/softrender/draw_settings.h"
#include "tests/lib/softrender/transform/guarded_image.h"

namespace velk::testing {

// Tables built and settings back to plain drawing over everything.
void ResetSoftwareDrawState();

struct DrawState {
    int mode = 0;
    int param = 255;
    int red = 255, green = 255, blue = 255;
    Rect area{0, 0, INT32_MAX, INT32_MAX};
    void Apply() const;
    std::string Describe() const;
};

enum class SourceType { kDirect, kDirectAlpha, kPaletted };

// A source of random texels: alpha bytes (when there are any) often 0 and 255,
// a transparent colour that occurs among the texels, and some 32-bit texels
// that match it in colour but not in their fourth byte.
std::unique_ptr<GuardedImage> MakeRandomSource(std::mt19937& random, int format, SourceType type, int width,
                                               int height);
// A random format-2 blend image, and a random transition table.
std::unique_ptr<GuardedImage> MakeRandomBlend(std::mt19937& random, int width, int height);

// Pixel (x, y) of a 32-bit image whose texels encode their own position:
// x in the blue byte, y in the green byte, 0x5A in red.
uint32_t CoordinateTexel(int x, int y);
std::unique_ptr<GuardedImage> MakeCoordinateSource(int width, int height);

}  // namespace velk::testing
