#include "lib/graphics/font/font_table.h"

#include "lib/core/handle_table.h"

namespace velk {

namespace {

HandleTable<FontData>& Table() {
    static HandleTable<FontData> table(kFontHandleSlots, kFontHandleType);
    return table;
}

}  // namespace

FontData* GetFontData(int font) { return Table().Get(font); }

int CheckFontHandleValid(int font) { return GetFontData(font) != nullptr ? 1 : 0; }

namespace font_table {

FontData* AtSlot(int slot) { return Table().AtSlot(slot); }

int FirstFreeSlot() { return Table().LowestFreeSlot(); }

int Place(int slot, FontData* font, int check) { return Table().AddAt(slot, static_cast<uint32_t>(check), font); }

void Clear(int slot) {
    if (AtSlot(slot) != nullptr) {
        Table().Remove(Table().HandleOf(slot));
    }
}

int TakeNextCheck() { return static_cast<int>(Table().TakeNextCheck()); }

void Reset() { Table().Reset(); }

}  // namespace font_table

}  // namespace velk
