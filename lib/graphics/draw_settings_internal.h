#pragma once
// Draw-settings entries only the graph side itself uses (and the text it
// draws glyph by glyph from textures).

#include "lib/core/math.h"

namespace velk {

struct SavedDrawArea {
    Rect area;
    float area_f[4];
    int empty;
};

SavedDrawArea SaveDrawArea();
// Puts a saved draw area back exactly and hands it to the paths again.
void RestoreDrawArea(const SavedDrawArea& saved);

// Puts the three new-graph settings a movie graph is made with (or back).
void DrawSettingsForMaking(int color_depth, int system_memory, int texture_setting);

}  // namespace velk
