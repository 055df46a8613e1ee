#pragma once
// The 2D front-end for drawing graphs when Direct3D is not in use: plain,
// scaled, rotated, as triangles and on four free corners. In software mode
// the software renderer draws into the target's software image at once; in
// DirectDraw mode the draw goes through the draw-target bridge, which either
// hands a plain keyed copy to the display or locks the surfaces into views.

#include <cstdint>

#include "lib/graphics/graph_data.h"
#include "lib/image/graph_image.h"

namespace velk {

int DrawSurface2D(int x, int y, int surface, int transparent);
int DrawGraph2D(int x, int y, GraphData& graph, int transparent);
// surface -1: the graph's first part. x1 > x2 or y1 > y2 mirror.
int DrawGraphScaled2D(int x1, int y1, int x2, int y2, GraphData* graph, int transparent, int surface);
int DrawGraphRotated2D(float centre_x, float centre_y, double scale, double angle, GraphData& graph,
                       int transparent, int turn);
// vertices: x, y, u, v for each of three; graph null: an untextured
// triangle of the colour `value`.
int DrawGraphTriangle2D(const int32_t vertices[12], GraphData* graph, int transparent, uint32_t value);
// Corners: 1 takes the graph's top-left, 2 its top-right, 3 its bottom-left,
// 4 its bottom-right.
int DrawGraphFourCornerInt2D(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphData& graph,
                             int transparent);
int DrawGraphFourCorner2D(const float corners[8], GraphData& graph, int transparent);
int DeleteGraphSurfaces2D(GraphData& graph);
// The image placed with its pixel (source_x, source_y) on the graph's
// (dest_x, dest_y), copied into every part.
int BltGraphImageToGraph2D(const GraphImage& image, const GraphImage* alpha, int dest_x, int dest_y, int source_x,
                           int source_y, GraphData& graph);

}  // namespace velk
