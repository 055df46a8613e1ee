#include "tools/sampleart/sample_art.h"

#include <cmath>

namespace velk::sampleart {

Canvas DrawMessagePanel() {
    Canvas c(600, 120, Rgba{0, 0, 0, 0});
    for (int y = 0; y < c.height(); ++y) {
        const Rgba row = Mix(Rgba{24, 36, 84, 210}, Rgba{8, 12, 40, 220}, y * 100 / c.height());
        c.FillRect(0, y, c.width(), 1, row);
    }
    const Rgba border{220, 226, 250, 255};
    c.FillRect(0, 0, c.width(), 2, border);
    c.FillRect(0, c.height() - 2, c.width(), 2, border);
    c.FillRect(0, 0, 2, c.height(), border);
    c.FillRect(c.width() - 2, 0, 2, c.height(), border);
    return c;
}

// Nine 16 x 16 cells: the corners stay as drawn, the edges and the middle are
// stretched around the choices.
Canvas DrawChoiceFrame() {
    Canvas c(48, 48, Rgba{0, 0, 0, 0});
    for (int y = 0; y < c.height(); ++y) {
        c.FillRect(0, y, c.width(), 1, Mix(Rgba{24, 36, 84, 215}, Rgba{8, 12, 40, 225}, y * 100 / c.height()));
    }
    const Rgba border{220, 226, 250, 255};
    c.FillRect(2, 0, 44, 2, border);
    c.FillRect(2, 46, 44, 2, border);
    c.FillRect(0, 2, 2, 44, border);
    c.FillRect(46, 2, 2, 44, border);
    // Rounded corners: the outermost pixel of each corner stays clear.
    for (int x : {0, 47}) {
        for (int y : {0, 1, 46, 47}) c.Set(x, y, Rgba{0, 0, 0, 0});
    }
    for (int y : {0, 47}) {
        for (int x : {1, 46}) c.Set(x, y, Rgba{0, 0, 0, 0});
    }
    return c;
}

// The highlight behind the chosen line, cut the same way as the frame.
Canvas DrawChoiceCursor() {
    Canvas c(48, 48, Rgba{255, 240, 170, 70});
    const Rgba edge{255, 240, 170, 200};
    c.FillRect(0, 0, 48, 1, edge);
    c.FillRect(0, 47, 48, 1, edge);
    c.FillRect(0, 0, 1, 48, edge);
    c.FillRect(47, 0, 1, 48, edge);
    return c;
}

Canvas DrawWaitCursor() {
    constexpr int kFrames = 4;
    constexpr int kSize = 16;
    // Clear around the arrow: the window draws it whether or not the game
    // asks for its key colour to be left out.
    Canvas c(kSize, kSize * kFrames, Rgba{0, 0, 0, 0});
    for (int frame = 0; frame < kFrames; ++frame) {
        const int drop = frame < 2 ? frame : 4 - frame;  // bobs down and back up
        const int top = frame * kSize + 3 + drop;
        for (int row = 0; row < 8; ++row) {
            c.FillRect(kSize / 2 - (7 - row), top + row, 2 * (7 - row) + 1, 1, Rgba{250, 236, 160});
        }
    }
    return c;
}

Canvas DrawTitleScene() {
    Canvas c(640, 480);
    for (int y = 0; y < 480; ++y) {
        c.FillRect(0, y, 640, 1, Mix(Rgba{70, 120, 210}, Rgba{250, 190, 150}, std::min(100, y * 100 / 330)));
    }
    c.FillEllipse(470, 150, 46, 46, Rgba{255, 236, 170});
    for (int x = 0; x < 640; ++x) {
        const int far = 300 + static_cast<int>(30 * std::sin(x / 70.0) + 14 * std::sin(x / 23.0));
        c.FillRect(x, far, 1, 480 - far, Rgba{96, 120, 150});
        const int near = 360 + static_cast<int>(24 * std::sin(x / 90.0 + 1.5) + 8 * std::sin(x / 31.0));
        c.FillRect(x, near, 1, 480 - near, Rgba{64, 130, 70});
    }
    c.Speckle(0, 360, 640, 120, 6, 77);
    return c;
}

Canvas DrawSparkle() {
    Canvas c(48, 48, Rgba{0, 0, 0, 0});
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            const double dx = x - 23.5, dy = y - 23.5;
            const double star = std::max(0.0, 1.0 - std::min(std::abs(dx), std::abs(dy)) / 3.0) *
                                std::max(0.0, 1.0 - std::hypot(dx, dy) / 24.0);
            const double glow = std::max(0.0, 1.0 - std::hypot(dx, dy) / 12.0);
            const int alpha = static_cast<int>(255 * std::min(1.0, star + glow * 0.8));
            c.Set(x, y, Rgba{255, 250, 210, static_cast<uint8_t>(alpha)});
        }
    }
    return c;
}

}  // namespace velk::sampleart
