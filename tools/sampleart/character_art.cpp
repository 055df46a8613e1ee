#include "tools/sampleart/sample_art.h"

namespace velk::sampleart {
namespace {

// Facings in sheet row order: down, left, right, up.
enum class Facing { kDown, kLeft, kRight, kUp };

// One walking figure in a cell: `step` -1, 0 or 1 moves the legs and arms.
void Figure(Canvas& c, int x, int y, int w, int h, const CharacterLook& look, Facing facing, int step) {
    const int cx = x + w / 2;
    const int foot = y + h - 2;
    const Rgba outline{40, 30, 30};
    // Shadow-free feet and legs.
    const int leg_shift = step * 2;
    c.FillRect(cx - 5 + (facing == Facing::kLeft || facing == Facing::kRight ? leg_shift : 0), foot - 8, 4,
               8 - (step > 0 ? 2 : 0), look.legs);
    c.FillRect(cx + 1 - (facing == Facing::kLeft || facing == Facing::kRight ? leg_shift : 0), foot - 8, 4,
               8 - (step < 0 ? 2 : 0), look.legs);
    // Body with arms.
    c.FillRect(cx - 7, foot - 20, 14, 13, look.body);
    c.FillRect(cx - 7, foot - 20, 14, 1, outline);
    c.FillRect(cx - 9, foot - 19 + step, 3, 9, look.body);
    c.FillRect(cx + 6, foot - 19 - step, 3, 9, look.body);
    c.FillRect(cx - 7, foot - 9, 14, 2, Mix(look.body, outline, 40));
    // Head, hair and face by facing.
    c.FillEllipse(cx, foot - 27, 8, 8, look.skin);
    c.FillEllipse(cx, foot - 31, 9, 5, look.hair);
    switch (facing) {
        case Facing::kDown:
            c.FillRect(cx - 4, foot - 27, 2, 3, outline);
            c.FillRect(cx + 2, foot - 27, 2, 3, outline);
            break;
        case Facing::kLeft:
            c.FillEllipse(cx + 4, foot - 28, 5, 6, look.hair);
            c.FillRect(cx - 5, foot - 27, 2, 3, outline);
            break;
        case Facing::kRight:
            c.FillEllipse(cx - 4, foot - 28, 5, 6, look.hair);
            c.FillRect(cx + 3, foot - 27, 2, 3, outline);
            break;
        case Facing::kUp: c.FillEllipse(cx, foot - 27, 8, 7, look.hair); break;
    }
}

}  // namespace

Canvas DrawCharacterSheet(const CharacterLook& look, int patterns) {
    constexpr int kCellWidth = 32;
    constexpr int kCellHeight = 48;
    Canvas c(patterns * kCellWidth, 4 * kCellHeight);
    const Facing rows[] = {Facing::kDown, Facing::kLeft, Facing::kRight, Facing::kUp};
    for (int row = 0; row < 4; ++row) {
        for (int pattern = 0; pattern < patterns; ++pattern) {
            // Patterns walk left foot, stand, right foot, stand...
            const int step = pattern % 2 == 1 ? 0 : (pattern % 4 == 0 ? -1 : 1);
            Figure(c, pattern * kCellWidth, row * kCellHeight, kCellWidth, kCellHeight, look, rows[row], step);
        }
    }
    return c;
}

}  // namespace velk::sampleart
