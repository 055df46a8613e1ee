#pragma once
// Writes glyphs from a memory glyph cache into a software image: the glyph in
// the text colour and its edge in the edge colour, both already in the
// image's pixel format. Into an image with alpha the coverage becomes the
// alpha (anti-aliased edged glyphs lie over their edge); into an image
// without alpha an anti-aliased pixel is mixed with what is there; an 8-bit
// image takes whichever colour covers a pixel more than half.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "lib/core/math.h"
#include "lib/softrender/memimg.h"

namespace velk {

// A glyph's box inside its cache cell.
struct GlyphCellView {
    const uint8_t* pixels = nullptr;  // the cell's top-left pixel
    int pitch = 0;
    int width = 0;
    int height = 0;
};

// A glyph of a laid-out line: its box's top-left (along, top) from the line's
// origin (turned text: `along` is the box's top) and the cache cell holding
// it.
struct PlacedGlyph {
    int along;
    int32_t cell;
    int16_t top;
    int16_t width;
    int16_t height;
};

// A laid-out line's glyphs, in their cache: cell c starts at
// `cells + c x cell_bytes`.
struct GlyphLine {
    const uint8_t* cells = nullptr;
    ptrdiff_t cell_bytes = 0;
    int pitch = 0;
    const PlacedGlyph* glyphs = nullptr;
    size_t count = 0;
    // The cache's stamp (new whenever its cells change, never given twice),
    // under which a writer may keep what it makes of a cell's values; 0
    // when the cells are not a stamped cache's.
    uint64_t stamp = 0;
    // The number of the layout the glyphs are (new whenever a line is laid
    // out, never given twice): a writer that kept a line of this number
    // knows its glyphs without comparing them; 0 when the glyphs have none.
    uint64_t layout = 0;
};

// The colour channels of a raw pixel of the image's format darkened by the
// draw bright, without the bits no channel uses: what Begin makes of a colour
// (8-bit images keep their index).
uint32_t BrightenedPixel(const MEMIMG& image, uint32_t pixel, int bright_red, int bright_green, int bright_blue);

class GlyphWriter {
public:
    // Prepares the writer for one string. The colours are raw pixels of the
    // image's format; they are darkened by the draw bright (255 = as they
    // are). False when the image cannot take text (invalid, or a depth
    // image).
    // `as_alpha_blit`: into a 32- or 16-bit image without alpha, each pixel becomes
    // what writing the glyph into an empty image with alpha and then drawing
    // that with its alpha in mode 0 (under the transparency flag) would make
    // of it; false for any other image.
    // `blit_weight` below 255, with `as_alpha_blit` into a 32-bit image and a
    // font type without anti-aliasing: what drawing the glyphs keyed from an
    // image without alpha in mode 1 by that weight would make, which mixes
    // as an alpha blit of that coverage does; false for other font types.
    bool Begin(const MEMIMG& dest, int font_type, uint32_t text_color, uint32_t edge_color, int bright_red,
               int bright_green, int bright_blue, bool as_alpha_blit = false, int blit_weight = 255);

    // The glyph box with its top-left at (x, y), cut to `clip`. (Inline: a
    // string writes each of its glyphs.)
    void Write(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphCellView& glyph) const {
        if (wide_box_ == nullptr) {
            WriteWithoutWideBox(dest, clip, x, y, glyph);
            return;
        }
        const int x0 = std::max(0, clip.left - x), y0 = std::max(0, clip.top - y);
        const int x1 = std::min(glyph.width, clip.right - x), y1 = std::min(glyph.height, clip.bottom - y);
        if (x0 < x1 && y0 < y1) {
            wide_box_(dest, x, y, glyph, x0, y0, x1, y1, inks_.data(), lookup_, cover_words_.data());
        }
    }
    // The glyphs of a line with its origin at (x, y), cut to `clip`: as
    // Write of each in turn, with what the string's box form needs set up
    // once a line rather than once a glyph.
    void WriteLine(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphLine& line) const;
    // The glyph turned a quarter turn clockwise: the glyph pixel (gx, gy)
    // lands on (x - gy, y + gx), so its top faces right.
    void WriteTurned(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphCellView& glyph) const;

    // k32Over, k16Over: an image without alpha written as an alpha blit would.
    enum class Kind { k8, k16, k16Alpha, k32, k32Alpha, k32Over, k16Over };

    // What one cell value puts down: the pixel (alpha included where the
    // image has alpha) and its coverage.
    struct Ink {
        uint32_t pixel = 0;
        uint8_t alpha = 0;
    };

    // Where cell values stay below 16 and every ink is stored whole (into
    // an image with alpha, or two whole inks), the rows can be written
    // eight pixels at a time from these: the raw pixel of each value, and a
    // bit set for each value that leaves its pixel as it is.
    struct Lookup {
        alignas(32) std::array<uint32_t, 16> pixels{};
        uint32_t keep_bits = 0xFFFF;
        bool usable = false;
        bool gather = false;    // values up to 255, read from the inks themselves
        bool two_inks = false;  // edged cells: 1 the text, 2 the edge
        // Anti-aliased text over a plain image whose inks are one colour at
        // coverage 16 v (v = 1 to 14) and whole at 15.
        bool sixteen_levels = false;
        uint32_t level_color = 0;
        // Which making of the premultiplied entries of anti-aliased edged
        // cells over a plain 32-bit image this is (0: none): entries
        // recorded from one making serve only steps of the same.
        uint64_t entries_made = 0;
        // Anti-aliased edged cells over a plain 16-bit image: the stamp of
        // the tables after the cover words, kept with them.
        uint64_t tables_stamp = 0;
    };

    // Writes the part (x0, y0)-(x1, y1) of a glyph box, in the box's own
    // coordinates, placed with its top-left at (x, y).
    using WideBoxWriter = void (*)(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0, int x1,
                                   int y1, const Ink* inks, const Lookup& lookup, const uint32_t* cover_words);

    // Writes a line's glyphs with one box form.
    using LineWriter = void (*)(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphLine& line,
                                const Ink* inks, const Lookup& lookup, const uint32_t* cover_words);

private:
    void WriteWithoutWideBox(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphCellView& glyph) const;

    // What a writer's inks were made for.
    struct InkKey {
        Kind kind = Kind::k32;
        int font_type = 0;
        uint32_t text = 0, edge = 0, unused = 0;
        int red = 0, green = 0, blue = 0, weight = 255;
        bool operator==(const InkKey&) const = default;
    };

    // The inks and lookup of kind_ and font_type_ for these colours.
    void MakeInks(uint32_t text_color, uint32_t edge_color, uint32_t unused, int bright_red, int bright_green,
                  int bright_blue, int blit_weight);

    // Anti-aliased edged cells over a plain image read their inks from
    // cover_words_.
    bool UsesCoverWords() const { return (kind_ == Kind::k16Over || kind_ == Kind::k32Over) && font_type_ == 3; }

    Kind kind_ = Kind::k32;
    int font_type_ = 0;
    std::array<Ink, 256> inks_{};
    int inks_set_ = 0;  // inks_ beyond this hold nothing
    Lookup lookup_{};
    // At 16 bits, each ink's colour word with its coverage in bits 16 to 23
    // (one load a pixel), then the byte tables of MakeEdgedOver16Tables. At
    // 32 bits, each ink's premultiplied entry of 64 bits (two words a value).
    std::array<uint32_t, 512> cover_words_{};
    bool inks_made_ = false;  // whether inks_ hold those of inks_made_for_
    InkKey inks_made_for_{};
    // The widest form chosen for this string's glyph boxes (chosen once
    // a string, not a glyph), or none.
    WideBoxWriter wide_box_ = nullptr;
    // The line form of wide_box_ (none without it).
    LineWriter wide_line_ = nullptr;
};

// Whether glyph rows may use the machine's wide vector forms where it has
// them (on by default); tests compare both against the same rules.
void UseWideGlyphWriter(bool allowed);
// Whether the wide forms may take 512-bit steps where the machine has them
// (on by default); off, they stay at 256 bits. A writer chooses its 512-bit
// form when it begins a string.
void UseWidestGlyphWriter(bool allowed);
// Whether the 512-bit form of anti-aliased edged cells over a plain 32-bit
// image may mix by premultiplied entries (on by default); off, it gathers
// the inks and mixes them as the 256-bit forms do.
void UseGlyphMixEntries(bool allowed);
// Whether the steps of those entries may load the entries recorded for the
// same cells of a glyph written before instead of gathering them again (on
// by default).
void UseGlyphEntryRecords(bool allowed);
// Whether the 512-bit forms may build the inks of anti-aliased edged cells
// over a plain 16-bit image by byte permutes where the machine has them (on
// by default); off, they gather them.
void UseGlyphInkPermutes(bool allowed);
// Whether the 512-bit form of anti-aliased cells of one colour over a plain
// 16-bit image may mix each channel of the ink and the pixel in one multiply
// of byte pairs (on by default); off, it mixes them as the 256-bit forms do.
void UseGlyphLevelPairs(bool allowed);

}  // namespace velk
