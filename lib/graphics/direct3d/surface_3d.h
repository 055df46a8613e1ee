#pragma once
// Texture graphs: each is cut into rectangles that fit one texture each, a
// 3D surface data record (handle kind 0x30000000, 65536 slots) per part,
// whose texture is a surface pixel store several parts may share (a derived
// graph's parts are views on its source's textures).

#include <cstdint>

#include "lib/core/math.h"
#include "lib/graphics/graph_data.h"
#include "lib/image/graph_image.h"
#include "platform/direct3d/d3d_types.h"

namespace velk {

inline constexpr uint32_t kSurface3DHandleType = 0x30000000;
inline constexpr int kSurface3DSlots = 65536;

struct Surface3DData {
    uint32_t check = 0;
    int32_t handle = 0;
    int* lost_flag = nullptr;
    int16_t x = 0, y = 0;                  // in the graph
    int16_t texture_x = 0, texture_y = 0;  // in the texture
    int16_t source_x = 0, source_y = 0;    // in the source image
    int16_t width = 0, height = 0;         // the used area
    // Top-left, top-right, bottom-left, bottom-right.
    platform::VertexOneTexture corners[4] = {};
    uint8_t corner_flags[4] = {};
    int32_t graph = 0;
    int32_t surface_data = 0;
};

int AddSurface3DData(int texture_width, int texture_height, int x, int y, int width, int height, int source_x,
                     int source_y, int graph, const Surface3DData* parent, int parent_x, int parent_y,
                     const GraphData& params);
Surface3DData* GetSurface3DData(int handle);
int DeleteSurface3DData(int handle);
int DeleteAllSurface3DData();
int GetSurface3DDataCount();

// The texture sizes along one axis of n pixels; out (may be null) gets up to
// 64 sizes. The count of textures.
int ChooseTextureSizes(int n, int* out, int one_texture);

int MakeGraphTextures(GraphData& graph);
int DeleteGraphTextures(GraphData& graph);
int DeriveGraphTextures(GraphData& derived, int x, int y, int width, int height, const GraphData& source);
// Options of an upload: the image's red levels become the alpha.
inline constexpr int kUploadRedAsAlpha = 1;

// Converts rect of the image (with the alpha image's levels as alpha when
// given) into the part's texture at (texture_x, texture_y). -1 for a part
// without texture or while the device is away; a failed platform copy is a
// fatal stop.
int UploadImageToTexture(const GraphImage& image, const GraphImage* alpha, const Rect& rect, int texture_x,
                         int texture_y, int part, int options);
// The image's origin lies on the graph's (x, y); only `source` of it is
// copied, into the parts it overlaps.
int FillGraphTexturesRect(GraphData& graph, const GraphImage& image, const GraphImage* alpha, const Rect& source, int x,
                          int y, int options);
// The image's pixel (source_x, source_y) lands on the graph's (dest_x, dest_y).
int FillGraphTextures(GraphData& graph, const GraphImage& image, const GraphImage* alpha, int dest_x, int dest_y,
                      int source_x, int source_y);
int FillGraphTexturesColor(GraphData& graph, int red, int green, int blue, int alpha);
// A movie's current frame (converted to an image: no texture takes the
// movie's planes here) into every texture of its graph, each texture's colour
// key set again after. -1 for a graph that is no texture graph (its frames
// take the 2D copy).
int UpdateMovieTexture(const GraphImage& frame, GraphData& graph);
// Non-zero when a part's texture was lost and restored (its pixels are gone).
int CheckGraphTexturesLost(const GraphData& graph);
int CheckSurface3DLost();
// Unlocks the part's texture (pixels, when given, must be what the lock
// gave); -1 for a bad handle.
int UnlockSurface3DData(int handle, const uint8_t* pixels);

// The loss cycle: every part's texture released with the device and made
// again (empty) when it is back.
void ReleaseAllSurface3DTextures();
void RecreateAllSurface3DTextures();

int SetBlendGraphD3D(const GraphData* blend, int border_param, int border_range);

}  // namespace velk
