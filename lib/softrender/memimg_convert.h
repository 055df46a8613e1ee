#pragma once
// Copies with pixel-format conversion between the library's in-memory images
// (GraphImage) and software images, and between two software images. The
// per-pixel work is the library's colour converter; these decide the images,
// the rectangle and the options, and make a paletted software image's palette.
//
// The source rectangle is (x, y, x + width, y + height) in the source's own
// coordinates (a view's, for a MEMIMG) and lands with its top-left corner at
// (dest_x, dest_y). A rectangle that does not lie inside both images, or an
// invalid software image, copies nothing.

#include <cstdint>

#include "lib/core/math.h"
#include "lib/image/graph_image.h"
#include "lib/softrender/memimg.h"

namespace velk {

// Into a software image of any format. A one-channel target (formats 2 and
// 3) receives each pixel's red channel. A 16- or 32-bit target with alpha
// takes its alpha from `alpha_image` (may be null) or, with
// transparent_to_alpha, makes pixels of its own transparent colour alpha 0. A
// paletted target receives the indices, all 256 palette entries converted and
// a colour count of the largest index copied plus one.
void BltGraphImageToMemImg(const GraphImage* image, const GraphImage* alpha_image, MEMIMG* target, int src_x,
                           int src_y, int width, int height, int dest_x, int dest_y, int transparent_to_alpha);

// From a 16- or 32-bit software image without palette or alpha (others copy
// nothing). With transparent_copy, source pixels equal to transparent_color
// are not written.
void BltMemImgToGraphImage(GraphImage* image, const MEMIMG* source, int src_x, int src_y, int width, int height,
                           int dest_x, int dest_y, uint32_t transparent_color, int transparent_copy);

// source_rect null: the whole source view. Returns the converter's result
// (-1 for an empty rectangle), or -1 when nothing could be copied.
int BltMemImgToMemImg(MEMIMG* target, const MEMIMG* source, const Rect* source_rect, int dest_x, int dest_y);

}  // namespace velk
