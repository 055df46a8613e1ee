#include "lib/graphics/font/edge_brush.h"

#include <array>
#include <cstdlib>
#include <map>

namespace velk {

namespace {

// The shaped brushes, one row of nine columns per brush row; the brush of
// edge size e uses the top-left (2e + 1)-square.
constexpr std::array<const char*, 3> kBrush1 = {
    ".#.",
    "###",
    ".#.",
};
constexpr std::array<const char*, 5> kBrush2 = {
    ".###.",
    "#####",
    "#####",
    "#####",
    ".###.",
};
constexpr std::array<const char*, 7> kBrush3 = {
    "...#...",
    ".#####.",
    ".#####.",
    "#######",
    ".#####.",
    ".#####.",
    "...#...",
};
constexpr std::array<const char*, 9> kBrush4 = {
    "..#####..",
    ".#######.",
    "#########",
    "#########",
    "#########",
    "#########",
    "#########",
    ".#######.",
    "..#####..",
};

const char* const* ShapedRows(int edge_size) {
    switch (edge_size) {
        case 1: return kBrush1.data();
        case 2: return kBrush2.data();
        case 3: return kBrush3.data();
        case 4: return kBrush4.data();
        default: return nullptr;
    }
}

}  // namespace

bool EdgeBrushCovers(int edge_size, int dx, int dy) {
    if (edge_size < 1) {
        edge_size = 1;
    }
    if (std::abs(dx) > edge_size || std::abs(dy) > edge_size) {
        return false;
    }
    const char* const* rows = ShapedRows(edge_size);
    if (rows == nullptr) {
        return true;
    }
    return rows[dy + edge_size][dx + edge_size] == '#';
}

const std::vector<BrushOffset>& EdgeBrushOffsets(int edge_size) {
    static std::map<int, std::vector<BrushOffset>> made;
    if (edge_size < 1) {
        edge_size = 1;
    }
    auto found = made.find(edge_size);
    if (found != made.end()) {
        return found->second;
    }
    std::vector<BrushOffset> offsets;
    for (int dy = -edge_size; dy <= edge_size; ++dy) {
        for (int dx = -edge_size; dx <= edge_size; ++dx) {
            if (EdgeBrushCovers(edge_size, dx, dy)) {
                offsets.push_back({dx, dy});
            }
        }
    }
    return made.emplace(edge_size, std::move(offsets)).first->second;
}

}  // namespace velk
