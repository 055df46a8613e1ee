#pragma once
// Filled boxes, line lists, clearing the draw screen and copying part of it
// back into a graph, without Direct3D.

#include <cstdint>

#include "lib/graphics/graph_data.h"
#include "lib/softrender/memimg_draw.h"

namespace velk {

int DrawFilledBox2D(int x1, int y1, int x2, int y2, uint32_t color);
int DrawLines2D(const LineRecord* lines, int count);
// The outline of (x1, y1)-(x2, y2), right and bottom exclusive.
int DrawBox2D(int x1, int y1, int x2, int y2, uint32_t color);
// Fills the whole target (and its depth) with the background colour,
// whatever the draw area and blend mode.
int ClearDrawScreen2D();
int GetDrawScreenGraph2D(int x1, int y1, int x2, int y2, GraphData& graph, int flag);

}  // namespace velk
