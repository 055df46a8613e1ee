#pragma once
// A font at one size, as the platform's text interface makes one: created by
// face name and cell height, with text metrics and glyph bitmaps in the
// platform's layouts (1-bit rows and 17-level grey rows, padded to 4 bytes).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velk::platform {

// Character sets a font is asked for with.
constexpr int kAnsiCharset = 0;
constexpr int kDefaultCharset = 1;
constexpr int kShiftJisCharset = 128;
constexpr int kHangeulCharset = 129;

struct FontRequest {
    std::string face;  // Shift-JIS; empty picks the platform's default face
    int height = 16;   // positive: the cell height (ascent + descent) in pixels
    int weight = 400;  // 100..900; 600 and above are drawn bold
    bool italic = false;
    int charset = kDefaultCharset;
};

struct TextMetrics {
    int height = 0;
    int ascent = 0;
    int descent = 0;
    int internal_leading = 0;
    int external_leading = 0;
    int average_char_width = 0;
    int max_char_width = 0;
    int weight = 400;
    bool italic = false;
};

enum class GlyphFormat {
    kMetrics,  // metrics only
    kBitmap,   // 1 bit per pixel, rows padded to 4 bytes, most significant bit first
    kGray4,    // 1 byte per pixel with levels 0..16, rows padded to 4 bytes
};

struct GlyphMetrics {
    uint32_t black_box_x = 0;
    uint32_t black_box_y = 0;
    int32_t origin_x = 0;  // left of the black box from the pen
    int32_t origin_y = 0;  // top of the black box above the baseline
    int16_t cell_inc_x = 0;
    int16_t cell_inc_y = 0;
};

class GdiFont {
public:
    virtual ~GdiFont() = default;
    virtual const TextMetrics& Metrics() const = 0;
    // The face actually used (Shift-JIS).
    virtual const std::string& FaceName() const = 0;
    // Renders the character with the given code: a single byte, or a
    // Shift-JIS pair as (lead << 8) | trail. The bitmap is written into
    // `bits` (left empty for an empty glyph). False when the code maps to no
    // character at all.
    virtual bool GetGlyphOutline(uint16_t code, GlyphFormat format, GlyphMetrics* metrics,
                                 std::vector<uint8_t>* bits) = 0;
};

// Creates a font. A face that is not found is replaced by an installed face
// that can show Japanese text, as the platform's font mapper does; null only
// when no usable face exists at all.
std::unique_ptr<GdiFont> CreateGdiFont(const FontRequest& request);

// Bytes per row of a glyph bitmap of the given width.
int GlyphRowPitch(GlyphFormat format, uint32_t width);

}  // namespace velk::platform
