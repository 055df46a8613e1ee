#include "lib/graphics/font/text_draw_2d.h"

#include <algorithm>
#include <cstdint>

#include "lib/core/base_routines.h"
#include "lib/core/log.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/font/font_log_texts.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/font/glyph_writer.h"
#include "lib/graphics/font/text_draw_screen.h"
#include "lib/graphics/font/text_engine.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg_draw.h"

namespace velk {

namespace {

// Coordinates of stretched draws stay well inside 32 bits.
constexpr int64_t kCoordinateLimit = int64_t{1} << 28;

int ClampCoordinate(int64_t value) {
    return static_cast<int>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

struct ScreenFacts {
    int width = 640;
    int height = 480;
    int bits = 16;
};

ScreenFacts CurrentScreen() {
    ScreenFacts s;
    GetScreenModeInfo(&s.width, &s.height, &s.bits);
    return s;
}

int CacheFormatFor(int bits) {
    if (bits == 8) {
        return kMemImgFormat8;
    }
    return bits == 16 ? kMemImgFormat16 : kMemImgFormat32;
}

Rect Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool PlainDraw() {
    const DrawSettings& s = GetDrawSettings();
    return s.blend_mode == 0 || (s.blend_mode == 1 && s.blend_param == 255);
}

// The colour the cache is keyed with must differ from every pixel the text
// puts into it. It is kept within the format's colour bits and compared on
// them, so that raising it never wraps onto a text colour beyond the
// format's range. A cache with alpha is keyed by alpha 0 instead.
void AdjustKeyColor(MEMIMG& cache, uint32_t text_pixel, uint32_t edge_pixel) {
    MemImgBase& base = *cache.base;
    if (base.use_alpha != 0) {
        base.trans_color = 0;
        return;
    }
    const ColorData* data = base.color_data;
    uint32_t mask = 0xFF;
    uint32_t unused = 0;
    if (base.format != kMemImgFormat8 && data != nullptr) {
        mask = data->red_mask | data->green_mask | data->blue_mask;
        unused = data->no_use_mask;
    }
    uint32_t key = base.trans_color & mask;
    while (key == (text_pixel & mask) || key == (edge_pixel & mask)) {
        key = (key + 1) & mask;
    }
    base.trans_color = key | unused;
}

// Keeps the software loops' draw settings for one draw and puts them back.
class SoftwareSettingsScope {
public:
    explicit SoftwareSettingsScope(const Rect& area) : saved_(GetMemImgDrawSettings()) {
        const DrawSettings& s = GetDrawSettings();
        SetMemImgDrawBlendMode(s.blend_mode, s.blend_param);
        SetMemImgDrawBright(255, 255, 255);
        SetMemImgDrawArea(area);
    }
    ~SoftwareSettingsScope() {
        SetMemImgDrawBlendMode(saved_.blend_mode, saved_.blend_param);
        SetMemImgDrawBright(saved_.bright_red, saved_.bright_green, saved_.bright_blue);
        SetMemImgDrawArea(saved_.draw_area);
    }
    SoftwareSettingsScope(const SoftwareSettingsScope&) = delete;
    SoftwareSettingsScope& operator=(const SoftwareSettingsScope&) = delete;

private:
    MemImgDrawSettings saved_;
};

// Draws the cache screen onto the draw screen with the blend mode, keyed,
// at white draw bright, cut to `area`: plain with its top-left at (x, y), or
// stretched into `stretch` when given.
void DrawCacheScreen(MEMIMG& cache, int x, int y, const Rect* stretch, const Rect& area) {
    TextDrawScreen& screen = GetTextDrawScreen();
    if (IsEmpty(area)) {
        return;
    }
    const MEMIMG* blend = screen.BlendGraphImage();
    if (screen.SoftwareMode()) {
        MEMIMG* dest = screen.TargetImage();
        if (dest == nullptr) {
            return;
        }
        SoftwareSettingsScope scope(area);
        if (stretch != nullptr) {
            BltMemImgScaled(dest, &cache, stretch, 1, blend);
        } else {
            BltMemImg(dest, &cache, x, y, 1, blend);
        }
        return;
    }
    screen.FinishDirect3D();
    const Rect covered = stretch != nullptr
                             ? Rect{std::min(stretch->left, stretch->right), std::min(stretch->top, stretch->bottom),
                                    std::max(stretch->left, stretch->right), std::max(stretch->top, stretch->bottom)}
                             : Rect{x, y, x + cache.width, y + cache.height};
    const Rect dest_rect = Intersect(covered, area);
    LockedDrawScreen locked;
    if (IsEmpty(dest_rect) || screen.Lock(dest_rect, 0, nullptr, nullptr, &locked) < 0) {
        return;
    }
    if (locked.image != nullptr) {
        const int ox = locked.origin_x, oy = locked.origin_y;
        SoftwareSettingsScope scope(Rect{area.left - ox, area.top - oy, area.right - ox, area.bottom - oy});
        if (stretch != nullptr) {
            const Rect shifted{stretch->left - ox, stretch->top - oy, stretch->right - ox, stretch->bottom - oy};
            BltMemImgScaled(locked.image, &cache, &shifted, 1, blend);
        } else {
            BltMemImg(locked.image, &cache, x - ox, y - oy, 1, blend);
        }
    }
    screen.Unlock();
}

TextExtent Measure(FontData& record, const char* string, int font, int vertical) {
    TextExtent size;
    RenderStringOfFont(record, kRenderMeasure, 0, 0, 0, 1.0, 1.0, string, 0, nullptr, nullptr, font, 0, -1, vertical,
                       &size);
    return size;
}

// Refreshes the cache screen, clears the string's rectangle R (widened by
// `margin` to the right and below) with the key colour and renders the string
// into it. The cache and R on success, null when it failed.
MEMIMG* RenderIntoCache(const char* string, uint32_t color, int font, uint32_t edge_color, int vertical,
                        const TextExtent& size, int margin, Rect* rendered) {
    FontData* record = GetFontData(font);
    if (record == nullptr) {
        return nullptr;
    }
    RefreshFontCacheScreen(font);
    MEMIMG& cache = record->cache_screen;
    if (CheckValidMemImg(&cache) == 0) {
        return nullptr;
    }
    const ScreenFacts screen = CurrentScreen();
    const Rect whole{0, 0, screen.width, screen.height};
    const Rect r = Intersect(Rect{0, 0, size.width, size.height}, whole);
    const DrawSettings& s = GetDrawSettings();
    AdjustKeyColor(cache, BrightenedPixel(cache, color, s.bright_red, s.bright_green, s.bright_blue),
                   BrightenedPixel(cache, edge_color, s.bright_red, s.bright_green, s.bright_blue));
    const Rect cleared = Intersect(Rect{r.left, r.top, r.right + margin, r.bottom + margin}, whole);
    FillMemImg(&cache, &cleared, cache.base->trans_color);
    if (RenderStringToHandle(1, 0, 0, 0, 1.0, 1.0, string, color, &cache, &r, font, edge_color, -1, vertical,
                             nullptr) == -1) {
        return nullptr;
    }
    *rendered = r;
    return &cache;
}

// Whether text can skip the cache screen: anti-aliased text drawn in mode 0
// without a blend graph into a plain 32- or 16-bit image, or text without
// anti-aliasing drawn in mode 1 into a plain 32-bit one (and, the text engine
// checks, with glyph boxes that lie apart). The glyph writer then mixes each
// pixel as the cache's blit would, without clearing the cache and blitting
// it. The image is the software target, or on display surfaces the locked
// view when it is the surface's own pixels. The weight of the mix: the
// mode-1 parameter, or 255 (the glyphs' own coverage); -1 for the cache.
bool g_straight_allowed = true;

int StraightWeight(TextDrawScreen& screen, bool software, const FontData& font, const ScreenFacts& facts) {
    const DrawSettings& s = GetDrawSettings();
    if (!g_straight_allowed || !(software || screen.LocksInPlace()) || screen.BlendGraphImage() != nullptr) {
        return -1;
    }
    const bool smooth = FontIsAntiAliased(font);
    if (s.blend_mode == 0 && smooth) {
        return 255;
    }
    if (s.blend_mode == 1 && !smooth && s.blend_param < 255 && facts.bits == 32) {
        return s.blend_param;
    }
    return -1;
}

bool TakesStraightText(const MEMIMG* dest, int weight) {
    if (dest == nullptr || CheckValidMemImg(dest) == 0) {
        return false;
    }
    const MemImgBase& base = *dest->base;
    return (base.format == kMemImgFormat32 || (base.format == kMemImgFormat16 && weight == 255)) &&
           base.use_alpha == 0 && base.use_palette == 0;
}

// The draw-screen rectangle a straight draw may write, cut as the draw
// through the cache would be: to the cache's rectangle (the screen's size;
// the string's own extent never cuts a glyph) at (x, y) and to the draw area.
Rect StraightArea(const FontData& record, const ScreenFacts& facts, int x, int y, int vertical) {
    // The line is one cell high (turned: wide).
    const int across = record.cell_height;
    const Rect r = vertical != 0 ? Rect{0, 0, std::min(across, facts.width), facts.height}
                                 : Rect{0, 0, facts.width, std::min(across, facts.height)};
    return Intersect(Rect{x, y, ClampCoordinate(int64_t{x} + r.right), ClampCoordinate(int64_t{y} + r.bottom)},
                     GetDrawSettings().draw_area);
}

// Draws the string straight into the software target or the locked display
// surface. 0, -1, or kGlyphBoxesOverlap when it must go through the cache
// (nothing drawn).
int DrawStraight(TextDrawScreen& screen, bool software, FontData& record, const ScreenFacts& facts, int weight, int x,
                 int y, const char* string, uint32_t color, int font, uint32_t edge_color, int vertical) {
    const Rect area = StraightArea(record, facts, x, y, vertical);
    if (software) {
        MEMIMG* target = screen.TargetImage();
        if (!TakesStraightText(target, weight)) {
            return kGlyphBoxesOverlap;
        }
        if (IsEmpty(area)) {
            return 0;
        }
        return RenderStringOfFont(record, kRenderMemory, x, y, 0, 1.0, 1.0, string, color, target, &area, font,
                                  edge_color, -1, vertical, nullptr, true, weight);
    }
    if (IsEmpty(area)) {
        return 0;
    }
    screen.FinishDirect3D();
    LockedDrawScreen locked;
    if (screen.Lock(area, 0, nullptr, nullptr, &locked) < 0) {
        return 0;
    }
    int drawn = kGlyphBoxesOverlap;
    if (TakesStraightText(locked.image, weight)) {
        const int ox = locked.origin_x, oy = locked.origin_y;
        const Rect shifted{area.left - ox, area.top - oy, area.right - ox, area.bottom - oy};
        drawn = RenderStringOfFont(record, kRenderMemory, x - ox, y - oy, 0, 1.0, 1.0, string, color, locked.image,
                                   &shifted, font, edge_color, -1, vertical, nullptr, true, weight);
    }
    screen.Unlock();
    return drawn;
}

int DrawDirect(TextDrawScreen& screen, bool software, FontData& record, int x, int y, const char* string,
               uint32_t color, int font, uint32_t edge_color, int vertical, const TextExtent& size) {
    const Rect area = GetDrawSettings().draw_area;
    if (software) {
        MEMIMG* dest = screen.TargetImage();
        if (dest == nullptr) {
            return -1;
        }
        return RenderStringOfFont(record, kRenderMemory, x, y, 0, 1.0, 1.0, string, color, dest, &area, font,
                                  edge_color, -1, vertical, nullptr) == -1
                   ? -1
                   : 0;
    }
    screen.FinishDirect3D();
    const Rect dest_rect{x, y, ClampCoordinate(int64_t{x} + size.width), ClampCoordinate(int64_t{y} + size.height)};
    LockedDrawScreen locked;
    if (screen.Lock(dest_rect, 1, &color, &edge_color, &locked) < 0) {
        return -1;
    }
    if (locked.image != nullptr) {
        const int ox = locked.origin_x, oy = locked.origin_y;
        const Rect shifted{area.left - ox, area.top - oy, area.right - ox, area.bottom - oy};
        RenderStringOfFont(record, kRenderMemory, x - ox, y - oy, 0, 1.0, 1.0, string, color, locked.image, &shifted,
                           font, edge_color, -1, vertical, nullptr);
    }
    screen.Unlock();
    return 0;
}

}  // namespace

int RefreshFontCacheScreen(int font) {
    FontData* record = GetFontData(font);
    if (record == nullptr) {
        return -1;
    }
    const ScreenFacts screen = CurrentScreen();
    const int format = CacheFormatFor(screen.bits);
    const int alpha = FontIsAntiAliased(*record) && format != kMemImgFormat8 ? 1 : 0;
    MEMIMG& cache = record->cache_screen;
    if (record->cache_screen_lost == 0 && CheckValidMemImg(&cache) != 0 && cache.width == screen.width &&
        cache.height == screen.height && cache.base->format == format && cache.base->use_alpha == alpha) {
        return 0;
    }
    ReleaseMemImg(&cache);
    cache = MEMIMG{};
    if (CreateMemImg(&cache, screen.width, screen.height, -1, 0, format, 0, alpha, nullptr) != 0) {
        cache = MEMIMG{};
        return WriteLogFormat(font_log::kLogFontScreenFailed);
    }
    record->cache_screen_lost = 0;
    return 0;
}

void UseStraightText(bool allowed) { g_straight_allowed = allowed; }

void MarkFontCacheScreensLost() {
    for (int slot = 0; slot < kFontHandleSlots; ++slot) {
        if (FontData* font = font_table::AtSlot(slot)) {
            font->cache_screen_lost = 1;
        }
    }
}

int DrawStringToHandle2D(TextDrawScreen& screen, FontData& record, int x, int y, const char* string, uint32_t color,
                         int font, uint32_t edge_color, int vertical) {
    if (!screen.CanDraw()) {
        return -1;
    }
    const ScreenFacts facts = CurrentScreen();
    const bool software = screen.SoftwareMode();
    const bool direct = facts.bits == 8 || (!FontIsAntiAliased(record) && PlainDraw());
    if (!direct) {
        const int weight = StraightWeight(screen, software, record, facts);
        if (weight >= 0) {
            const int drawn =
                DrawStraight(screen, software, record, facts, weight, x, y, string, color, font, edge_color, vertical);
            if (drawn != kGlyphBoxesOverlap) {
                return drawn == -1 ? -1 : 0;
            }
        }
    }
    // Software drawing straight into the target needs no measure.
    const TextExtent size = direct && software ? TextExtent{} : Measure(record, string, font, vertical);
    if (direct) {
        return DrawDirect(screen, software, record, x, y, string, color, font, edge_color, vertical, size);
    }
    Rect r;
    MEMIMG* cache = RenderIntoCache(string, color, font, edge_color, vertical, size, 0, &r);
    if (cache == nullptr) {
        return -1;
    }
    const Rect area = Intersect(
        Rect{x, y, ClampCoordinate(int64_t{x} + r.right), ClampCoordinate(int64_t{y} + r.bottom)},
        GetDrawSettings().draw_area);
    DrawCacheScreen(*cache, x, y, nullptr, area);
    return 0;
}

int DrawStringScaledToHandle2D(int x, int y, double rate_x, double rate_y, const char* string, uint32_t color, int font,
                               uint32_t edge_color, int vertical) {
    if (!GetTextDrawScreen().CanDraw()) {
        return -1;
    }
    FontData* record = GetFontData(font);
    if (record == nullptr) {
        return -1;
    }
    Rect r;
    MEMIMG* cache =
        RenderIntoCache(string, color, font, edge_color, vertical, Measure(*record, string, font, vertical), 4, &r);
    if (cache == nullptr) {
        return -1;
    }
    const ScreenFacts screen = CurrentScreen();
    auto scaled = [](int origin, int length, double rate) {
        return ClampCoordinate(int64_t{origin} + DoubleToInt(length * rate) + 3);
    };
    const Rect area = Intersect(Rect{x, y, scaled(x, r.right, rate_x), scaled(y, r.bottom, rate_y)},
                                GetDrawSettings().draw_area);
    const Rect stretch{x, y, scaled(x, screen.width, rate_x), scaled(y, screen.height, rate_y)};
    DrawCacheScreen(*cache, x, y, &stretch, area);
    return 0;
}

}  // namespace velk
