#include "lib/graphics/font/glyph_cache.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "lib/graphics/font/glyph_cell.h"
#include "lib/graphics/font/glyph_texture.h"
#include "platform/base/text_encoding.h"

namespace velk {

namespace {

constexpr uint16_t kHalfWidthSpace = 0x20;
constexpr uint16_t kFullWidthSpace = 0x8140;

platform::GlyphFormat CellFormat(const FontData& font) {
    return FontIsAntiAliased(font) ? platform::GlyphFormat::kGray4 : platform::GlyphFormat::kBitmap;
}

// The advance of a blank of the character's width class: what a code the
// font cannot show takes on the line, so the text around it keeps its place.
int16_t BlankAdvance(FontData& font, uint16_t code) {
    platform::GlyphMetrics metrics;
    const uint16_t blank = code > 0xFF ? kFullWidthSpace : kHalfWidthSpace;
    if (!font.gdi_font->GetGlyphOutline(blank, platform::GlyphFormat::kMetrics, &metrics, nullptr)) {
        return 0;
    }
    return metrics.cell_inc_x;
}

void RenderIntoEntry(FontData& font, GlyphEntry& entry, uint16_t code) {
    static std::vector<uint8_t> bits;
    const GlyphCellLayout cell{font.cache_image + static_cast<ptrdiff_t>(entry.cell) * font.cell_size * font.cache_pitch,
                               font.cache_pitch, font.cell_size, font.font_type, font.edge_size};
    ClearGlyphCell(cell);
    entry.origin_x = 0;
    entry.top = 0;
    entry.width = 0;
    entry.height = 0;
    platform::GlyphMetrics metrics;
    if (code == kHalfWidthSpace || code == kFullWidthSpace) {
        // Blanks are measured, never drawn.
        entry.advance = font.gdi_font->GetGlyphOutline(code, platform::GlyphFormat::kMetrics, &metrics, nullptr)
                            ? metrics.cell_inc_x
                            : 0;
    } else if (!font.gdi_font->GetGlyphOutline(code, CellFormat(font), &metrics, &bits)) {
        // A byte sequence that is no character (a stray lead or trail byte
        // in game text) takes the room of a blank instead of ending the game.
        entry.advance = BlankAdvance(font, code);
    } else {
        entry.advance = metrics.cell_inc_x;
        entry.origin_x = static_cast<int16_t>(metrics.origin_x);
        entry.top = static_cast<int16_t>(font.ascent - metrics.origin_y);
        if (!bits.empty()) {
            const RenderedGlyph glyph{static_cast<int>(metrics.black_box_x), static_cast<int>(metrics.black_box_y),
                                      platform::GlyphRowPitch(CellFormat(font), metrics.black_box_x), bits.data()};
            const GlyphBox box = WriteGlyphCell(cell, glyph);
            entry.width = static_cast<int16_t>(box.width);
            entry.height = static_cast<int16_t>(box.height);
            if (font.texture_mode != 0) UploadGlyphToTexture(font, entry, glyph);
        }
    }
    if (FontIsEdged(font)) {
        entry.advance = static_cast<int16_t>(entry.advance + 2 * font.edge_size);
    }
}

}  // namespace

void CharacterCodes::Clear() {
    size_ = 0;
    heap_.clear();
}

void CharacterCodes::PushOnHeap(uint16_t code) {
    if (size_ == inline_.size()) {
        heap_.assign(inline_.begin(), inline_.end());
    }
    heap_.push_back(code);
    ++size_;
}

int CheckDoubleByteLead(const char* byte, int charset) {
    return IsDoubleByteLead(static_cast<uint8_t>(*byte), charset) ? 1 : 0;
}

void SplitCharacterCodes(const char* string, size_t length, int charset, CharacterCodes* out) {
    out->Clear();
    for (size_t i = 0; i < length;) {
        const auto lead = static_cast<uint8_t>(string[i]);
        if (i + 1 < length && CheckDoubleByteLead(string + i, charset) != 0) {
            out->Push(static_cast<uint16_t>((lead << 8) | static_cast<uint8_t>(string[i + 1])));
            i += 2;
        } else {
            out->Push(lead);
            ++i;
        }
    }
}

void StampGlyphCacheChange(FontData& font) {
    static std::atomic<uint64_t> last_stamp{0};
    font.cache_stamp = last_stamp.fetch_add(1, std::memory_order_relaxed) + 1;
}

void ResetGlyphCache(FontData& font) {
    StampGlyphCacheChange(font);
    for (auto& entry : font.glyphs) {
        entry = GlyphEntry{};
    }
    std::fill(std::begin(font.code_index), std::end(font.code_index), CodeIndexEntry{});
    for (int n = 0; n < font.cell_count; ++n) {
        font.glyphs[n].cell = n;
    }
    font.glyphs[font.cell_count].cell = -1;
    font.next_cell = 0;
}

GlyphEntry* PutGlyphsInCache(FontData& font, const uint16_t* codes, size_t count) {
    if (count > 0) {
        StampGlyphCacheChange(font);
    }
    GlyphEntry* last = nullptr;
    for (size_t i = 0; i < count; ++i) {
        GlyphEntry& entry = font.glyphs[font.next_cell];
        if (entry.in_use != 0 && entry.code >= 0) {
            font.code_index[entry.code] = CodeIndexEntry{};
        }
        const uint16_t code = codes[i];
        font.code_index[code] = CodeIndexEntry{1, static_cast<uint16_t>(font.next_cell)};
        entry.code = code;
        entry.in_use = 1;
        RenderIntoEntry(font, entry, code);
        last = &entry;
        font.next_cell = font.next_cell + 1 >= font.cell_count ? 0 : font.next_cell + 1;
    }
    return last;
}

void PrepareGlyphs(FontData& font, const char* string, size_t length, CharacterCodes* out) {
    SplitCharacterCodes(string, length, font.charset, out);
    CharacterCodes missing;
    const size_t limit = static_cast<size_t>(font.cell_count);
    for (size_t i = 0; i < out->size() && missing.size() < limit; ++i) {
        const uint16_t code = (*out)[i];
        if (font.code_index[code].in_cache == 0) {
            // Marked for the pass so that a repeated character is listed once.
            font.code_index[code].in_cache = 1;
            missing.Push(code);
        }
    }
    for (size_t i = 0; i < missing.size(); ++i) {
        font.code_index[missing[i]].in_cache = 0;
    }
    PutGlyphsInCache(font, missing.data(), missing.size());
}

}  // namespace velk
