#pragma once
// The table of font records: 40 slots, each empty or owning one record. A
// handle is 0x20000000 | (check << 16) | slot; the check counter makes a
// handle kept past its font's deletion useless once the slot holds another.

#include "lib/graphics/font/font_data.h"

namespace velk {

// The live record of a handle, or null.
FontData* GetFontData(int font);
// 1 when the handle names a live font, else 0.
int CheckFontHandleValid(int font);

namespace font_table {

FontData* AtSlot(int slot);
// The lowest empty slot, -1 when all are taken.
int FirstFreeSlot();
// Puts the record in an empty slot with the given check counter and returns
// its handle.
int Place(int slot, FontData* font, int check);
// Empties the slot (the record is not freed here).
void Clear(int slot);
// The check counter the next new font gets; advances it (2047 wraps to 0).
int TakeNextCheck();
// Empties every slot and restarts the check counter (the records must have
// been freed).
void Reset();

}  // namespace font_table

}  // namespace velk
