#pragma once
// What the game calls to put graphs and boxes on the draw screen, clear it,
// and copy part of it back into a graph. Each draw checks its graph and the
// draw settings, brackets the draw with the mask and software-window steps,
// and hands the pixel work to the graph's path.

#include <cstdint>

namespace velk {

int DrawGraph(int x, int y, int graph, int transparent);
// x1 > x2 or y1 > y2 mirror the graph.
int DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, int transparent);
int DrawGraphRotated(int x, int y, double scale, double angle, int graph, int transparent, int turn);
int DrawGraphRotatedF(float x, float y, double scale, double angle, int graph, int transparent, int turn);
int DrawTurnGraph(int x, int y, int graph, int transparent);
int DrawRectGraph(int x, int y, int source_x, int source_y, int width, int height, int graph, int transparent,
                  int turn);
int DrawBlendGraph(int x, int y, int graph, int transparent, int blend_graph, int border_param, int border_range);
int DrawModiGraphF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                   int transparent);
int DrawRectExtendGraph(int dest_x1, int dest_y1, int dest_x2, int dest_y2, int source_x, int source_y,
                        int source_width, int source_height, int graph, int transparent);
// fill 0 draws the outline, any other value the filled box.
int DrawBox(int x1, int y1, int x2, int y2, uint32_t color, int fill);
int FillGraph(int graph, int red, int green, int blue, int alpha);
int ClearDrawScreen();
int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int graph, int flag);

// Colour values in the screen's pixel format.
uint32_t GetColorValue(int red, int green, int blue);
// 0, -1 (8-bit mode, a value outside 0 to 255).
int GetColorRGB(uint32_t color, int* red, int* green, int* blue);

}  // namespace velk
