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
    Slot* SlotFor(const void* cells, uint64_t made);

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
