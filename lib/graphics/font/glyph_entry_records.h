#pragma once
// What the 512-bit writer of anti-aliased edged glyphs over a plain 32-bit
// image found for each step of the glyphs it wrote lately: the step's cell
// values and the premultiplied entries it gathered for them. A step whose
// cells are those recorded loads the entries instead of gathering them
// again (a string's glyphs mostly come back in the next frame).
//
// A record is only ever used for the very cell values it holds, compared
// lane by lane at each step, and for entries of the same making: a glyph
// cache cell rewritten with another glyph, a font deleted and its memory
// reused, or a glyph clipped differently only makes steps miss and record
// again. Which glyph a slot belongs to (its cells' address) only decides
// where a glyph's steps are looked for.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace velk {

class GlyphEntryRecords {
public:
    // Steps remembered for one glyph (a glyph of 16-pixel edged text takes
    // 23, of 20-pixel 33); the steps after them are gathered each time.
    static constexpr int kSteps = 40;
    // Slots: kSets groups of kWays, a glyph's slot chosen by its address
    // among its group's, the least recently used given up. (Eight ways:
    // with four, a line of 40 glyphs now and then had five in one group,
    // which then gave each other up at every line.)
    static constexpr int kSets = 32;
    static constexpr int kWays = 8;

    struct Slot {
        // Per step: the entries of its sixteen lanes (the order of the
        // gathers), then the cell values they were gathered for. Values
        // all 0 mark a step not recorded: such a step gathers nothing.
        alignas(64) uint8_t entries[kSteps][128];
        alignas(64) uint8_t cells[kSteps][16];
    };

    // The slot of the glyph whose cells start at `cells`, for entries of
    // the making `made` (see GlyphWriter::Lookup); a slot last used for
    // another making holds no step.
    // (Inline: a line of text asks once a glyph.)
    Slot* SlotFor(const void* cells, uint64_t made) {
        if (slots_ == nullptr && !Allocate()) {
            return nullptr;
        }
        // Cells of one cache lie a cell apart, whatever the cell's size:
        // every bit of the address mixed into every bit of the group's
        // number (a multiply alone sends some strides to a few groups only).
        uint64_t mixed = reinterpret_cast<uintptr_t>(cells);
        mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ull;
        mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBull;
        const size_t set = static_cast<size_t>((mixed ^ (mixed >> 31)) % kSets);
        Owner* group = owners_ + set * kWays;
        ++uses_;
        int way = 0;
        for (int w = 0; w < kWays; ++w) {
            if (group[w].cells == cells) {
                way = w;
                break;
            }
            if (group[w].used < group[way].used) {
                way = w;
            }
        }
        Owner& owner = group[way];
        Slot& slot = slots_[set * kWays + static_cast<size_t>(way)];
        // (Steps recorded for another glyph of the same making may stay:
        // they serve only the very cell values they hold.)
        if (owner.made != made) {
            std::memset(slot.cells, 0, sizeof(slot.cells));
            owner.made = made;
        }
        owner.cells = cells;
        owner.used = uses_;
        return &slot;
    }

    // Every slot holds no step (tests).
    void Clear();

    // The largest memory the records ever take, in bytes.
    static constexpr size_t kBytes = sizeof(Slot) * kSets * kWays;

private:
    struct Owner {
        const void* cells = nullptr;
        uint64_t made = 0;
        uint64_t used = 0;
    };
    // Takes the slots' memory; false when there is none to take.
    bool Allocate();
    struct Free {
        void operator()(void* memory) const;
    };
    // (Zeroed, and only touched where used: a thread that writes short
    // strings keeps a few pages.) The slots start at the first multiple of
    // 64 bytes in it.
    std::unique_ptr<void, Free> memory_;
    Slot* slots_ = nullptr;
    Owner owners_[kSets * kWays]{};
    uint64_t uses_ = 0;
};

// This thread's records (the writers of a thread share them).
GlyphEntryRecords& ThreadGlyphEntryRecords();

// A number no other making of entries in this process has had (never 0).
uint64_t NewEntriesMaking();

}  // namespace velk
