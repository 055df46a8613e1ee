#include "lib/softrender/blend_tables.h"

namespace velk {

int32_t SignedMulDiv255Table[256][512];
uint32_t MulDiv255Table[256][256];
uint8_t BlendLerpTable6[64][64][64];
uint8_t BlendGraphTransitionTable[256];

int InitMemImgTables() {
    for (int k = 0; k < 256; ++k) {
        for (int j = 0; j <= 510; ++j) {
            // C++ division truncates toward zero, as the table is defined.
            SignedMulDiv255Table[k][j] = k * (j - 255) / 255;
        }
    }
    for (int k = 0; k < 256; ++k) {
        for (int i = 0; i < 256; ++i) {
            MulDiv255Table[k][i] = static_cast<uint32_t>(i * k / 255);
        }
    }
    for (int b = 0; b < 64; ++b) {
        for (int r = 0; r < 64; ++r) {
            for (int c = 0; c < 64; ++c) {
                BlendLerpTable6[b][r][c] = static_cast<uint8_t>((r * b + c * (63 - b)) / 63);
            }
        }
    }
    return 0;
}

void BuildBlendGraphTable(int border, int range) {
    // The setter clamps both already; clamping again keeps q away from 0.
    border = border < 0 ? 0 : (border > 255 ? 255 : border);
    range = range < 0 ? 0 : (range > 255 ? 255 : range);
    const int q = range + 1;
    const int offset = 256 - ((65536 / q + 256) * border) / 256;
    for (int i = 0; i < 256; ++i) {
        int value = (i * 256) / q + offset;
        value = value < 0 ? 0 : (value > 255 ? 255 : value);
        BlendGraphTransitionTable[i] = static_cast<uint8_t>(value);
    }
}

}  // namespace velk
