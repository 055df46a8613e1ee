#include "lib/graphics/font/font_table.h"

#include <array>

namespace velk {

namespace {

struct FontTable {
    std::array<FontData*, kFontHandleSlots> slots{};
    int next_check = 0;
};

FontTable& Table() {
    static FontTable table;
    return table;
}

constexpr uint32_t kSlotMask = 0xFFFF;
constexpr uint32_t kCheckMask = 0x07FF0000;
constexpr uint32_t kTypeMask = 0x78000000;
constexpr int kCheckShift = 16;

}  // namespace

FontData* GetFontData(int font) {
    if (font < 0 || (static_cast<uint32_t>(font) & kTypeMask) != kFontHandleType) {
        return nullptr;
    }
    const uint32_t slot = static_cast<uint32_t>(font) & kSlotMask;
    if (slot >= static_cast<uint32_t>(kFontHandleSlots)) {
        return nullptr;
    }
    FontData* record = Table().slots[slot];
    if (record == nullptr || (record->check << kCheckShift) != (static_cast<uint32_t>(font) & kCheckMask)) {
        return nullptr;
    }
    return record;
}

int CheckFontHandleValid(int font) { return GetFontData(font) != nullptr ? 1 : 0; }

namespace font_table {

FontData* AtSlot(int slot) {
    return slot >= 0 && slot < kFontHandleSlots ? Table().slots[static_cast<size_t>(slot)] : nullptr;
}

int FirstFreeSlot() {
    for (int slot = 0; slot < kFontHandleSlots; ++slot) {
        if (Table().slots[static_cast<size_t>(slot)] == nullptr) {
            return slot;
        }
    }
    return -1;
}

int Place(int slot, FontData* font, int check) {
    font->check = static_cast<uint32_t>(check) % kFontCheckLimit;
    font->handle = static_cast<int32_t>(kFontHandleType | (font->check << kCheckShift) | static_cast<uint32_t>(slot));
    Table().slots[static_cast<size_t>(slot)] = font;
    return font->handle;
}

void Clear(int slot) {
    if (slot >= 0 && slot < kFontHandleSlots) {
        Table().slots[static_cast<size_t>(slot)] = nullptr;
    }
}

int TakeNextCheck() {
    FontTable& table = Table();
    const int check = table.next_check;
    table.next_check = (table.next_check + 1) % kFontCheckLimit;
    return check;
}

void Reset() {
    Table().slots.fill(nullptr);
    Table().next_check = 0;
}

}  // namespace font_table

}  // namespace velk
