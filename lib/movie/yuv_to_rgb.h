#pragma once
// YUV pictures to 32-bit XRGB (bytes blue, green, red, 255). 4:2:0 pictures
// go through shared fixed-point tables (units of 1/16384), built once; other
// chroma layouts go pixel by pixel in floating point.

#include <cstdint>

namespace velk {

// One plane of a decoded picture.
struct YuvPlane {
    const uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};

struct YuvPicture {
    YuvPlane y, u, v;
};

// Builds the shared tables; 0. Safe to call again.
int InitYuvToRgbTables();

// The tables as built (for checks): index 0..255.
struct YuvTables {
    int32_t v_red[256];
    int32_t u_green[256];
    int32_t v_green[256];
    int32_t u_blue[256];
    int32_t y[256];
    uint8_t clamp[1280];  // indexed -512..767 through ClampIndex
};
const YuvTables& GetYuvTables();

// True when the chroma planes are half the luma plane both ways.
bool IsYuv420(const YuvPicture& picture);

// Writes width x height pixels (the luma plane's size, bounded by the
// destination's) into dest with its pitch in bytes.
void ConvertYuvToXrgb(const YuvPicture& picture, uint8_t* dest, int32_t dest_pitch, int32_t width, int32_t height);

}  // namespace velk
