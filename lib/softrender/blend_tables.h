#pragma once
// The lookup tables of the software renderer's blend arithmetic: every
// division by 255 in a draw loop is a look-up here, never a division.

#include <cstdint>

namespace velk {

// Row k (0..255), slot j (0..510): k x (j - 255) / 255, rounded toward zero.
// Reach a row through its centre (slot 255) with a signed difference in
// -255..255. Slot 511 of every row is never written and stays 0.
extern int32_t SignedMulDiv255Table[256][512];
// Row k, entry i: i x k / 255, rounded down.
extern uint32_t MulDiv255Table[256][256];
// Block b, row r, column c (0..63 each): (r x b + c x (63 - b)) / 63, rounded
// down; block P / 4 mixes 5- and 6-bit channels by the blend parameter P.
extern uint8_t BlendLerpTable6[64][64][64];
// The weight (0..255) of a blend-graph pixel whose value is the index.
extern uint8_t BlendGraphTransitionTable[256];

// Fills the three fixed tables; the display start-up calls it after every
// successful start. Returns 0.
int InitMemImgTables();
// Fills BlendGraphTransitionTable for a border and range already clamped to
// 0..255: the border moves a ramp along the blend graph's values, the range
// sets its width.
void BuildBlendGraphTable(int border, int range);

// d + (s - d) x w / 255 rounded toward zero, through the signed table.
inline int SignedMulDiv255(int w, int difference) { return SignedMulDiv255Table[w][255 + difference]; }

}  // namespace velk
