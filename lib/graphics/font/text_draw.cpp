#include "lib/graphics/font/text_draw.h"

#include <cstdarg>
#include <optional>

#include "lib/core/base_routines.h"
#include "lib/core/log.h"
#include "lib/core/string_format.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/font_log_texts.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/font/glyph_texture.h"
#include "lib/graphics/font/text_draw_2d.h"
#include "lib/graphics/font/text_draw_screen.h"
#include "lib/graphics/font/text_engine.h"

namespace velk {

namespace {

// Runs the draw between the mask steps, which get the rectangle the text may
// cover: to the draw area's right (bottom for vertical text), `extent`
// pixels across. With masks in use a text that starts at or right of the
// draw area's right edge draws nothing.
template <typename Draw>
int DrawWithMasks(int x, int y, int extent, int vertical, Draw draw) {
    GraphicsHost& host = Host();
    if (!host.MasksInUse()) {
        return draw();
    }
    const Rect area = GetDrawSettings().draw_area;
    if (x >= area.right) {
        return 0;
    }
    const Rect covered = vertical != 0 ? Rect{x, y, x + extent, area.bottom} : Rect{x, y, area.right, y + extent};
    host.MaskBeforeDraw(covered);
    const int result = draw();
    host.MaskAfterDraw(covered);
    return result;
}

// The font of a draw, or null (a bad handle is logged).
FontData* FontOfDraw(const TextDrawScreen& screen, const char* string, int font, bool* nothing_to_draw) {
    *nothing_to_draw = string == nullptr || string[0] == '\0' || screen.GraphicsSuspended();
    if (*nothing_to_draw) {
        return nullptr;
    }
    FontData* record = GetFontData(font);
    if (record == nullptr) {
        WriteLogFormat(font_log::kLogBadFontHandle);
    }
    return record;
}

// Whether the font draws through the Direct3D path: texture-mode fonts do
// while graphs do.
bool DrawsFromTexture(const FontData& record) { return record.texture_mode != 0 && GetUse3DFlag() != 0; }

// A font that draws from its texture (DrawsFromTexture): 0, -1; none when
// its texture cannot be had and the 2D path is to draw.
std::optional<int> DrawFromTexture(TextDrawScreen& screen, FontData& record, int x, int y, int scaled, double rate_x,
                                   double rate_y, const char* string, uint32_t color, int font, uint32_t edge_color,
                                   int vertical) {
    if (screen.Direct3DDrawsDisabled()) {
        return -1;
    }
    if (RefreshFontCacheGraph(record) != 0) {
        return std::nullopt;
    }
    return RenderStringToHandle(kRenderTexture, x, y, scaled, rate_x, rate_y, string, color, nullptr, nullptr, font,
                                edge_color, -1, vertical, nullptr) == -1
               ? -1
               : 0;
}

}  // namespace

int DrawStringToHandle(int x, int y, const char* string, uint32_t color, int font, uint32_t edge_color, int vertical) {
    // (The screen and the record are found once a string: nothing a draw
    // calls replaces either.)
    TextDrawScreen& screen = GetTextDrawScreen();
    bool nothing = false;
    FontData* record = FontOfDraw(screen, string, font, &nothing);
    if (nothing) {
        return 0;
    }
    if (record == nullptr) {
        return -1;
    }
    return DrawWithMasks(x, y, record->size + 3, vertical, [&] {
        if (DrawsFromTexture(*record)) {
            if (const auto drawn =
                    DrawFromTexture(screen, *record, x, y, 0, 1.0, 1.0, string, color, font, edge_color, vertical)) {
                return *drawn;
            }
        }
        return DrawStringToHandle2D(screen, *record, x, y, string, color, font, edge_color, vertical);
    });
}

int DrawStringScaledToHandle(int x, int y, double rate_x, double rate_y, const char* string, uint32_t color, int font,
                             uint32_t edge_color, int vertical) {
    TextDrawScreen& screen = GetTextDrawScreen();
    bool nothing = false;
    FontData* record = FontOfDraw(screen, string, font, &nothing);
    if (nothing) {
        return 0;
    }
    if (record == nullptr) {
        return -1;
    }
    const int extent = DoubleToInt(record->size * (vertical != 0 ? rate_x : rate_y)) + 3;
    return DrawWithMasks(x, y, extent, vertical, [&] {
        if (DrawsFromTexture(*record)) {
            if (const auto drawn = DrawFromTexture(screen, *record, x, y, 1, rate_x, rate_y, string, color, font,
                                                   edge_color, vertical)) {
                return *drawn;
            }
        }
        return DrawStringScaledToHandle2D(x, y, rate_x, rate_y, string, color, font, edge_color, vertical);
    });
}

int DrawString(int x, int y, const char* string, uint32_t color, uint32_t edge_color) {
    RefreshDefaultFont();
    return DrawStringToHandle(x, y, string, color, GetDefaultFontHandle(), edge_color, 0);
}

int DrawFormattedString(int x, int y, uint32_t color, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatStringV(format, args);
    va_end(args);
    return DrawString(x, y, text.c_str(), color, 0);
}

int GetStringWidthToHandle(const char* string, int length, int font, int vertical) {
    if (GetFontData(font) == nullptr) {
        return -1;
    }
    if (string == nullptr) {
        return 0;
    }
    return RenderStringToHandle(0, 0, 0, 0, 1.0, 1.0, string, 0, nullptr, nullptr, font, 0, length, vertical,
                                nullptr);
}

int GetStringWidth(const char* string, int length, int vertical) {
    RefreshDefaultFont();
    return GetStringWidthToHandle(string, length, GetDefaultFontHandle(), vertical);
}

}  // namespace velk
