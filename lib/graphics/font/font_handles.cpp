#include "lib/graphics/font/font_handles.h"

#include <algorithm>
#include <new>

#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/font/font_log_texts.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/font/glyph_cache.h"
#include "lib/graphics/font/glyph_texture.h"
#include "platform/base/system_info.h"
#include "platform/font/font_face_catalog.h"

namespace velk {

namespace {

// "ＭＳ ゴシック": the face asked for when a font names none.
constexpr char kFallbackFace[] = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

constexpr int kDefaultSize = 16;
constexpr int kDefaultThickness = 6;
// Memory caches aim at this many pixels (at least 20 cells).
constexpr int kMemoryCachePixels = 327680;
constexpr int kMinMemoryCells = 20;

struct DefaultFontParameters {
    std::string face;
    int size = kDefaultSize;
    int thickness = kDefaultThickness;
    int font_type = 0;
    int charset = kFontCharsetShiftJis;
    int edge_size = 1;
    int italic = 0;
    int spacing = 0;
};

struct FontState {
    DefaultFontParameters defaults;
    int default_font = -1;
    GdiFontFactory factory = nullptr;
};

FontState& State() {
    static FontState state;
    return state;
}

std::unique_ptr<platform::GdiFont> MakeGdiFont(const platform::FontRequest& request) {
    const GdiFontFactory factory = State().factory;
    return factory != nullptr ? factory(request) : platform::CreateGdiFont(request);
}

bool DirectDrawMissing() { return !Host().DirectDrawOff() && !Host().DirectDrawExists(); }

bool EightBitScreen() {
    int bits = 16;
    GetScreenModeInfo(nullptr, nullptr, &bits);
    return bits == 8;
}

int CharsetByCodePage() { return platform::kCodePage == 949 ? kFontCharsetHangeul : kFontCharsetShiftJis; }

int PlatformCharset(int charset) {
    switch (charset) {
        case kFontCharsetDefault: return platform::kDefaultCharset;
        case kFontCharsetHangeul: return platform::kHangeulCharset;
        default: return platform::kShiftJisCharset;
    }
}

// The font type a font made from these values ends up with.
int EffectiveFontType(int font_type, int edge_size) {
    font_type = font_type < 0 ? 0 : (font_type & (kFontTypeEdge | kFontTypeAntiAlias));
    if (edge_size > 1) {
        font_type |= kFontTypeEdge;
    }
    if (EightBitScreen()) {
        font_type &= ~kFontTypeAntiAlias;
    }
    return font_type;
}

std::unique_ptr<platform::GdiFont> TryFont(const std::string& face, const FontData& font, int platform_charset) {
    platform::FontRequest request;
    request.face = face;
    request.height = font.size;
    request.weight = font.thickness * 100;
    request.italic = font.italic != 0;
    request.charset = platform_charset;
    return MakeGdiFont(request);
}

// The platform font with the fall-backs: a named face with its character
// set, then the default set, then Shift-JIS; no name: the fall-back face with
// the set, then with the default set, then no face at all.
bool MakePlatformFont(FontData& font, const char* face) {
    const int charset = PlatformCharset(font.charset);
    if (face != nullptr && face[0] != '\0') {
        for (int attempt : {charset, platform::kDefaultCharset, platform::kShiftJisCharset}) {
            if ((font.gdi_font = TryFont(face, font, attempt)) != nullptr) {
                font.face_name = face;
                return true;
            }
        }
        WriteLogFormat(font_log::kLogNamedFontFailed);
        return false;
    }
    if ((font.gdi_font = TryFont(kFallbackFace, font, charset)) != nullptr ||
        (font.gdi_font = TryFont(kFallbackFace, font, platform::kDefaultCharset)) != nullptr ||
        (font.gdi_font = TryFont("", font, platform::kDefaultCharset)) != nullptr) {
        return true;
    }
    WriteLogFormat(font_log::kLogFontFailed);
    return false;
}

// Cell height and cell size from the text metrics.
void MeasureCells(FontData& font) {
    const platform::TextMetrics& metrics = font.gdi_font->Metrics();
    const int edge_room = FontIsEdged(font) ? 2 * font.edge_size : 0;
    font.ascent = metrics.ascent;
    font.cell_height = (metrics.height + edge_room + 1) & ~1;
    const int width = (metrics.max_char_width + 2 + edge_room + 7) & ~7;
    font.cell_size = std::max(width, font.cell_height);
}

// The memory cells; in texture mode as many as the texture holds, so that
// both caches share their entries.
bool MakeMemoryGlyphCache(FontData& font) {
    const int c = font.cell_size;
    if (c <= 0 || c > kMaxCellSize) {
        return false;
    }
    if (font.texture_mode == 0) {
        font.cell_count = std::min(std::max(kMemoryCachePixels / (c * c), kMinMemoryCells), kMaxGlyphCells);
    }
    font.cache_bits = font.font_type == 0 ? 1 : 8;
    font.cache_pitch = font.cache_bits == 1 ? (c + 7) / 8 : c;
    font.cache_width = c;
    font.cache_height = font.cell_count * c;
    font.cells_per_column = font.cell_count;
    // Rows of 1-bit cells are read as whole 64-bit words: 8 spare bytes.
    font.cache_image = static_cast<uint8_t*>(
        VELK_CALLOC(static_cast<size_t>(font.cache_pitch) * static_cast<size_t>(font.cache_height) + 8));
    return font.cache_image != nullptr;
}

FontData* NewFontRecord() {
    void* block = VELK_CALLOC(sizeof(FontData));
    return block != nullptr ? new (block) FontData() : nullptr;
}

void FreeFontRecord(FontData* font) {
    if (font == nullptr) {
        return;
    }
    ReleaseGlyphTextureCache(*font);
    MemFree(font->cache_image);
    ReleaseMemImg(&font->cache_screen);
    font->~FontData();
    MemFree(font);
}

int CreateDefaultFont(const DefaultFontParameters& p) {
    const int edge = (p.font_type & kFontTypeEdge) != 0 ? p.edge_size : -1;
    const int font = CreateFontToHandle(p.face.empty() ? nullptr : p.face.c_str(), p.size, p.thickness, p.font_type,
                                        p.charset, edge, p.italic, -1, -1);
    if (font != -1) {
        SetFontSpaceToHandle(p.spacing, font);
    }
    return font;
}

void DeleteAllFonts() {
    for (int slot = 0; slot < kFontHandleSlots; ++slot) {
        if (FontData* font = font_table::AtSlot(slot)) {
            DeleteFontToHandle(font->handle);
        }
    }
}

}  // namespace

void SetGdiFontFactory(GdiFontFactory factory) { State().factory = factory; }

int CreateFontToHandle(const char* face, int size, int thickness, int font_type, int charset, int edge_size,
                       int italic, int slot, int check) {
    if (DirectDrawMissing()) {
        return -1;
    }
    size = size == -1 ? kDefaultSize : size;
    thickness = thickness == -1 ? kDefaultThickness : thickness;
    charset = charset == -1 ? CharsetByCodePage() : charset;
    if (charset < kFontCharsetDefault || charset > kFontCharsetHangeul) {
        charset = kFontCharsetShiftJis;
    }
    edge_size = edge_size < 1 ? 1 : edge_size;
    font_type = EffectiveFontType(font_type, edge_size);

    if (slot >= kFontHandleSlots || (slot >= 0 && font_table::AtSlot(slot) != nullptr)) {
        return -1;
    }
    if (slot < 0) {
        slot = font_table::FirstFreeSlot();
        if (slot < 0) {
            return WriteLogFormat(font_log::kLogFontLimit, kFontHandleSlots);
        }
    }
    FontData* font = NewFontRecord();
    if (font == nullptr) {
        return WriteLogFormat(font_log::kLogFontRecordFailed);
    }
    font->edge_size = edge_size;
    font->font_type = font_type;
    font->size = size;
    font->thickness = thickness;
    font->italic = italic != 0 ? 1 : 0;
    font->spacing = 0;
    font->charset = charset;
    if (check < 0) {
        check = font_table::TakeNextCheck();
    }
    if (!MakePlatformFont(*font, face)) {
        FreeFontRecord(font);
        return -1;
    }
    MeasureCells(*font);
    font->texture_mode = GlyphTexturesAvailable() && SizeGlyphTextureCache(*font) ? 1 : 0;
    if (font->texture_mode != 0 && RefreshFontCacheGraph(*font) != 0) {
        // No texture graph: the glyphs stay in memory only.
        font->texture_mode = 0;
    }
    if (!MakeMemoryGlyphCache(*font)) {
        FreeFontRecord(font);
        return WriteLogFormat(font_log::kLogFontCacheMemoryFailed);
    }
    ResetGlyphCache(*font);
    font->delete_flag = nullptr;
    return font_table::Place(slot, font, check);
}

int DeleteFontToHandle(int font) {
    FontData* record = GetFontData(font);
    if (record == nullptr) {
        return -1;
    }
    if (record->delete_flag != nullptr) {
        *record->delete_flag = 1;
    }
    font_table::Clear(static_cast<int>(static_cast<uint32_t>(font) & 0xFFFF));
    FreeFontRecord(record);
    return 0;
}

int InitFontHandles() {
    if (DirectDrawMissing()) {
        return -1;
    }
    WriteLog(font_log::kLogFontInitStart);
    IncreaseLogIndent();
    FontState& state = State();
    DefaultFontParameters kept;
    const FontData* current = GetFontData(state.default_font);
    const bool keep = current != nullptr;
    if (keep) {
        kept.face = current->face_name;
        kept.size = current->size;
        kept.thickness = current->thickness;
        kept.font_type = current->font_type;
        kept.charset = current->charset;
        kept.edge_size = current->edge_size;
        kept.italic = current->italic;
        kept.spacing = state.defaults.spacing;
    }
    DeleteAllFonts();
    state.default_font = CreateDefaultFont(keep ? kept : DefaultFontParameters{});
    DecreaseLogIndent();
    WriteLog(font_log::kLogFontInitDone);
    return 0;
}

int RecreateAllFontHandles() {
    for (int slot = 0; slot < kFontHandleSlots; ++slot) {
        const FontData* font = font_table::AtSlot(slot);
        if (font == nullptr) {
            continue;
        }
        const std::string face = font->face_name;
        const int size = font->size, thickness = font->thickness, type = font->font_type;
        const int charset = font->charset, edge = font->edge_size, italic = font->italic;
        const int check = static_cast<int>(font->check), spacing = font->spacing;
        DeleteFontToHandle(font->handle);
        const int remade = CreateFontToHandle(face.empty() ? nullptr : face.c_str(), size, thickness, type, charset,
                                              edge, italic, slot, check);
        if (remade != -1) {
            SetFontSpaceToHandle(spacing, remade);
        }
    }
    return 0;
}

int InitFontManagement() {
    DeleteAllFonts();
    font_table::Reset();
    State().defaults = DefaultFontParameters{};
    State().default_font = -1;
    InitFontHandles();
    return 0;
}

int EndFontManagement() {
    InitFontHandles();
    DeleteFontToHandle(State().default_font);
    State().default_font = -1;
    return 0;
}

int SetFontDeleteNotifyFlag(int font, int* flag) {
    FontData* record = GetFontData(font);
    if (record == nullptr) {
        return -1;
    }
    record->delete_flag = flag;
    if (flag != nullptr) {
        *flag = 0;
    }
    return 0;
}

int SetFontSpaceToHandle(int spacing, int font) {
    FontData* record = GetFontData(font);
    if (record == nullptr) {
        return -1;
    }
    record->spacing = spacing;
    return 0;
}

int GetFontStateToHandle(std::string* face, int* size, int* thickness, int font) {
    const FontData* record = GetFontData(font);
    if (record == nullptr) {
        return -1;
    }
    if (face != nullptr) *face = record->face_name;
    if (size != nullptr) *size = record->size;
    if (thickness != nullptr) *thickness = record->thickness;
    return 0;
}

int GetFontSizeToHandle(int font) {
    const FontData* record = GetFontData(font);
    return record != nullptr ? record->size : -1;
}

int GetDefaultFontHandle() { return State().default_font; }

void RefreshDefaultFont() {
    FontState& state = State();
    const DefaultFontParameters& p = state.defaults;
    const int edge = (p.font_type & kFontTypeEdge) != 0 ? p.edge_size : -1;
    const FontData* font = GetFontData(state.default_font);
    if (font != nullptr && font->face_name == p.face && font->font_type == EffectiveFontType(p.font_type, edge) &&
        font->size == p.size && font->thickness == p.thickness && font->charset == p.charset &&
        font->edge_size == std::max(edge, 1) && font->italic == p.italic) {
        return;
    }
    if (font != nullptr) {
        DeleteFontToHandle(state.default_font);
    }
    state.default_font = CreateDefaultFont(p);
}

int SetDefaultFontSize(int size) {
    State().defaults.size = size == -1 ? kDefaultSize : size;
    RefreshDefaultFont();
    return 0;
}

int SetDefaultFontThickness(int thickness) {
    State().defaults.thickness = thickness == -1 ? kDefaultThickness : thickness;
    RefreshDefaultFont();
    return 0;
}

int SetDefaultFontType(int font_type) {
    State().defaults.font_type = font_type < 0 ? 0 : font_type & (kFontTypeEdge | kFontTypeAntiAlias);
    RefreshDefaultFont();
    return 0;
}

int SetDefaultFontFace(const char* face, int charset) {
    State().defaults.face = face != nullptr ? face : "";
    charset = charset == -1 ? CharsetByCodePage() : charset;
    State().defaults.charset = charset >= kFontCharsetDefault && charset <= kFontCharsetHangeul ? charset
                                                                                                 : kFontCharsetShiftJis;
    RefreshDefaultFont();
    return 0;
}

int SetDefaultFontSizeAndThickness(int size, int thickness) {
    if (DirectDrawMissing()) {
        return -1;
    }
    State().defaults.size = size == -1 ? kDefaultSize : size;
    State().defaults.thickness = thickness == -1 ? kDefaultThickness : thickness;
    RefreshDefaultFont();
    return 0;
}

int ListFontFaceNames(std::vector<std::string>* names, int max_count, int japanese_truetype_only) {
    if (names != nullptr) {
        names->clear();
    }
    int count = 0;
    std::vector<std::string> seen;
    for (const platform::FontFaceInfo& face : platform::FontFaceCatalog::Instance().List()) {
        if (max_count > 0 && count >= max_count) {
            break;
        }
        if (face.name.empty() || face.name[0] == '@') {
            continue;
        }
        if (japanese_truetype_only != 0 && !(face.truetype && face.japanese)) {
            continue;
        }
        if (std::find(seen.begin(), seen.end(), face.name) != seen.end()) {
            continue;
        }
        seen.push_back(face.name);
        if (names != nullptr) {
            names->push_back(face.name);
        }
        ++count;
    }
    return count;
}

}  // namespace velk
