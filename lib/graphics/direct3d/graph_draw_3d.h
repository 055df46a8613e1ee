#pragma once
// The Direct3D draws: texture graphs (plain, scaled, rotated, four-corner,
// through a blend graph), untextured boxes, the clear of a graph target, the
// choice of render target, and the read-back into texture graphs.

#include <cstdint>

#include "lib/graphics/graph_data.h"

namespace velk {

int DrawGraphD3D(int x, int y, float fx, float fy, GraphData& graph, int transparent, int keep_alpha_test);
int DrawGraphScaledD3D(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2, GraphData& graph,
                       int transparent, int keep_alpha_test);
int DrawGraphRotatedD3D(float x, float y, double scale, double angle, GraphData& graph, int transparent,
                        int mirror);
// Corners: top-left, top-right, bottom-left, bottom-right (x, y each).
int DrawGraphQuadD3D(const float corners[8], GraphData& graph, int transparent);
int DrawGraphQuadBlendD3D(const int corners[8], GraphData& graph, int transparent);
int DrawTexturePartQuadD3D(int part, const float corners[8]);
int DrawFilledBoxD3D(int x1, int y1, int x2, int y2, uint32_t color);
int DrawBoxD3D(int x1, int y1, int x2, int y2, uint32_t color);
int ClearDrawScreenD3D();
int SetDrawScreenD3D(int screen, GraphData* graph);
int GetDrawScreenGraphD3D(int x1, int y1, int x2, int y2, GraphData& graph, int whole_desktop);

}  // namespace velk
