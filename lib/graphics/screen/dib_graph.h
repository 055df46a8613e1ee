#pragma once
// Device-independent bitmaps made from images, for the GDI side of an 8-bit
// screen: an image becomes a top-down bitmap (8-bit with its palette, or
// 24-bit), and a bitmap becomes a bitmap section GDI can copy from.

#include <cstdint>
#include <vector>

#include "lib/image/graph_image.h"
#include "platform/display/display_surface.h"

namespace velk {

// The information header of a bitmap (negative height: rows from the top) and
// the palette of an 8-bit one.
struct DibInfo {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bit_count = 0;
    uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;  // 16- and 32-bit bitmaps
    platform::DdPaletteEntry palette[256] = {};
};

// Bytes in one row of a bitmap: rounded up to 4.
int DibRowBytes(int width, int bit_count);

// Fills *info for the image. 8-bit palette images keep their indices and
// palette, 24-bit images in the plain red-green-blue layout keep their
// pixels; either is used in place (*pixels = the image's) when its pitch is
// the bitmap's row size and no copy is forced, else copied into *copy. Any
// other format is converted into a 24-bit copy. 0, -1 (an empty image or one
// without plain pixels).
int ConvertGraphImageToDib(const GraphImage& image, DibInfo* info, const uint8_t** pixels,
                           std::vector<uint8_t>* copy, int force_copy);

// A bitmap section: its own rows in the format CreateDIBGraph chose.
struct DibGraph {
    DibInfo info;
    int32_t pitch = 0;
    std::vector<uint8_t> pixels;
    // The section as GDI copies from it (valid while the object lives).
    platform::DibSection Section() const;
};

// Makes a bitmap section from a header and its rows: 8-bit bitmaps with their
// palette, 24-bit ones as they are, 16- and 32-bit ones as 24-bit. Failures are
// logged; 0, -1.
int CreateDIBGraph(const DibInfo& info, const uint8_t* pixels, DibGraph* out);

}  // namespace velk
