// Text through the Direct3D path, against a device that records its calls
// and a platform font of box glyphs: the texture cache a font gets, each
// glyph rasterised once into its cell, and the quads the glyphs are drawn
// with (edge first, tinted by the draw brightness; scaled; turned).

#include <algorithm>
#include <cstring>

#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/font/display/screen_text_draws.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/font/text_draw.h"
#include "lib/graphics/screen/surface_data.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

using platform::D3dCall;
using platform::D3dCallKind;

// Glyphs are 6 x 10 boxes at origin x 1 with their top on the line's top;
// every character advances 8. Counts what it rasterises.
class BoxFont final : public platform::GdiFont {
public:
    BoxFont() {
        metrics_.height = 16;
        metrics_.ascent = 13;
        metrics_.descent = 3;
        metrics_.max_char_width = 12;
    }
    const platform::TextMetrics& Metrics() const override { return metrics_; }
    const std::string& FaceName() const override { return face_; }
    bool GetGlyphOutline(uint16_t code, platform::GlyphFormat format, platform::GlyphMetrics* metrics,
                         std::vector<uint8_t>* bits) override {
        *metrics = platform::GlyphMetrics{6, 10, 1, 13, 8, 0};
        if (bits == nullptr || format == platform::GlyphFormat::kMetrics || code == 0x20) return true;
        rendered.push_back(code);
        const int pitch = platform::GlyphRowPitch(format, 6);
        bits->assign(static_cast<size_t>(pitch) * 10, 0);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 6; ++x) {
                if (format == platform::GlyphFormat::kBitmap)
                    (*bits)[y * pitch] |= static_cast<uint8_t>(0x80 >> x);
                else
                    (*bits)[y * pitch + x] = static_cast<uint8_t>(grey_level);
            }
        return true;
    }
    static inline std::vector<uint16_t> rendered;
    static inline int grey_level = 16;  // of every pixel of an anti-aliased glyph

private:
    platform::TextMetrics metrics_;
    std::string face_ = "box";
};

std::unique_ptr<platform::GdiFont> MakeBoxFont(const platform::FontRequest&) { return std::make_unique<BoxFont>(); }

// The screen box and texture box of one recorded quad.
struct QuadBox {
    float left, top, right, bottom;
    float u0, v0, u1, v1;
    uint32_t diffuse;
};

QuadBox BoxOf(const D3dCall& call) {
    platform::VertexOneTexture v[6];
    std::memcpy(v, call.vertices.data(), sizeof v);
    QuadBox b{v[0].x, v[0].y, v[0].x, v[0].y, v[0].u, v[0].v, v[0].u, v[0].v, v[0].diffuse};
    for (const auto& p : v) {
        b.left = std::min(b.left, p.x), b.right = std::max(b.right, p.x);
        b.top = std::min(b.top, p.y), b.bottom = std::max(b.bottom, p.y);
        b.u0 = std::min(b.u0, p.u), b.u1 = std::max(b.u1, p.u);
        b.v0 = std::min(b.v0, p.v), b.v1 = std::max(b.v1, p.v);
    }
    return b;
}

class TextDirect3DTest : public GraphicsTest {
protected:
    void Start() {
        ASSERT_NO_FATAL_FAILURE(StartGraphics(RenderMode::kRecordedDirect3D, 32));
        SetGdiFontFactory(&MakeBoxFont);
        BoxFont::rendered.clear();
        BoxFont::grey_level = 16;
    }
    void TearDown() override { SetGdiFontFactory(nullptr); }
    // The quads drawn since the calls were cleared.
    std::vector<QuadBox> Quads() {
        FlipScreenBody();
        std::vector<QuadBox> out;
        for (const D3dCall& c : recording->calls)
            if (c.kind == D3dCallKind::kDrawPrimitive && c.b == platform::kFvfOneTexture)
                for (int i = 0; i + 6 <= c.count; i += 6) {
                    D3dCall one = c;
                    one.vertices.assign(c.vertices.begin() + i * sizeof(platform::VertexOneTexture),
                                        c.vertices.begin() + (i + 6) * sizeof(platform::VertexOneTexture));
                    out.push_back(BoxOf(one));
                }
        return out;
    }
    const SurfaceData& CacheStore(const FontData& font) {
        const GraphData* g = GetGraphData(font.cache_graph);
        EXPECT_NE(g, nullptr);
        return *GetSurfaceData(GetSurface3DData(g->parts[0])->surface_data);
    }
};

TEST_F(TextDirect3DTest, AFontMadeWhileDirect3DDrawsKeepsItsGlyphsInATexture) {
    Start();
    struct Case {
        int type, edge;
        int cell, width;      // cell side, cache graph width
        uint32_t alpha_mask;  // of the texture's format
    };
    const Case cases[] = {
        {0, -1, 16, 512, 0x8000},
        {1, 1, 18, 1024, 0x8000},
        {2, -1, 16, 512, 0xF000},
        {3, 2, 24, 1024, 0xF000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const int font = CreateFontToHandle(nullptr, 16, -1, c.type, -1, c.edge, 0);
        ASSERT_NE(font, -1);
        const FontData& f = *GetFontData(font);
        EXPECT_EQ(f.texture_mode, 1);
        EXPECT_EQ(f.cell_size, c.cell);
        EXPECT_EQ(f.cell_count, (512 / c.cell) * (512 / c.cell));
        const GraphData* g = GetGraphData(f.cache_graph);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->texture, 1);
        EXPECT_EQ(g->width, c.width);
        EXPECT_EQ(g->height, 512);
        EXPECT_EQ(CacheStore(f).surface_color.alpha_mask, c.alpha_mask);
        EXPECT_EQ(f.edge_graph != -1, (c.type & 1) != 0);
        const int graphs = GetGraphCount();
        DeleteFontToHandle(font);
        EXPECT_EQ(GetGraphCount(), graphs - ((c.type & 1) != 0 ? 2 : 1)) << "the font's graphs go with it";
    }
    // Made while graphs are drawn without Direct3D: memory only.
    SetUse3DFlag(0);
    const int font = CreateFontToHandle(nullptr, 16, -1, 0, -1, -1, 0);
    EXPECT_EQ(GetFontData(font)->texture_mode, 0);
    EXPECT_EQ(GetFontData(font)->cache_graph, -1);
    SetUse3DFlag(1);
}

TEST_F(TextDirect3DTest, EachGlyphIsRasterisedOnceAndDrawnFromItsCellEdgeFirst) {
    Start();
    const int font = CreateFontToHandle(nullptr, 16, -1, 1, -1, 1, 0);  // edged, cell 18
    ASSERT_NE(font, -1);
    const uint32_t text = GetColorValue(200, 100, 50), edge = GetColorValue(10, 20, 30);
    SetDrawBrightness(255, 255, 128);
    recording->calls.clear();
    ASSERT_EQ(DrawStringToHandle(100, 50, "ABA", text, font, edge), 0);
    EXPECT_EQ(BoxFont::rendered, (std::vector<uint16_t>{'A', 'B'}));
    const std::vector<QuadBox> quads = Quads();
    ASSERT_EQ(quads.size(), 6u);
    // The glyph box is 8 x 12 with its edge, from x + pen + origin x (the
    // edge widens the advance to 10); pixel centres lie on whole numbers.
    const float lefts[3] = {101, 111, 121};
    const float cells[3] = {0, 18, 0};  // A in cell 0, B in cell 1 (the next one down)
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const QuadBox& q = quads[i];
        const bool is_edge = i % 2 == 0;
        EXPECT_FLOAT_EQ(q.left, lefts[i / 2]);
        EXPECT_FLOAT_EQ(q.right, lefts[i / 2] + 8);
        EXPECT_FLOAT_EQ(q.top, 50);
        EXPECT_FLOAT_EQ(q.bottom, 62);
        // The edge is the same cell in the right half of the 1024-wide cache.
        EXPECT_FLOAT_EQ(q.u0, ((is_edge ? 512 : 0) + 0.5f) / 1024);
        EXPECT_FLOAT_EQ(q.v0, (cells[i / 2] + 0.5f) / 512);
        EXPECT_FLOAT_EQ(q.v1, (cells[i / 2] + 12.5f) / 512);
        // Tinted by the colour times the brightness.
        EXPECT_EQ(q.diffuse, is_edge ? 0xFF0A140Fu : 0xFFC86419u);
    }
    // The brightness is back.
    EXPECT_EQ(GetDrawSettings().bright_blue, 128);
    // The cells hold white with the coverage in alpha: the glyph inside its
    // edge, the edge around it.
    SurfaceData& store = const_cast<SurfaceData&>(CacheStore(*GetFontData(font)));
    platform::DdSurfaceDesc desc;
    ASSERT_EQ(store.surface->Lock(nullptr, &desc, platform::kDdLockReadOnly), platform::kDdOk);
    auto texel = [&](int x, int y) {
        return static_cast<const uint16_t*>(desc.surface)[static_cast<size_t>(y) * (desc.pitch / 2) + x];
    };
    EXPECT_EQ(texel(1, 1), 0xFFFF);        // glyph
    EXPECT_EQ(texel(0, 0), 0x7FFF);        // beside it: white, clear
    EXPECT_EQ(texel(512 + 0, 1), 0xFFFF);  // its edge reaches one pixel out
    EXPECT_EQ(texel(512 + 0, 0), 0x7FFF);  // the plus brush leaves the corner out
    store.surface->Unlock(nullptr);
}

TEST_F(TextDirect3DTest, AnAntiAliasedEdgeAddsUpWhatItsBrushCovers) {
    Start();
    BoxFont::grey_level = 9;                                            // half covered: alpha 8 of 15
    const int font = CreateFontToHandle(nullptr, 16, -1, 3, -1, 2, 0);  // edge 2: 5 x 5 without corners
    ASSERT_NE(font, -1);
    ASSERT_EQ(DrawStringToHandle(0, 0, "A", GetColorValue(255, 255, 255), font), 0);
    SurfaceData& store = const_cast<SurfaceData&>(CacheStore(*GetFontData(font)));
    platform::DdSurfaceDesc desc;
    ASSERT_EQ(store.surface->Lock(nullptr, &desc, platform::kDdLockReadOnly), platform::kDdOk);
    auto alpha = [&](int x, int y) {
        return static_cast<const uint16_t*>(desc.surface)[static_cast<size_t>(y) * (desc.pitch / 2) + x] >> 12;
    };
    // The glyph lies at (2, 2). Outside its corner (1, 1) the brush meets
    // three glyph pixels: 9, then 16 - 7 x 7 / 16 = 12, then 16 - 4 x 7 / 16
    // = 14 sixteenths; at (0, 2), beside its top row, two (9, 12).
    EXPECT_EQ(alpha(2, 2), 8);
    EXPECT_EQ(alpha(1, 1), 0);
    EXPECT_EQ(alpha(512 + 1, 1), 13);
    EXPECT_EQ(alpha(512 + 0, 2), 11);
    EXPECT_EQ(alpha(512 + 0, 0), 0);  // the brush has no corners
    store.surface->Unlock(nullptr);
}

TEST_F(TextDirect3DTest, ScaledAndVerticalTextPlaceTheirQuads) {
    Start();
    const int font = CreateFontToHandle(nullptr, 16, -1, 2, -1, -1, 0);  // anti-aliased, cell 16
    ASSERT_NE(font, -1);
    const uint32_t white = GetColorValue(255, 255, 255);
    recording->calls.clear();
    ASSERT_EQ(DrawStringScaledToHandle(10, 20, 2.0, 1.5, "AB", white, font), 0);
    std::vector<QuadBox> quads = Quads();
    ASSERT_EQ(quads.size(), 2u);
    // B: at x + trunc(origin x x 2 + pen 16), 12 x 15.
    EXPECT_FLOAT_EQ(quads[1].left, 28.0f);
    EXPECT_FLOAT_EQ(quads[1].right, 40.0f);
    EXPECT_FLOAT_EQ(quads[1].top, 20.0f);
    EXPECT_FLOAT_EQ(quads[1].bottom, 35.0f);

    recording->calls.clear();
    ASSERT_EQ(DrawStringToHandle(300, 100, "AB", white, font, 0, 1), 0);
    FlipScreenBody();
    // Turned clockwise: the 6 x 10 box stands 10 wide and 6 high, its top to
    // the right (x + cell height - top), its left edge at y + pen + origin x.
    // The whole cache is mapped so that the cell lands there, cut by the
    // viewport to the glyph.
    std::vector<platform::D3dViewport> viewports;
    std::vector<platform::VertexOneTexture> top_lefts;
    for (const D3dCall& c : recording->calls) {
        if (c.kind == D3dCallKind::kSetViewport) viewports.push_back(c.viewport);
        if (c.kind != D3dCallKind::kDrawPrimitive) continue;
        platform::VertexOneTexture v;
        std::memcpy(&v, c.vertices.data(), sizeof v);
        top_lefts.push_back(v);
        const platform::D3dViewport& glyph = viewports.back();
        SCOPED_TRACE(top_lefts.size());
        EXPECT_EQ(glyph.x, 306u);
        EXPECT_EQ(glyph.y, 101u + 8 * (top_lefts.size() - 1));
        EXPECT_EQ(glyph.width, 10u);
        EXPECT_EQ(glyph.height, 6u);
    }
    ASSERT_EQ(top_lefts.size(), 2u);
    // The cache's top-left corner: A's cell at (0, 0), B's one cell lower.
    EXPECT_FLOAT_EQ(top_lefts[0].u, 0.0f);
    EXPECT_FLOAT_EQ(top_lefts[0].x, 315.5f);
    EXPECT_FLOAT_EQ(top_lefts[0].y, 100.5f);
    EXPECT_FLOAT_EQ(top_lefts[1].x, 315.5f + 16);
    EXPECT_FLOAT_EQ(top_lefts[1].y, 108.5f);
}

TEST_F(TextDirect3DTest, WithoutDirect3DATextureFontStillDrawsFromItsMemoryCells) {
    Start();
    SetDrawArea(0, 0, 640, 480);
    const int font = CreateFontToHandle(nullptr, 16, -1, 0, -1, -1, 0);
    ASSERT_EQ(GetFontData(font)->texture_mode, 1);
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen();
    // As the key-input drawing does: graphs and text through the 2D path.
    SetUse3DFlag(0);
    recording->calls.clear();
    ASSERT_EQ(DrawStringToHandle(10, 10, "A", GetColorValue(255, 255, 255), font), 0);
    SetUse3DFlag(1);
    EXPECT_TRUE(Quads().empty());
    const std::string saved = Path("text.bmp");
    ASSERT_EQ(SaveDrawScreenToFile(0, 0, 640, 480, saved.c_str(), 0, 0, 0, -1), 0);
    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = ReadImagePixels(saved, &width, &height);
    ASSERT_EQ(pixels.size(), 640u * 480u);
    EXPECT_EQ(pixels[12 * 640 + 13] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return (p & 0xFFFFFF) != 0; }), 60);
    // A draw target Direct3D refuses fails the text as it fails graphs.
    D3D().draws_disabled = 1;
    EXPECT_EQ(DrawStringToHandle(10, 10, "A", GetColorValue(255, 255, 255), font), -1);
    D3D().draws_disabled = 0;
}

}  // namespace
}  // namespace velk::testing
