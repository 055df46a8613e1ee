#include "tools/sampleart/sample_art.h"

#include <tuple>
#include <utility>

namespace velk::sampleart {
namespace {

constexpr int kChip = 32;

constexpr Rgba kGrass{92, 168, 72};
constexpr Rgba kGrassDark{64, 132, 58};
constexpr Rgba kDirt{178, 140, 92};
constexpr Rgba kSand{222, 204, 150};
constexpr Rgba kStone{150, 150, 158};
constexpr Rgba kStoneDark{104, 104, 114};
constexpr Rgba kWood{150, 102, 60};
constexpr Rgba kWoodDark{104, 68, 40};
constexpr Rgba kLeaf{46, 120, 52};
constexpr Rgba kLeafLight{84, 160, 70};
constexpr Rgba kRoofRed{176, 62, 52};
constexpr Rgba kRoofBlue{60, 90, 168};
constexpr Rgba kWater{56, 120, 200};
constexpr Rgba kWaterLight{120, 180, 236};
constexpr Rgba kShore{200, 186, 132};

void Grass(Canvas& c, int x, int y, uint32_t seed) {
    c.FillRect(x, y, kChip, kChip, kGrass);
    c.Speckle(x, y, kChip, kChip, 10, seed);
    for (int i = 0; i < 6; ++i) {
        const int bx = x + static_cast<int>((seed * 7 + i * 11) % 28) + 2;
        const int by = y + static_cast<int>((seed * 13 + i * 17) % 26) + 4;
        c.Line(bx, by, bx + 1, by - 3, kGrassDark);
    }
}

void Bricks(Canvas& c, int x, int y, Rgba face, Rgba mortar, uint32_t seed) {
    c.FillRect(x, y, kChip, kChip, face);
    c.Speckle(x, y, kChip, kChip, 8, seed);
    for (int row = 0; row < 4; ++row) {
        c.FillRect(x, y + row * 8, kChip, 1, mortar);
        for (int col = (row % 2) * 8; col < kChip; col += 16) c.FillRect(x + col, y + row * 8, 1, 8, mortar);
    }
}

void Planks(Canvas& c, int x, int y, bool across) {
    c.FillRect(x, y, kChip, kChip, kWood);
    c.Speckle(x, y, kChip, kChip, 8, across ? 5u : 6u);
    for (int i = 0; i < kChip; i += 8) {
        if (across) {
            c.FillRect(x, y + i, kChip, 1, kWoodDark);
        } else {
            c.FillRect(x + i, y, 1, kChip, kWoodDark);
        }
    }
}

void Roof(Canvas& c, int x, int y, Rgba colour) {
    c.FillRect(x, y, kChip, kChip, colour);
    const Rgba shade = Mix(colour, Rgba{0, 0, 0}, 30);
    for (int row = 0; row + 6 <= kChip; row += 6) {
        c.FillRect(x, y + row + 5, kChip, 1, shade);
        for (int col = (row / 6 % 2) * 4; col < kChip; col += 8) c.FillRect(x + col, y + row, 1, 5, shade);
    }
}

// One chip of the water auto-tile in the shape a corner digit names (the same
// digit at all four corners): 0 a pool on its own, 1 a stream running up and
// down, 2 one running across, 3 open water with land left at the corners, 4
// open water. `frame` moves the ripples.
void WaterShape(Canvas& c, int x, int y, int digit, int frame) {
    c.FillRect(x, y, kChip, kChip, kGrass);
    c.Speckle(x, y, kChip, kChip, 8, 40 + digit);
    const int edge = 5;
    switch (digit) {
        case 0: c.FillEllipse(x + 16, y + 16, 13, 13, kShore); c.FillEllipse(x + 16, y + 16, 11, 11, kWater); break;
        case 1: c.FillRect(x + edge - 2, y, kChip - 2 * edge + 4, kChip, kShore);
                c.FillRect(x + edge, y, kChip - 2 * edge, kChip, kWater); break;
        case 2: c.FillRect(x, y + edge - 2, kChip, kChip - 2 * edge + 4, kShore);
                c.FillRect(x, y + edge, kChip, kChip - 2 * edge, kWater); break;
        case 3: c.FillRect(x, y, kChip, kChip, kWater);
                for (int cx : {0, kChip}) {
                    for (int cy : {0, kChip}) {
                        c.FillEllipse(x + cx, y + cy, edge + 1, edge + 1, kShore);
                        c.FillEllipse(x + cx, y + cy, edge - 1, edge - 1, kGrass);
                    }
                }
                break;
        default: c.FillRect(x, y, kChip, kChip, kWater); break;
    }
    // Ripples: short light dashes that drift right frame by frame.
    for (int i = 0; i < 4; ++i) {
        const int ry = y + 6 + i * 7;
        const int rx = x + (i * 9 + frame * 4) % 24 + 2;
        for (int k = 0; k < 5; ++k) {
            const Rgba under = c.At(rx + k, ry);
            if (under.r == kWater.r && under.g == kWater.g && under.b == kWater.b) c.Set(rx + k, ry, kWaterLight);
        }
    }
}

}  // namespace

Canvas DrawTileset() {
    Canvas c(8 * kChip, 4 * kChip);
    auto at = [](int index) { return std::pair{index % 8 * kChip, index / 8 * kChip}; };
    auto [x, y] = at(kTileGrass);
    Grass(c, x, y, 1);
    std::tie(x, y) = at(kTileFlowers);
    Grass(c, x, y, 2);
    for (int i = 0; i < 5; ++i) {
        const int fx = x + 4 + (i * 13) % 24, fy = y + 4 + (i * 7) % 24;
        c.FillEllipse(fx, fy, 2, 2, i % 2 ? Rgba{240, 220, 80} : Rgba{236, 110, 150});
        c.Set(fx, fy, {255, 255, 255});
    }
    std::tie(x, y) = at(kTilePath);
    c.FillRect(x, y, kChip, kChip, kDirt);
    c.Speckle(x, y, kChip, kChip, 14, 3);
    std::tie(x, y) = at(kTileSand);
    c.FillRect(x, y, kChip, kChip, kSand);
    c.Speckle(x, y, kChip, kChip, 10, 4);
    std::tie(x, y) = at(kTileStoneFloor);
    Bricks(c, x, y, kStone, kStoneDark, 5);
    std::tie(x, y) = at(kTileWoodFloor);
    Planks(c, x, y, true);
    std::tie(x, y) = at(kTileBridge);
    Planks(c, x, y, false);
    std::tie(x, y) = at(kTileDarkGrass);
    c.FillRect(x, y, kChip, kChip, kGrassDark);
    c.Speckle(x, y, kChip, kChip, 10, 8);

    // Objects stand on the transparent colour so the ground shows through.
    std::tie(x, y) = at(kTileTreeTop);
    c.FillEllipse(x + 16, y + 18, 15, 14, kLeaf);
    c.FillEllipse(x + 12, y + 13, 8, 7, kLeafLight);
    std::tie(x, y) = at(kTileTreeTrunk);
    c.FillEllipse(x + 16, y + 2, 15, 8, kLeaf);
    c.FillRect(x + 12, y + 6, 8, 22, kWoodDark);
    c.FillEllipse(x + 16, y + 29, 9, 3, Mix(kGrassDark, Rgba{0, 0, 0}, 30));
    c.FillRect(x + 12, y + 6, 8, 22, kWoodDark);
    std::tie(x, y) = at(kTileBush);
    c.FillEllipse(x + 16, y + 20, 14, 11, kLeaf);
    c.FillEllipse(x + 11, y + 16, 6, 5, kLeafLight);
    std::tie(x, y) = at(kTileRock);
    c.FillEllipse(x + 16, y + 20, 12, 9, kStoneDark);
    c.FillEllipse(x + 14, y + 17, 9, 6, kStone);
    std::tie(x, y) = at(kTileFence);
    c.FillRect(x, y + 10, kChip, 4, kWood);
    c.FillRect(x, y + 20, kChip, 4, kWood);
    c.FillRect(x + 4, y + 6, 4, 24, kWoodDark);
    c.FillRect(x + 24, y + 6, 4, 24, kWoodDark);
    std::tie(x, y) = at(kTileSign);
    c.FillRect(x + 14, y + 16, 4, 14, kWoodDark);
    c.FillRect(x + 5, y + 6, 22, 12, kWood);
    c.FillRect(x + 8, y + 10, 16, 1, kWoodDark);
    c.FillRect(x + 8, y + 13, 12, 1, kWoodDark);
    std::tie(x, y) = at(kTileChest);
    c.FillRect(x + 6, y + 12, 20, 16, kWood);
    c.FillRect(x + 6, y + 12, 20, 5, kWoodDark);
    c.FillRect(x + 14, y + 16, 4, 5, Rgba{236, 200, 70});
    std::tie(x, y) = at(kTileBarrel);
    c.FillEllipse(x + 16, y + 18, 10, 12, kWood);
    c.FillRect(x + 6, y + 11, 20, 2, kWoodDark);
    c.FillRect(x + 6, y + 23, 20, 2, kWoodDark);
    // The record stone: a blue crystal on a stone foot.
    std::tie(x, y) = at(kTileCrystal);
    c.FillRect(x + 8, y + 24, 16, 6, kStoneDark);
    c.FillRect(x + 10, y + 22, 12, 3, kStone);
    for (int row = 0; row < 20; ++row) {
        const int half = row < 8 ? row / 2 + 2 : 6 - (row - 8) / 3;
        c.FillRect(x + 16 - half, y + 2 + row, 2 * half, 1, Mix(Rgba{120, 200, 255}, Rgba{40, 90, 200}, row * 5));
    }
    c.FillRect(x + 14, y + 6, 2, 8, Rgba{230, 250, 255});

    std::tie(x, y) = at(kTileStoneWall);
    Bricks(c, x, y, kStoneDark, Mix(kStoneDark, Rgba{0, 0, 0}, 35), 9);
    std::tie(x, y) = at(kTileWoodWall);
    Planks(c, x, y, false);
    std::tie(x, y) = at(kTileDoor);
    Planks(c, x, y, false);
    c.FillRect(x + 6, y + 4, 20, 28, kWoodDark);
    c.FillRect(x + 8, y + 6, 16, 26, Mix(kWoodDark, Rgba{0, 0, 0}, 25));
    c.FillEllipse(x + 21, y + 19, 1, 1, Rgba{236, 200, 70});
    std::tie(x, y) = at(kTileWindowWall);
    Planks(c, x, y, false);
    c.FillRect(x + 8, y + 8, 16, 14, kWoodDark);
    c.FillRect(x + 10, y + 10, 12, 10, Rgba{250, 226, 140});
    c.FillRect(x + 15, y + 10, 2, 10, kWoodDark);
    std::tie(x, y) = at(kTileRoofRed);
    Roof(c, x, y, kRoofRed);
    std::tie(x, y) = at(kTileRoofBlue);
    Roof(c, x, y, kRoofBlue);
    return c;
}

Canvas DrawWaterAutoTile() {
    constexpr int kFrames = 3;
    Canvas c(kFrames * kChip, 5 * kChip);
    for (int frame = 0; frame < kFrames; ++frame) {
        for (int digit = 0; digit <= 4; ++digit) {
            // Drawn on a chip of its own: the shore's corner circles must not
            // reach into the neighbouring shapes and frames.
            Canvas chip(kChip, kChip);
            WaterShape(chip, 0, 0, digit, frame);
            for (int y = 0; y < kChip; ++y) {
                for (int x = 0; x < kChip; ++x)
                    c.Set(frame * kChip + x, digit * kChip + y, chip.At(x, y));
            }
        }
    }
    return c;
}

}  // namespace velk::sampleart
