#include "lib/graphics/font/glyph_texture.h"

#include <algorithm>
#include <vector>

#include "lib/core/log.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/draw_settings_internal.h"
#include "lib/graphics/font/edge_brush.h"
#include "lib/graphics/font/font_data.h"
#include "lib/graphics/font/font_log_texts.h"
#include "lib/graphics/font/glyph_cache.h"
#include "lib/graphics/font/glyph_cell.h"
#include "lib/graphics/font/text_draw_screen.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/image/graph_image.h"

namespace velk {

namespace {

constexpr int kTextureSide = 512;
constexpr int kMinTextureCells = 10;

// Coverage in sixteenths (0..16) to the stored 4-bit alpha: levels 0 and 1
// both mean nothing, as in the memory cells.
uint16_t Alpha4(int level) { return static_cast<uint16_t>(level > 1 ? std::min(level, 16) - 1 : 0); }

// A texel of the cache: white, the coverage in alpha.
uint16_t Texel(bool anti_aliased, int level) {
    return anti_aliased ? static_cast<uint16_t>((Alpha4(level) << 12) | 0x0FFF)
                        : static_cast<uint16_t>((level > 0 ? 0x8000 : 0) | 0x7FFF);
}

ColorData CacheColorData(bool anti_aliased) {
    ColorData data;
    if (anti_aliased) {
        CreateColorDataFromMasks(&data, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    } else {
        CreateColorDataFromMasks(&data, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    }
    return data;
}

// A cell-sized 16-bit image over a buffer the upload reuses.
GraphImage WorkImage(std::vector<uint16_t>& pixels, int cell, bool anti_aliased) {
    pixels.assign(static_cast<size_t>(cell) * static_cast<size_t>(cell), Texel(anti_aliased, 0));
    GraphImage image;
    image.color_data = CacheColorData(anti_aliased);
    image.width = cell;
    image.height = cell;
    image.pitch = cell * 2;
    image.pixels = reinterpret_cast<uint8_t*>(pixels.data());
    return image;
}

void Upload(int graph, const GraphImage& image, int x, int y) {
    GraphData* g = GetGraphData(graph);
    if (g != nullptr) PathOfGraph(*g).FillGraphParts(*g, image, nullptr, x, y, 0, 0);
}

int CellX(const FontData& font, const GlyphEntry& entry) {
    return font.cell_size * (entry.cell / font.texture_cells_per_column);
}

int CellY(const FontData& font, const GlyphEntry& entry) {
    return font.cell_size * (entry.cell % font.texture_cells_per_column);
}

// Keeps the settings graphs are made with and puts them back.
class MakingSettingsScope {
public:
    MakingSettingsScope()
        : depth_(GetCreateGraphColorDepth()),
          alpha_test_(GetUseAlphaTestFlag()),
          draw_valid_(GetCreateDrawValidGraph()),
          option_(GetGraphOption()) {}
    ~MakingSettingsScope() {
        SetCreateGraphColorDepth(depth_);
        SetUseAlphaTestFlag(alpha_test_);
        SetCreateDrawValidGraph(draw_valid_);
        SetGraphOption(option_);
    }
    MakingSettingsScope(const MakingSettingsScope&) = delete;
    MakingSettingsScope& operator=(const MakingSettingsScope&) = delete;

private:
    int depth_, alpha_test_, draw_valid_;
    uint32_t option_;
};

int MakeCacheGraph(FontData& font) {
    const bool anti_aliased = FontIsAntiAliased(font);
    const bool edged = FontIsEdged(font);
    int graph = -1;
    {
        MakingSettingsScope keep;
        SetCreateGraphColorDepth(16);
        SetUseAlphaTestFlag(anti_aliased ? 0 : 1);
        SetCreateDrawValidGraph(0);
        SetGraphOption(0);
        graph = MakeGraph(font.texture_width * (edged ? 2 : 1), font.texture_height, 1, anti_aliased ? 1 : 0, 0);
    }
    const GraphData* g = graph != -1 ? GetGraphData(graph) : nullptr;
    if (g == nullptr || g->texture == 0) {
        if (graph != -1) DeleteGraph(graph);
        return -1;
    }
    int edge = -1;
    if (edged) {
        edge = CreateDerivedGraph(font.texture_width, 0, font.texture_width, font.texture_height, graph);
        if (edge == -1) {
            DeleteGraph(graph);
            return -1;
        }
    }
    font.cache_graph = graph;
    font.edge_graph = edge;
    SetGraphLostFlag(graph, &font.cache_graph_lost);
    FillGraph(graph, 255, 255, 255, 0);
    return 0;
}

}  // namespace

bool GlyphTexturesAvailable() {
    GraphicsHost& host = Host();
    return GetDrawSettings().use_3d != 0 && host.Direct3DReady() && !host.SoftwareRendering() &&
           GetTextDrawScreen().GlyphTextureFormatsOffered();
}

bool SizeGlyphTextureCache(FontData& font) {
    const int c = font.cell_size;
    if (c <= 0 || c > kMaxCellSize) return false;
    int width = kTextureSide, height = kTextureSide;
    int count = (width / c) * (height / c);
    while (count < kMinTextureCells) {
        if (width <= height) {
            width *= 2;
        } else {
            height *= 2;
        }
        count = (width / c) * (height / c);
    }
    font.texture_width = width;
    font.texture_height = height;
    font.texture_cells_per_column = height / c;
    font.cell_count = std::min(count, kMaxGlyphCells);
    return true;
}

int RefreshFontCacheGraph(FontData& font) {
    GraphData* g = GetGraphData(font.cache_graph);
    if (font.cache_graph_lost != 0 || g == nullptr) {
        ReleaseGlyphTextureCache(font);
        if (MakeCacheGraph(font) != 0) return WriteLogFormat(font_log::kLogTextureCacheFailed);
        font.cache_graph_lost = 0;
    } else if (g->needs_restore != 0) {
        // The texture came back empty after the display was lost.
        g->needs_restore = 0;
        FillGraph(font.cache_graph, 255, 255, 255, 0);
    } else {
        return 0;
    }
    // What the cells held is gone.
    ResetGlyphCache(font);
    return 0;
}

void ReleaseGlyphTextureCache(FontData& font) {
    if (font.edge_graph != -1) DeleteGraph(font.edge_graph);
    if (font.cache_graph != -1) DeleteGraph(font.cache_graph);
    font.edge_graph = -1;
    font.cache_graph = -1;
    font.cache_graph_lost = 1;
}

void UploadGlyphToTexture(FontData& font, const GlyphEntry& entry, const RenderedGlyph& glyph) {
    if (font.cache_graph == -1 || font.texture_cells_per_column <= 0) return;
    const bool anti_aliased = FontIsAntiAliased(font);
    const bool edged = FontIsEdged(font);
    const int c = font.cell_size;
    const int offset = edged ? std::max(font.edge_size, 1) : 0;
    const int width = std::min(glyph.width, c - 2 * offset);
    const int height = std::min(glyph.height, c - 2 * offset);
    auto level = [&](int x, int y) {
        if (anti_aliased) return static_cast<int>(glyph.bits[y * glyph.pitch + x]);
        return (glyph.bits[y * glyph.pitch + (x >> 3)] & (0x80 >> (x & 7))) != 0 ? 16 : 0;
    };
    static std::vector<uint16_t> glyph_pixels;
    static std::vector<uint16_t> edge_pixels;
    const GraphImage image = WorkImage(glyph_pixels, c, anti_aliased);
    std::vector<uint8_t> edge_cover;
    if (edged) edge_cover.assign(static_cast<size_t>(c) * static_cast<size_t>(c), 0);
    if (glyph.bits != nullptr) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int l = level(x, y);
                if (l == 0) continue;
                glyph_pixels[static_cast<size_t>(y + offset) * c + x + offset] = Texel(anti_aliased, l);
                if (!edged) continue;
                // The edge covers what any glyph pixel under the brush covers,
                // each adding its share of what is left uncovered.
                for (const BrushOffset& o : EdgeBrushOffsets(font.edge_size)) {
                    uint8_t& e = edge_cover[static_cast<size_t>(y + offset + o.dy) * c + x + offset + o.dx];
                    e = static_cast<uint8_t>((256 - (16 - e) * (16 - l)) >> 4);
                }
            }
        }
    }
    const int cell_x = CellX(font, entry), cell_y = CellY(font, entry);
    Upload(font.cache_graph, image, cell_x, cell_y);
    if (edged) {
        const GraphImage edge_image = WorkImage(edge_pixels, c, anti_aliased);
        for (size_t i = 0; i < edge_cover.size(); ++i)
            edge_pixels[i] = Texel(anti_aliased, edge_cover[i]);
        Upload(font.cache_graph, edge_image, font.texture_width + cell_x, cell_y);
    }
}

TextureGlyphDraw::TextureGlyphDraw(uint32_t text_color, uint32_t edge_color) {
    const DrawSettings& s = GetDrawSettings();
    saved_red_ = s.bright_red;
    saved_green_ = s.bright_green;
    saved_blue_ = s.bright_blue;
    saved_blend_graph_ = s.blend_graph;
    saved_border_param_ = s.blend_border_param;
    saved_border_range_ = s.blend_border_range;
    const int bright[3] = {saved_red_, saved_green_, saved_blue_};
    GetColorRGB(text_color, &text_[0], &text_[1], &text_[2]);
    GetColorRGB(edge_color, &edge_[0], &edge_[1], &edge_[2]);
    for (int i = 0; i < 3; ++i) {
        text_[i] = text_[i] * bright[i] / 255;
        edge_[i] = edge_[i] * bright[i] / 255;
    }
    if (saved_blend_graph_ != -1) SetBlendGraph(-1, saved_border_param_, saved_border_range_);
}

TextureGlyphDraw::~TextureGlyphDraw() {
    SetDrawBrightness(saved_red_, saved_green_, saved_blue_);
    if (saved_blend_graph_ != -1) SetBlendGraph(saved_blend_graph_, saved_border_param_, saved_border_range_);
}

void TextureGlyphDraw::Draw(const FontData& font, const GlyphEntry& entry, int x, int y, double pen, double rate_x,
                            double rate_y, int vertical) const {
    const int cell_x = CellX(font, entry), cell_y = CellY(font, entry);
    const int w = entry.width, h = entry.height;
    const bool scaled = rate_x != 1.0 || rate_y != 1.0;
    auto draw = [&](int graph) {
        if (vertical == 0) {
            if (!scaled) {
                DrawRectGraph(x + static_cast<int>(pen) + entry.origin_x, y + entry.top, cell_x, cell_y, w, h, graph, 1,
                              0);
                return;
            }
            const int left = x + static_cast<int>(entry.origin_x * rate_x + pen);
            const int top = y + static_cast<int>(entry.top * rate_y);
            DrawRectExtendGraph(left, top, left + static_cast<int>(w * rate_x), top + static_cast<int>(h * rate_y),
                                cell_x, cell_y, w, h, graph, 1);
            return;
        }
        // Turned a quarter turn clockwise: the glyph's top faces right, its
        // left edge lies at the pen along the line.
        const int right = x + static_cast<int>((font.cell_height - entry.top) * rate_x);
        const int left = right - static_cast<int>(h * rate_x);
        const int top = y + static_cast<int>(entry.origin_x * rate_y + pen);
        const int bottom = top + static_cast<int>(w * rate_y);
        if (left >= right || top >= bottom) return;
        const GraphData* g = GetGraphData(graph);
        if (g == nullptr) return;
        // Graph point (u, v) lands on (right - (v - cell_y) * sx, top + (u - cell_x) * sy);
        // pixel centres lie half a pixel inside their edges.
        const float sx = static_cast<float>(right - left) / static_cast<float>(h);
        const float sy = static_cast<float>(bottom - top) / static_cast<float>(w);
        auto at_x = [&](float v) { return static_cast<float>(right) - (v - static_cast<float>(cell_y)) * sx - 0.5f; };
        auto at_y = [&](float u) { return static_cast<float>(top) + (u - static_cast<float>(cell_x)) * sy - 0.5f; };
        const float gw = static_cast<float>(g->width), gh = static_cast<float>(g->height);
        const SavedDrawArea saved = SaveDrawArea();
        const Rect& a = saved.area;
        const Rect cut{std::max(a.left, left), std::max(a.top, top), std::min(a.right, right),
                       std::min(a.bottom, bottom)};
        if (saved.empty != 0 || cut.right <= cut.left || cut.bottom <= cut.top) return;
        SetDrawArea(cut.left, cut.top, cut.right, cut.bottom);
        DrawModiGraphF(at_x(0), at_y(0), at_x(0), at_y(gw), at_x(gh), at_y(0), at_x(gh), at_y(gw), graph, 1);
        RestoreDrawArea(saved);
    };
    if (FontIsEdged(font) && font.edge_graph != -1) {
        SetDrawBrightness(edge_[0], edge_[1], edge_[2]);
        draw(font.edge_graph);
    }
    SetDrawBrightness(text_[0], text_[1], text_[2]);
    draw(font.cache_graph);
}

}  // namespace velk
