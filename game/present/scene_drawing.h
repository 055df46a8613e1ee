#pragma once
// What the map scene and the screen effects ask of the game library to put
// pixels on the screen: plain, stretched and cut-out draws of graphs, graphs
// derived from a rectangle of another, boxes, the blend through a
// transition image, and the draw settings they draw with.
// GameSceneDrawing() is the library; tests record.

#include <cstdint>

namespace velk {

class SceneDrawing {
public:
    virtual ~SceneDrawing() = default;

    virtual void DrawGraph(int x, int y, int graph, bool transparent) = 0;
    virtual void DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, bool transparent) = 0;
    // The rectangle (sourceX, sourceY, width, height) of a graph at (x, y).
    virtual void DrawRectGraph(int x, int y, int sourceX, int sourceY, int width, int height, int graph,
                               bool transparent) = 0;
    // The graph drawn through a blend image: pixels whose blend value is
    // below the border show first as the border rises.
    virtual void DrawBlendGraph(int x, int y, int graph, bool transparent, int blendGraph, int border,
                                int borderRange) = 0;
    virtual void DrawFilledBox(int x1, int y1, int x2, int y2, int red, int green, int blue) = 0;
    virtual int CreateDerivedGraph(int x, int y, int width, int height, int source) = 0;
    virtual void DeleteGraph(int graph) = 0;
    virtual bool GetGraphSize(int graph, int& width, int& height) = 0;
    // Library blend modes (0 none, 1 alpha, 2 add, 3 subtract, 4 multiply,
    // 11 multiply then alpha) with their parameter 0..255.
    virtual void SetDrawBlendMode(int mode, int parameter) = 0;
    // Each 0..255.
    virtual void SetDrawBrightness(int red, int green, int blue) = 0;
    // The filter of stretched draws (0 nearest).
    virtual void SetDrawMode(int mode) = 0;
};

// The game library.
SceneDrawing& GameSceneDrawing();

}  // namespace velk
