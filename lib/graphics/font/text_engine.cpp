#include "lib/graphics/font/text_engine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "lib/core/log.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/font/font_log_texts.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/font/glyph_cache.h"
#include "lib/graphics/font/glyph_texture.h"
#include "lib/graphics/font/glyph_writer.h"
#include "lib/graphics/font/text_draw_2d.h"
#include "lib/graphics/font/text_draw_screen.h"

namespace velk {

namespace {

constexpr uint16_t kHalfWidthSpace = 0x20;
constexpr uint16_t kFullWidthSpace = 0x8140;

bool DirectDrawMissing() { return !Host().DirectDrawOff() && !Host().DirectDrawExists(); }

Rect ClipToImage(const MEMIMG& image, const Rect* clip) {
    Rect r{0, 0, image.width, image.height};
    if (clip != nullptr) {
        r.left = std::max(r.left, clip->left);
        r.top = std::max(r.top, clip->top);
        r.right = std::min(r.right, clip->right);
        r.bottom = std::min(r.bottom, clip->bottom);
    }
    return r;
}

// Blanks and glyphs without a box put nothing down.
bool HasInk(const GlyphEntry& entry, uint16_t code) {
    return entry.width > 0 && entry.height > 0 && code != kHalfWidthSpace && code != kFullWidthSpace;
}

// Whether no glyph's box reaches back into an earlier glyph's along the line,
// so that every pixel takes ink from one glyph at most. False too when the
// string holds more characters than the cache has cells, as finding one
// could then replace another.
bool GlyphBoxesApart(FontData& record, const CharacterCodes& codes, double rate) {
    if (codes.size() > static_cast<size_t>(record.cell_count)) {
        return false;
    }
    double pen = 0.0;
    int ink_end = 0;
    bool any = false;
    for (size_t i = 0; i < codes.size(); ++i) {
        const GlyphEntry* entry = FindGlyph(record, codes[i]);
        if (entry == nullptr) {
            return false;
        }
        if (HasInk(*entry, codes[i])) {
            const int left = static_cast<int>(pen) + entry->origin_x;
            if (any && left < ink_end) {
                return false;
            }
            any = true;
            ink_end = std::max(ink_end, left + entry->width);
        }
        pen += (entry->advance + record.spacing) * rate;
    }
    return true;
}

TextExtent LineExtent(const FontData& record, int advance, int ink_end, int vertical, double rate_x, double rate_y) {
    const int along = std::max({advance, ink_end, 0});
    const int across = static_cast<int>(record.cell_height * (vertical != 0 ? rate_x : rate_y));
    return vertical != 0 ? TextExtent{across, along} : TextExtent{along, across};
}

// A spacing beyond this takes the general path, whose pen is summed in 64
// bits: within it no pen of a laid-out line (LineLayout::kCapacity glyphs)
// leaves the range of an int.
constexpr int kLaidOutSpacingLimit = 1 << 20;

// Where a line's glyphs go, worked out before any is drawn, with what
// drawing them needs of their cache entries.
struct LineLayout {
    // Longer lines are rare enough to take the general path.
    static constexpr size_t kCapacity = 256;
    using Placed = PlacedGlyph;
    size_t characters = 0;
    int advance = 0;
    int ink_end = 0;
    bool boxes_apart = true;  // as GlyphBoxesApart, but for the cell count
    size_t inked = 0;         // glyphs[0, inked) put ink down
    std::vector<Placed> glyphs = std::vector<Placed>(kCapacity);
    uint64_t number = 0;  // as GlyphLine::layout; 0 while the glyphs are being laid out
};

// (Shared by the threads' kept layouts: a writer never takes one thread's
// layout for another's.)
uint64_t NewLayoutNumber() {
    static std::atomic<uint64_t> count{0};
    return count.fetch_add(1, std::memory_order_relaxed) + 1;
}

// Lays out a line whose characters are all cached, and so can be drawn
// without rendering: then no lookup can evict another, and each character is
// looked up once. False (the line is not laid out) when one is not cached or
// the line has more than kCapacity characters.
bool LayOutCachedLine(const FontData& record, const char* string, size_t bytes, LineLayout* line) {
    const int spacing = record.spacing;
    if (spacing < -kLaidOutSpacingLimit || spacing > kLaidOutSpacingLimit) {
        return false;
    }
    int pen = 0;
    int ink_end = 0;
    bool apart = true;
    size_t characters = 0;
    size_t inked = 0;
    LineLayout::Placed* const placed = line->glyphs.data();
    const bool all_cached = VisitCachedGlyphs(record, string, bytes, [&](uint16_t code, const GlyphEntry& entry) {
        if (characters == LineLayout::kCapacity) {
            return false;
        }
        ++characters;
        if (HasInk(entry, code)) {
            const int left = pen + entry.origin_x;
            apart = apart && (inked == 0 || left >= ink_end);
            ink_end = std::max(ink_end, left + entry.width);
            placed[inked++] = LineLayout::Placed{left, entry.cell, entry.top, entry.width, entry.height};
        }
        pen += entry.advance + spacing;
        return true;
    });
    line->characters = characters;
    line->advance = pen;
    line->ink_end = ink_end;
    line->boxes_apart = apart;
    line->inked = inked;
    return all_cached;
}

// The layouts of the lines drawn last, each kept under its font's record
// and cache stamp, spacing and bytes: games draw the same lines frame after
// frame, and a line found here needs no lookup in the cache.
class LaidOutLines {
public:
    // The line's layout as the font's cache now stands, laid out now when it
    // is not kept; null when it cannot be (see LayOutCachedLine).
    const LineLayout* Find(const FontData& record, const char* string, size_t bytes) {
        Kept& kept = slots_[SlotOf(record, string, bytes)];
        if (kept.record == &record && kept.stamp == record.cache_stamp && kept.spacing == record.spacing &&
            kept.bytes.size() == bytes && std::memcmp(kept.bytes.data(), string, bytes) == 0) {
            return &kept.line;
        }
        kept.record = nullptr;
        kept.line.number = 0;
        if (!LayOutCachedLine(record, string, bytes, &kept.line)) {
            return nullptr;
        }
        kept.line.number = NewLayoutNumber();
        kept.record = &record;
        kept.stamp = record.cache_stamp;
        kept.spacing = record.spacing;
        kept.bytes.assign(string, bytes);
        return &kept.line;
    }

private:
    static constexpr size_t kSlots = 16;

    struct Kept {
        const FontData* record = nullptr;  // none: the slot holds no line
        uint64_t stamp = 0;
        int spacing = 0;
        std::string bytes;
        LineLayout line;
    };

    static uint64_t Load64(const char* p) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        return word;
    }
    static uint32_t Load32(const char* p) {
        uint32_t word;
        std::memcpy(&word, p, 4);
        return word;
    }

    static size_t SlotOf(const FontData& record, const char* string, size_t bytes) {
        constexpr uint64_t kMix = 0x9E3779B97F4A7C15u;
        uint64_t h = (reinterpret_cast<uintptr_t>(&record) >> 4) ^ (bytes * kMix);
        // The words are folded by turns and xors, a cycle or two each, in
        // two chains that run side by side, and mixed once: a slot needs
        // only a few well-spread bits, and a string is hashed at every draw.
        uint64_t even = 0, odd = 0;
        size_t i = 0;
        for (; i + 16 <= bytes; i += 16) {
            even = std::rotl(even, 23) ^ Load64(string + i);
            odd = std::rotl(odd, 29) ^ Load64(string + i + 8);
        }
        if (i + 8 <= bytes) {
            even = std::rotl(even, 23) ^ Load64(string + i);
        }
        // The last bytes (overlapping words already folded), read without a
        // call: the last eight, or for short strings their ends and middle.
        uint64_t tail = 0;
        if (bytes >= 8) {
            tail = Load64(string + bytes - 8);
        } else if (bytes >= 4) {
            tail = Load32(string) | static_cast<uint64_t>(Load32(string + bytes - 4)) << 32;
        } else if (bytes > 0) {
            tail = static_cast<uint8_t>(string[0]) |
                   static_cast<uint64_t>(static_cast<uint8_t>(string[bytes / 2])) << 8 |
                   static_cast<uint64_t>(static_cast<uint8_t>(string[bytes - 1])) << 16;
        }
        h = (h ^ even ^ std::rotl(odd, 7)) * kMix;
        h ^= h >> 29;
        h = (h ^ tail) * kMix;
        return static_cast<size_t>(h >> 60) % kSlots;
    }

    std::array<Kept, kSlots> slots_;
};

void DrawLine(const GlyphWriter& writer, const FontData& record, const LineLayout& line, const MEMIMG& dest,
              const Rect& bounds, int x, int y, int vertical) {
    // (Held here, not read through the record after every glyph's call.)
    const Rect clip = bounds;
    const uint8_t* const cells = record.cache_image;
    const int pitch = record.cache_pitch;
    const ptrdiff_t cell_bytes = static_cast<ptrdiff_t>(record.cell_size) * pitch;
    if (vertical == 0) {
        writer.WriteLine(
            dest, clip, x, y,
            GlyphLine{cells, cell_bytes, pitch, line.glyphs.data(), line.inked, record.cache_stamp, line.number});
        return;
    }
    const int turned_x = x + record.cell_height - 1;
    for (size_t i = 0; i < line.inked; ++i) {
        const LineLayout::Placed& glyph = line.glyphs[i];
        const GlyphCellView cell{cells + glyph.cell * cell_bytes, pitch, glyph.width, glyph.height};
        writer.WriteTurned(dest, clip, turned_x - glyph.top, y + glyph.along, cell);
    }
}

// The characters of a string one by one, rendering those the cache lacks
// first: texture draws, strings not all cached, scaled strings and lines
// longer than a layout. `writer` and `bounds` as RenderStringOfFont set
// them up for a memory draw.
int RenderEachCharacter(FontData& record, int draw, int x, int y, double rate_x, double rate_y, double rate,
                        const char* string, size_t bytes, uint32_t color, MEMIMG* dest, const Rect& bounds,
                        const GlyphWriter& writer, uint32_t edge_color, int vertical, TextExtent* extent,
                        bool as_alpha_blit) {
    std::optional<TextureGlyphDraw> texture;
    if (draw == kRenderTexture) {
        texture.emplace(color, edge_color);
    }
    CharacterCodes codes;
    PrepareGlyphs(record, string, bytes, &codes);

    if (draw == kRenderMemory && as_alpha_blit && !GlyphBoxesApart(record, codes, rate)) {
        return kGlyphBoxesOverlap;
    }

    // Unscaled strings (all but scaled texture draws) step by whole pixels:
    // their pen is summed in integers, the same sum without a conversion a
    // glyph.
    const bool whole_steps = rate == 1.0;
    int64_t whole_pen = 0;
    double pen = 0.0;
    int ink_end = 0;
    const bool draw_now = draw == kRenderMemory && bounds.left < bounds.right && bounds.top < bounds.bottom;
    for (size_t i = 0; i < codes.size(); ++i) {
        const uint16_t code = codes[i];
        const GlyphEntry* entry = FindGlyph(record, code);
        if (entry == nullptr) {
            return WriteLogFormat(font_log::kLogTextCacheFailed);
        }
        const int pen_int = whole_steps ? static_cast<int>(whole_pen) : static_cast<int>(pen);
        if (HasInk(*entry, code)) {
            ink_end = std::max(ink_end, pen_int + entry->origin_x + entry->width);
            if (texture) {
                texture->Draw(record, *entry, x, y, whole_steps ? static_cast<double>(whole_pen) : pen, rate_x, rate_y,
                              vertical);
            } else if (draw_now) {
                const GlyphCellView cell{GlyphCellPixels(record, *entry), record.cache_pitch, entry->width,
                                         entry->height};
                if (vertical != 0) {
                    writer.WriteTurned(*dest, bounds, x + record.cell_height - 1 - entry->top,
                                       y + pen_int + entry->origin_x, cell);
                } else {
                    writer.Write(*dest, bounds, x + pen_int + entry->origin_x, y + entry->top, cell);
                }
            }
        }
        if (whole_steps) {
            whole_pen += entry->advance + record.spacing;
        } else {
            pen += (entry->advance + record.spacing) * rate;
        }
    }
    const int advance = whole_steps ? static_cast<int>(whole_pen) : static_cast<int>(pen);
    if (extent != nullptr) {
        *extent = LineExtent(record, advance, ink_end, vertical, rate_x, rate_y);
    }
    return draw != kRenderMeasure ? 0 : advance;
}

}  // namespace

int RenderStringToHandle(int draw, int x, int y, int scale_flag, double rate_x, double rate_y, const char* string,
                         uint32_t color, MEMIMG* dest, const Rect* clip, int font, uint32_t edge_color, int length,
                         int vertical, TextExtent* extent, bool as_alpha_blit, int blit_weight) {
    if (extent != nullptr) {
        *extent = TextExtent{};
    }
    FontData* record = GetFontData(font);
    if (GetTextDrawScreen().GraphicsSuspended() || record == nullptr) {
        return -1;
    }
    return RenderStringOfFont(*record, draw, x, y, scale_flag, rate_x, rate_y, string, color, dest, clip, font,
                              edge_color, length, vertical, extent, as_alpha_blit, blit_weight);
}

int RenderStringOfFont(FontData& record, int draw, int x, int y, int scale_flag, double rate_x, double rate_y,
                       const char* string, uint32_t color, MEMIMG* dest, const Rect* clip, int font,
                       uint32_t edge_color, int length, int vertical, TextExtent* extent, bool as_alpha_blit,
                       int blit_weight) {
    if (extent != nullptr) {
        *extent = TextExtent{};
    }
    if (DirectDrawMissing()) {
        return -1;
    }
    if (string == nullptr || string[0] == '\0') {
        return 0;
    }
    // Scaled glyphs need a texture cache; a memory cache draws them at their
    // own size and the caller stretches the result.
    if (scale_flag == 0 || record.texture_mode == 0) {
        rate_x = 1.0;
        rate_y = 1.0;
    }
    const double rate = vertical != 0 ? rate_y : rate_x;

    // Kept from string to string: strings mostly come in the colours of the
    // one before, whose inks it then still holds. (Nothing a string's draw
    // calls draws another string.)
    thread_local GlyphWriter writer;
    Rect bounds{};
    if (draw == kRenderTexture) {
        if (record.texture_mode == 0) {
            return -1;
        }
    } else if (draw != kRenderMeasure) {
        if (dest == nullptr) {
            if (RefreshFontCacheScreen(font) != 0) {
                return -1;
            }
            dest = &record.cache_screen;
        }
        const DrawSettings& s = GetDrawSettings();
        if (!writer.Begin(*dest, record.font_type, color, edge_color, s.bright_red, s.bright_green, s.bright_blue,
                          as_alpha_blit, blit_weight)) {
            return -1;
        }
        bounds = ClipToImage(*dest, clip);
    }

    size_t bytes = std::strlen(string);
    if (length >= 0 && static_cast<size_t>(length) < bytes) {
        bytes = static_cast<size_t>(length);
    }

    // A line whose characters are all cached (text drawn before) is drawn
    // from its layout; others render what they lack first.
    thread_local LaidOutLines laid_out;
    const LineLayout* line = draw != kRenderTexture && rate == 1.0 ? laid_out.Find(record, string, bytes) : nullptr;
    if (line == nullptr) {
        return RenderEachCharacter(record, draw, x, y, rate_x, rate_y, rate, string, bytes, color, dest, bounds, writer,
                                   edge_color, vertical, extent, as_alpha_blit);
    }
    if (draw == kRenderMemory && as_alpha_blit &&
        (line->characters > static_cast<size_t>(record.cell_count) || !line->boxes_apart)) {
        return kGlyphBoxesOverlap;
    }
    if (draw == kRenderMemory && bounds.left < bounds.right && bounds.top < bounds.bottom) {
        DrawLine(writer, record, *line, *dest, bounds, x, y, vertical);
    }
    if (extent != nullptr) {
        *extent = LineExtent(record, line->advance, line->ink_end, vertical, rate_x, rate_y);
    }
    return draw != kRenderMeasure ? 0 : line->advance;
}

}  // namespace velk
