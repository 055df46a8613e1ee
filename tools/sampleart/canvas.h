#pragma once
// A small RGBA picture to draw the sample game's art on, and its PNG file.

#include <cstdint>
#include <string>
#include <vector>

namespace velk::sampleart {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// The game's transparent colour: pixels of this colour are not drawn.
inline constexpr Rgba kKey{254, 0, 254, 255};

class Canvas {
public:
    Canvas(int width, int height, Rgba fill = kKey);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgba At(int x, int y) const;

    // Every shape clips to the canvas.
    void Set(int x, int y, Rgba colour);
    void Blend(int x, int y, Rgba colour);  // alpha over what is there
    void FillRect(int x, int y, int w, int h, Rgba colour);
    void FillEllipse(int cx, int cy, int rx, int ry, Rgba colour);
    void Line(int x0, int y0, int x1, int y1, Rgba colour);
    // Varies the pixels of a rectangle by up to `amount` per channel from a
    // fixed pseudo-random sequence, so surfaces look less flat.
    void Speckle(int x, int y, int w, int h, int amount, uint32_t seed);

    // Writes an 8-bit RGB (alpha false) or RGBA PNG; false when it cannot.
    bool WritePng(const std::string& path, bool alpha) const;

private:
    int width_;
    int height_;
    std::vector<Rgba> pixels_;
};

Rgba Mix(Rgba a, Rgba b, int percent_of_b);

}  // namespace velk::sampleart
