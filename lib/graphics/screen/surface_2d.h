#pragma once
// 2D surfaces: the parts of graphs that are not held by Direct3D. Each is a
// rectangle of a pixel store (surface_data.h) placed at an offset inside its
// graph; derived graphs share their source's store. Handle kind 0x28000000,
// 32768 slots.

#include <cstdint>

#include "lib/core/math.h"
#include "lib/graphics/graph_data.h"
#include "lib/image/graph_image.h"
#include "lib/graphics/screen/surface_data.h"

namespace velk {

struct MovieData;

inline constexpr uint32_t kSurface2DHandleType = 0x28000000;
inline constexpr int kSurface2DSlots = 32768;

struct Surface2DData {
    uint32_t check = 0;
    int32_t handle = 0;
    int* lost_flag = nullptr;
    uint16_t x = 0;          // place inside the graph
    uint16_t y = 0;
    uint16_t source_x = 0;   // place inside the pixel store
    uint16_t source_y = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    int32_t owner = -1;      // the graph
    int32_t store = -1;      // the SurfaceData handle
};

// share: a part whose pixel store the new part views (null: a new store).
int AddSurface2D(int width, int height, int x, int y, int owner, const Surface2DData* share, int source_x,
                 int source_y, const SurfaceCreateParams& params);
Surface2DData* GetSurface2DData(int handle);
int SetSurface2DLostFlag(int handle, int* flag);
// 0 also for a handle that is not live.
int DeleteSurface2D(int handle);
// -1 when DirectDraw is needed and missing.
int DeleteAllSurface2D();
// The same, under the name the display-mode change uses.
int DeleteAllSurface2DChecked();
int GetSurface2DCount();

// The creation parameters of a graph's parts.
SurfaceCreateParams GraphSurfaceParams(const GraphData& graph);
int MakeGraphSurface2D(GraphData& graph);
// The derived graph's one part views the parent's part at (x, y).
int MakeDerivedGraphSurface2D(GraphData& derived, int x, int y, int width, int height, const GraphData& parent);

// Copies source_rect of the image (with its alpha image, or null) to (x, y)
// of the part. 0, -1.
int BltImageToSurface2D(const GraphImage* image, const GraphImage* alpha, const Rect& source_rect, int x, int y,
                        int surface);
// The part-sized rectangle at (x, y) of the image into the part.
int BltGraphImageToSurface2D(const GraphImage* image, const GraphImage* alpha, int x, int y, int surface);
// The image placed with its pixel (source_x, source_y) on the graph's
// (dest_x, dest_y), copied into every part it overlaps.
int BltGraphImageRectToGraph2D(const GraphImage* image, const GraphImage* alpha, int dest_x, int dest_y,
                               int source_x, int source_y, GraphData& graph);
int FillGraphSurface2D(GraphData& graph, int red, int green, int blue, int alpha);
// A movie's current frame into the graph's first part (a graph with
// textures goes through UpdateMovieTexture instead). 0; -1 when there is no
// frame or part, or the part's surface does not lock (logged).
int BltMovieFrameToSurface2D(const MovieData& movie, GraphData& graph);

// Restore checks: -1 when a store was lost (and has been restored empty).
int CheckGraphSurface2DLost(const GraphData& graph);
int CheckSurface2DLost();
int ReleaseAllSurface2DData();
int RecreateAllSurface2DData();

int BuildBlendTable2D();
int SetViewport2D();

}  // namespace velk
