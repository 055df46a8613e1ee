#pragma once
// The transformed fills of the software renderer: textured and flat-colour
// triangles, four-corner draws and rotated, scaled draws into a MEMIMG, under
// the software draw settings (blend mode and parameter, draw bright, draw
// area; lib/softrender/draw_settings.h) and, when given, a blend image (a
// format-2 MEMIMG whose byte under each texel is weighted through
// BlendGraphTransitionTable).
//
// Geometry: destination positions are continuous, whole pixel (x, y) being the
// top-left corner of pixel (x, y); a pixel is drawn when its centre lies inside
// the shape (centres on a shared edge belong to exactly one triangle) and it
// shows the texel under the exact texture position of its centre. A pixel
// whose texel lies outside the source, or outside a blend image smaller than
// the source, is left unchanged.
//
// Nothing is reported: every draw that cannot be made draws nothing (an
// invalid image, a source of another format than the destination, a paletted
// or alpha destination, a blend image that is not a format-2 image, a shape
// without area, coordinates outside +-16383, a blend mode without loops).
// Drawing thread only.

#include <cstdint>

#include "lib/softrender/memimg.h"

namespace velk {

// One triangle: vertices holds x, y, u, v for each of the three vertices (x,
// y destination pixels, u, v source pixels). With a source the triangle is
// textured; without one (src null) it is filled with flat_color, a raw pixel
// of the destination's format, and trans_flag and blend play no part.
void DrawMemImgTriangle(MEMIMG* dest, const MEMIMG* src, const int32_t vertices[12], int trans_flag,
                        const MEMIMG* blend, uint32_t flat_color);

// The whole source onto four corners x1, y1, ... x4, y4: corner 1 takes the
// source's top-left, 2 its top-right, 3 its bottom-left, 4 its bottom-right.
// Drawn as the triangles 1-2-3 and 2-3-4, which share the diagonal 2-3
// without drawing any pixel twice.
void DrawMemImgQuad(MEMIMG* dest, const MEMIMG* src, const int32_t corners[8], int trans_flag, const MEMIMG* blend);

// The whole source turned by angle (radians, positive turns clockwise on the
// screen) and scaled by scale about its centre texel (width / 2, height / 2,
// halves rounded down), which lands on the corner point (centre_x, centre_y).
// A mirrored draw shows the source flipped left to right, drawn as a
// four-corner draw whose corners keep their sub-pixel positions. A scale of 0,
// NaN or infinity, or a scale so small that the whole image would be smaller
// than a fraction of a pixel, draws nothing.
void DrawMemImgRotated(MEMIMG* dest, const MEMIMG* src, int centre_x, int centre_y, float angle, float scale,
                       int trans_flag, int mirror_flag, const MEMIMG* blend);

}  // namespace velk
