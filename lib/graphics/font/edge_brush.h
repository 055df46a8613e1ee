#pragma once
// The brushes that grow a glyph into its edge: edge size 1 is a plus of five
// points, sizes 2 to 4 are rounded squares of side 2e + 1, larger sizes the
// full square.

#include <vector>

namespace velk {

struct BrushOffset {
    int dx = 0;
    int dy = 0;
};

// Whether the brush of this edge size covers the offset (dx, dy) from its
// centre.
bool EdgeBrushCovers(int edge_size, int dx, int dy);
// Every offset the brush covers (the centre included).
const std::vector<BrushOffset>& EdgeBrushOffsets(int edge_size);

}  // namespace velk
