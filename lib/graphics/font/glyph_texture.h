#pragma once
// The texture glyph cache of a font in texture mode: a texture graph of
// square cells (a column top to bottom, then the next column) whose texels
// are white with the coverage in alpha, and, for edged fonts, the edge of
// each glyph at the same place in the right half. Glyphs are drawn from it
// as rectangles of the graph through the graph draws, tinted by the draw
// brightness, so the Direct3D path batches and blends them like any graph.

#include <cstdint>

namespace velk {

struct FontData;
struct GlyphEntry;
struct RenderedGlyph;

// Whether a font made now keeps its glyphs in a texture: the use-3D setting
// is on, Direct3D is ready, software rendering is off and the device offers
// both glyph texture formats.
bool GlyphTexturesAvailable();

// The texture's size and the cell count for the font's cell size: 512 x 512
// unless fewer than 10 cells fit, then the smaller side (the width when both
// are equal) doubles until they do; at most the cache's cell limit. false
// for a cell size no cache holds.
bool SizeGlyphTextureCache(FontData& font);

// Makes the cache graph (and the edge graph) when it was never made or was
// deleted, and clears it when its texture was lost; either empties the
// glyph cache. 0; -1 when no texture graph can be made.
int RefreshFontCacheGraph(FontData& font);

// Deletes the cache and edge graphs (without log lines).
void ReleaseGlyphTextureCache(FontData& font);

// Writes the glyph's cell of the texture (and its edge): the glyph as the
// memory cell holds it, at the edge size's offset for edged fonts.
void UploadGlyphToTexture(FontData& font, const GlyphEntry& entry, const RenderedGlyph& glyph);

// One string drawn from the texture: switches the blend graph off and keeps
// the draw brightness, which each glyph sets to the edge colour and then the
// text colour (both colour values, darkened by the brightness); puts both
// back at the end.
class TextureGlyphDraw {
public:
    TextureGlyphDraw(uint32_t text_color, uint32_t edge_color);
    ~TextureGlyphDraw();
    TextureGlyphDraw(const TextureGlyphDraw&) = delete;
    TextureGlyphDraw& operator=(const TextureGlyphDraw&) = delete;

    // The glyph at pen position `pen` of a line whose top-left is (x, y);
    // vertical lines run downwards with each glyph turned a quarter turn
    // clockwise, as the memory path turns them.
    void Draw(const FontData& font, const GlyphEntry& entry, int x, int y, double pen, double rate_x, double rate_y,
              int vertical) const;

private:
    int saved_red_, saved_green_, saved_blue_;
    int saved_blend_graph_, saved_border_param_, saved_border_range_;
    int text_[3] = {};
    int edge_[3] = {};
};

}  // namespace velk
