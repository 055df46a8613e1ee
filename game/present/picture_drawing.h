#pragma once
// What pictures and the screen commands ask of the game library beyond
// loading graphs: stretched and rotated draws, the blend mode and the
// brightness they draw with, the transition image and the capture of the
// screen into a graph. GamePictureDrawing() is the library; tests record.

#include <string>

namespace velk {

class PictureDrawing {
public:
    virtual ~PictureDrawing() = default;

    virtual void DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, bool transparent) = 0;
    // About the centre (x, y); the angle in radians.
    virtual void DrawGraphRotated(int x, int y, double scale, double angle, int graph, bool transparent) = 0;
    // Library blend modes (0 none, 1 alpha, 2 add, 3 subtract, 10, 11) and
    // their parameter 0..255.
    virtual void SetDrawBlendMode(int mode, int parameter) = 0;
    // Each 0..255.
    virtual void SetDrawBrightness(int red, int green, int blue) = 0;
    // A whole image file as one texture; -1 when it cannot be loaded.
    virtual int LoadGraphAsOneTexture(const std::string& path) = 0;
    virtual void DeleteGraph(int graph) = 0;
    // Copies the rectangle of the draw screen into the graph.
    virtual void CaptureScreen(int x1, int y1, int x2, int y2, int graph) = 0;
};

// The game library.
PictureDrawing& GamePictureDrawing();

}  // namespace velk
