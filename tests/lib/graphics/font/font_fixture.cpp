#include "tests/lib/graphics/font/font_fixture.h"

#include <algorithm>

#include "lib/graphics/font/text_draw_2d.h"
#include "lib/softrender/blend_tables.h"
#include "platform/base/debug_output.h"

namespace velk::testing {

namespace {

class FakeFont final : public platform::GdiFont {
public:
    explicit FakeFont(const platform::FontRequest& request) : face_(request.face) {
        const FakeFontSettings& s = FakeSettings();
        metrics_.height = s.height;
        metrics_.ascent = s.ascent;
        metrics_.descent = s.height - s.ascent;
        metrics_.max_char_width = s.max_char_width;
    }
    const platform::TextMetrics& Metrics() const override { return metrics_; }
    const std::string& FaceName() const override { return face_; }
    bool GetGlyphOutline(uint16_t code, platform::GlyphFormat format, platform::GlyphMetrics* metrics,
                         std::vector<uint8_t>* bits) override {
        const FakeFontSettings& s = FakeSettings();
        ++FakeLog().glyph_calls;
        if (format != platform::GlyphFormat::kMetrics) {
            FakeLog().rendered_codes.push_back(code);
        }
        *metrics = platform::GlyphMetrics{};
        if (bits != nullptr) bits->clear();
        if (code == 0x80 || (code > 0xFF && (code & 0xFF) < 0x40)) {
            return false;  // no character
        }
        metrics->cell_inc_x = static_cast<int16_t>(code > 0xFF ? s.wide_advance : s.advance);
        metrics->origin_x = 1;
        metrics->origin_y = s.ascent;
        metrics->black_box_x = static_cast<uint32_t>(s.glyph_width);
        metrics->black_box_y = static_cast<uint32_t>(s.glyph_height);
        if (code == 0x20 || code == 0x8140 || format == platform::GlyphFormat::kMetrics || bits == nullptr) {
            return true;
        }
        const int pitch = platform::GlyphRowPitch(format, static_cast<uint32_t>(s.glyph_width));
        bits->assign(static_cast<size_t>(pitch * s.glyph_height), 0);
        for (int y = 0; y < s.glyph_height; ++y) {
            for (int x = 0; x < s.glyph_width; ++x) {
                if (format == platform::GlyphFormat::kBitmap) {
                    (*bits)[static_cast<size_t>(y * pitch + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
                } else {
                    (*bits)[static_cast<size_t>(y * pitch + x)] =
                        static_cast<uint8_t>(std::min(16, 16 * (x + 1) / s.glyph_width));
                }
            }
        }
        return true;
    }

private:
    std::string face_;
    platform::TextMetrics metrics_;
};

}  // namespace

FakeFontSettings& FakeSettings() {
    static FakeFontSettings settings;
    return settings;
}

FakeFontLog& FakeLog() {
    static FakeFontLog log;
    return log;
}

std::unique_ptr<platform::GdiFont> MakeFakeFont(const platform::FontRequest& request) {
    FakeLog().requests.emplace_back(request.face, request.charset);
    const FakeFontSettings& s = FakeSettings();
    if (std::find(s.refused_charsets.begin(), s.refused_charsets.end(), request.charset) != s.refused_charsets.end()) {
        return nullptr;
    }
    if (std::find(s.refused_faces.begin(), s.refused_faces.end(), request.face) != s.refused_faces.end()) {
        return nullptr;
    }
    return std::make_unique<FakeFont>(request);
}

void FontTest::SetUp() {
    platform::SetDebugOutputEnabled(false);
    InitMemImgTables();
    SetLogOutputFlag(1);
    SetLogStartDirectory(dir_.path().string());
    ASSERT_EQ(CreateLogFile(), 0);
    SetGraphicsHost(&host_);
    SetGdiFontFactory(nullptr);
    FakeSettings() = FakeFontSettings{};
    FakeLog() = FakeFontLog{};
    SetScreenBits(32);
    ASSERT_EQ(InitFontManagement(), 0);
}

void FontTest::TearDown() {
    EndFontManagement();
    SetGdiFontFactory(nullptr);
    EndGraphManagement();
    SetGraphicsHost(nullptr);
    DefaultSoftwareTextDrawScreen().SetTarget(nullptr);
    SetTextDrawScreen(nullptr);
    ReleaseMemImg(&target_);
    SetMemImgDrawBlendMode(0, 255);
    SetMemImgDrawBright(255, 255, 255);
    SetLogStartDirectory("");
    platform::SetDebugOutputEnabled(true);
}

void FontTest::UseFakeFonts(const FakeFontSettings& settings) {
    FakeSettings() = settings;
    FakeLog() = FakeFontLog{};
    SetGdiFontFactory(&MakeFakeFont);
    InitFontHandles();
}

void FontTest::SetScreenBits(int bits) {
    host_.bits = bits;
    EndGraphManagement();
    ASSERT_EQ(InitGraphManagement(), 0);
    ASSERT_EQ(SetDrawScreen(kBackScreen), 0);
    ReleaseMemImg(&target_);
    target_ = MEMIMG{};
    ASSERT_EQ(CreateMemImg(&target_, 640, 480, -1, 0, bits == 16 ? kMemImgFormat16 : kMemImgFormat32, 0, 0, nullptr),
              0);
    FillMemImg(&target_, nullptr, 0);
    DefaultSoftwareTextDrawScreen().SetTarget(&target_);
    MarkFontCacheScreensLost();
}

uint32_t FontTest::PixelAt(int x, int y) const {
    const uint8_t* p = MemImgPixelAddress(target_, x, y);
    if (target_.base->format == kMemImgFormat16) {
        return static_cast<uint32_t>(p[0] | (p[1] << 8));
    }
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

int FontTest::CountInk(const Rect& r, uint32_t background) const {
    int ink = 0;
    for (int y = std::max(0, r.top); y < std::min(480, r.bottom); ++y) {
        for (int x = std::max(0, r.left); x < std::min(640, r.right); ++x) {
            ink += PixelAt(x, y) != background ? 1 : 0;
        }
    }
    return ink;
}

}  // namespace velk::testing
