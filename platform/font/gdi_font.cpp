#include "platform/font/gdi_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/base/text_encoding.h"
#include "platform/font/font_face_catalog.h"

namespace velk::platform {

namespace {

std::mutex freetype_mutex;

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library created = nullptr;
        FT_Init_FreeType(&created);
        return created;
    }();
    return library;
}

// The Unicode character of a single byte or Shift-JIS pair.
uint32_t CodeToUnicode(uint16_t code) {
    std::string sjis;
    if (code > 0xFF) {
        sjis.push_back(static_cast<char>(code >> 8));
    }
    sjis.push_back(static_cast<char>(code & 0xFF));
    const auto utf8 = ShiftJisToUtf8Exact(sjis);
    if (!utf8 || utf8->empty()) {
        return 0;
    }
    const auto* b = reinterpret_cast<const uint8_t*>(utf8->data());
    if (b[0] < 0x80) return b[0];
    if (b[0] < 0xE0 && utf8->size() >= 2) return ((b[0] & 0x1Fu) << 6) | (b[1] & 0x3Fu);
    if (b[0] < 0xF0 && utf8->size() >= 3) return ((b[0] & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
    if (utf8->size() >= 4) {
        return ((b[0] & 0x07u) << 18) | ((b[1] & 0x3Fu) << 12) | ((b[2] & 0x3Fu) << 6) | (b[3] & 0x3Fu);
    }
    return 0;
}

bool LooksLikeMincho(const std::string& utf8_face) {
    return utf8_face.find("明朝") != std::string::npos || utf8_face.find("Mincho") != std::string::npos ||
           utf8_face.find("mincho") != std::string::npos || utf8_face.find("Serif") != std::string::npos;
}

class FreeTypeFont final : public GdiFont {
public:
    FreeTypeFont(FT_Face face, const FontRequest& request, const FontFaceLocation& location, std::string face_name)
        : face_(face), face_name_(std::move(face_name)) {
        // A positive height is the cell height: the font's Windows ascent and
        // descent together fill it.
        const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        double ascender = face_->ascender;
        double descender = -face_->descender;
        if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
            ascender = os2->usWinAscent;
            descender = os2->usWinDescent;
        }
        const double cell_units = ascender + descender > 0 ? ascender + descender : face_->units_per_EM;
        const int height = request.height > 0 ? request.height : (request.height < 0 ? -request.height : 16);
        // A negative height is the character height (em square) instead, as
        // is every height of a face whose em fills its cell.
        const bool em_height = request.height < 0 || location.em_fills_cell;
        const double ppem = em_height ? height : height * face_->units_per_EM / cell_units;
        FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(std::lround(ppem * 64.0)), 72, 72);
        const double scale = ppem / face_->units_per_EM;

        // The cell keeps the face's own ascent-to-descent ratio.
        const double cell_scale = location.em_fills_cell ? height / cell_units : scale;
        metrics_.ascent = static_cast<int>(std::lround(ascender * cell_scale));
        metrics_.descent = static_cast<int>(std::lround(descender * cell_scale));
        if (request.height > 0) {
            metrics_.descent = height - metrics_.ascent;
        }
        metrics_.height = metrics_.ascent + metrics_.descent;
        metrics_.internal_leading = metrics_.height - static_cast<int>(std::lround(ppem));
        if (metrics_.internal_leading < 0) metrics_.internal_leading = 0;
        metrics_.weight = request.weight > 0 ? request.weight : 400;
        metrics_.italic = request.italic;
        embolden_ = metrics_.weight >= 600 && location.weight < 600;
        slant_ = request.italic && !location.italic;
        if (os2 != nullptr && os2->xAvgCharWidth > 0) {
            metrics_.average_char_width = static_cast<int>(std::lround(os2->xAvgCharWidth * scale));
        }
        metrics_.max_char_width = static_cast<int>(std::lround(face_->max_advance_width * scale));
        if (embolden_) {
            metrics_.max_char_width += 1;
            metrics_.average_char_width += 1;
        }
    }

    ~FreeTypeFont() override {
        std::lock_guard lock(freetype_mutex);
        FT_Done_Face(face_);
    }

    const TextMetrics& Metrics() const override { return metrics_; }
    const std::string& FaceName() const override { return face_name_; }

    bool GetGlyphOutline(uint16_t code, GlyphFormat format, GlyphMetrics* metrics,
                         std::vector<uint8_t>* bits) override {
        std::lock_guard lock(freetype_mutex);
        *metrics = GlyphMetrics{};
        if (bits != nullptr) bits->clear();
        const uint32_t character = CodeToUnicode(code);
        FT_UInt glyph_index = character != 0 ? FT_Get_Char_Index(face_, character) : 0;
        if (character == 0) {
            return false;
        }
        const bool mono = format == GlyphFormat::kBitmap;
        FT_Int32 load_flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        if (FT_Load_Glyph(face_, glyph_index, load_flags) != 0) {
            return false;
        }
        FT_GlyphSlot slot = face_->glyph;
        int extra_advance = 0;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (embolden_) {
                FT_Outline_EmboldenXY(&slot->outline, 64, 0);
                extra_advance = 1;
            }
            if (slant_) {
                FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};  // about 12 degrees
                FT_Outline_Transform(&slot->outline, &shear);
            }
        }
        metrics->cell_inc_x = static_cast<int16_t>(((slot->advance.x + 32) >> 6) + extra_advance);
        metrics->cell_inc_y = 0;
        if (format == GlyphFormat::kMetrics && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            const long left = box.xMin >> 6, right = (box.xMax + 63) >> 6;
            const long bottom = box.yMin >> 6, top = (box.yMax + 63) >> 6;
            metrics->origin_x = static_cast<int32_t>(left);
            metrics->origin_y = static_cast<int32_t>(top);
            metrics->black_box_x = static_cast<uint32_t>(std::max(1L, right - left));
            metrics->black_box_y = static_cast<uint32_t>(std::max(1L, top - bottom));
            return true;
        }
        if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) {
            return false;
        }
        const FT_Bitmap& bitmap = slot->bitmap;
        metrics->origin_x = slot->bitmap_left;
        metrics->origin_y = slot->bitmap_top;
        if (bitmap.width == 0 || bitmap.rows == 0) {
            // An empty glyph still has a one-pixel black box on the platform.
            metrics->black_box_x = 1;
            metrics->black_box_y = 1;
            return true;
        }
        metrics->black_box_x = bitmap.width;
        metrics->black_box_y = bitmap.rows;
        if (bits == nullptr || format == GlyphFormat::kMetrics) {
            return true;
        }
        const int pitch = GlyphRowPitch(format, bitmap.width);
        bits->assign(static_cast<size_t>(pitch) * bitmap.rows, 0);
        for (unsigned int y = 0; y < bitmap.rows; ++y) {
            const uint8_t* src = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
            uint8_t* dst = bits->data() + static_cast<size_t>(y) * pitch;
            if (mono) {
                std::memcpy(dst, src, (bitmap.width + 7) / 8);
            } else {
                for (unsigned int x = 0; x < bitmap.width; ++x) {
                    // 256 coverage steps onto the platform's 17 grey levels.
                    dst[x] = static_cast<uint8_t>((src[x] * 16 + 127) / 255);
                }
            }
        }
        return true;
    }

private:
    FT_Face face_;
    std::string face_name_;
    TextMetrics metrics_;
    bool embolden_ = false;
    bool slant_ = false;
};

}  // namespace

int GlyphRowPitch(GlyphFormat format, uint32_t width) {
    const uint32_t row_bytes = format == GlyphFormat::kBitmap ? (width + 7) / 8 : width;
    return static_cast<int>((row_bytes + 3) & ~3u);
}

std::unique_ptr<GdiFont> CreateGdiFont(const FontRequest& request) {
    auto& catalog = FontFaceCatalog::Instance();
    const std::string utf8_face = ShiftJisToUtf8(request.face);
    std::optional<FontFaceLocation> location;
    std::string face_name = request.face;
    if (!request.face.empty()) {
        location = catalog.Find(request.face);
    }
    if (!location) {
        const FallbackStyle style = LooksLikeMincho(utf8_face) ? FallbackStyle::kMincho : FallbackStyle::kGothic;
        location = catalog.Fallback(style);
        face_name.clear();
    }
    if (!location) {
        return nullptr;
    }
    std::lock_guard lock(freetype_mutex);
    FT_Library library = Library();
    if (library == nullptr) {
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, location->file.c_str(), location->index, &face) != 0) {
        return nullptr;
    }
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    if (face_name.empty()) {
        face_name = Utf8ToShiftJis(face->family_name != nullptr ? face->family_name : "");
    }
    return std::make_unique<FreeTypeFont>(face, request, *location, face_name);
}

}  // namespace velk::platform
