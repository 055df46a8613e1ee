#pragma once
// The glyph cache of a font: a ring of cells that characters are rendered
// into once and drawn from afterwards. New characters of a string are
// rendered in one batch before the string is drawn; when a string has more of
// them than the cache has cells, the rest are rendered one at a time as they
// are drawn. Nothing is evicted by use: the ring overwrites its oldest cell.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lib/graphics/font/font_data.h"
#include "platform/base/text_encoding.h"

namespace velk {

// The characters of a string as 16-bit codes: a single byte stands for
// itself, a double-byte character for (lead << 8) | trail. Short strings need
// no allocation.
class CharacterCodes {
public:
    void Clear();
    void Push(uint16_t code) {
        if (size_ < inline_.size()) {
            inline_[size_++] = code;
        } else {
            PushOnHeap(code);
        }
    }
    size_t size() const { return size_; }
    const uint16_t* data() const { return size_ <= inline_.size() ? inline_.data() : heap_.data(); }
    uint16_t operator[](size_t i) const { return data()[i]; }

private:
    void PushOnHeap(uint16_t code);

    std::array<uint16_t, 256> inline_;  // the first size_ entries are set
    std::vector<uint16_t> heap_;
    size_t size_ = 0;
};

// Whether the byte starts a double-byte character in the character set
// (library code 2: the high bit; otherwise the Shift-JIS lead ranges).
int CheckDoubleByteLead(const char* byte, int charset);
inline bool IsDoubleByteLead(uint8_t byte, int charset) {
    return charset == kFontCharsetHangeul ? (byte & 0x80) != 0 : platform::IsShiftJisLeadByte(byte);
}

// Cuts `length` bytes of the string into character codes. A lead byte that
// is the last byte stands alone.
void SplitCharacterCodes(const char* string, size_t length, int charset, CharacterCodes* out);

// Empties the cache: every entry and the whole code index cleared, entry n
// given cell n, the ring back at cell 0.
void ResetGlyphCache(FontData& font);

// Gives the cache a new stamp: to be called before its entries, code index
// or cells change.
void StampGlyphCacheChange(FontData& font);

// Cuts the string into `out` and renders its uncached characters in one
// batch (at most as many as the cache has cells).
void PrepareGlyphs(FontData& font, const char* string, size_t length, CharacterCodes* out);

// Cuts `length` bytes of the string into characters as SplitCharacterCodes
// does and hands each, with its cache entry, to `visit(code, entry)`, which
// returns false to stop; renders and changes nothing. True when every
// character was in the cache and visited; false at the first that was not,
// or when `visit` stopped. The entries stay as they are until the cache
// renders again. (Inline: a string visits each of its characters.)
template <typename Visit>
bool VisitCachedGlyphs(const FontData& font, const char* string, size_t length, Visit&& visit) {
    const int charset = font.charset;
    for (size_t i = 0; i < length;) {
        auto code = static_cast<uint16_t>(static_cast<uint8_t>(string[i]));
        if (i + 1 < length && IsDoubleByteLead(static_cast<uint8_t>(code), charset)) {
            code = static_cast<uint16_t>((code << 8) | static_cast<uint8_t>(string[i + 1]));
            i += 2;
        } else {
            ++i;
        }
        const CodeIndexEntry index = font.code_index[code];
        if (index.in_cache == 0 || !visit(code, font.glyphs[index.entry])) {
            return false;
        }
    }
    return true;
}

// Renders the characters into the next cells of the ring, evicting what the
// cells held. Returns the entry of the last one (null for none).
GlyphEntry* PutGlyphsInCache(FontData& font, const uint16_t* codes, size_t count);

// The entry of a character, rendered alone first when it is not in the cache.
// (Inline: a string looks up each of its characters.)
inline const GlyphEntry* FindGlyph(FontData& font, uint16_t code) {
    const CodeIndexEntry& index = font.code_index[code];
    if (index.in_cache != 0) {
        return &font.glyphs[index.entry];
    }
    return PutGlyphsInCache(font, &code, 1);
}

// The pixels of an entry's cell.
inline const uint8_t* GlyphCellPixels(const FontData& font, const GlyphEntry& entry) {
    return font.cache_image + static_cast<ptrdiff_t>(entry.cell) * font.cell_size * font.cache_pitch;
}

}  // namespace velk
