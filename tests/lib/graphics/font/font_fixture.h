#pragma once
// The graphics side as the string draws see it in tests: a 640 x 480
// software screen of 16 or 32 bits whose back screen is a software image,
// the log in a fresh folder, font management started, and fakes of the
// platform font (synthetic glyphs, counted requests, refusals).

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lib/core/log.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/font/text_draw_screen.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg.h"
#include "platform/base/text_encoding.h"
#include "tests/support/scratch_dir.h"

namespace velk::testing {

class SoftwareHost : public GraphicsHost {
public:
    int bits = 32;
    bool masks = false;
    std::vector<Rect> mask_calls;
    int ScreenWidth() const override { return 640; }
    int ScreenHeight() const override { return 480; }
    int ScreenColorBits() const override { return bits; }
    bool SoftwareRendering() const override { return true; }
    bool MasksInUse() const override { return masks; }
    void MaskBeforeDraw(const Rect& area) override { mask_calls.push_back(area); }
    void MaskAfterDraw(const Rect& area) override { mask_calls.push_back(area); }
};

// A platform font whose glyphs are boxes: every character but a blank is a
// full box `glyph_width` x `glyph_height` (1-bit) or a box whose grey level
// runs 0..16 along its columns (grey), placed with its top at the ascent.
struct FakeFontSettings {
    int height = 16;
    int ascent = 13;
    int max_char_width = 16;
    int glyph_width = 6;
    int glyph_height = 10;
    int advance = 8;
    int wide_advance = 16;
    // Character sets the fake refuses to make a font in (face requests
    // given as "refuse:<set>" refuse just that set for that face).
    std::vector<int> refused_charsets;
    std::vector<std::string> refused_faces;
};

struct FakeFontLog {
    std::vector<std::pair<std::string, int>> requests;  // face, platform charset
    int glyph_calls = 0;
    std::vector<uint16_t> rendered_codes;
};

FakeFontSettings& FakeSettings();
FakeFontLog& FakeLog();
std::unique_ptr<platform::GdiFont> MakeFakeFont(const platform::FontRequest& request);

// Starts font management over a fresh software screen; ends it afterwards.
class FontTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Uses the fake platform font from now on (the real one otherwise).
    void UseFakeFonts(const FakeFontSettings& settings = FakeFontSettings{});
    void SetScreenBits(int bits);

    std::string LogBytes() const { return dir_.ReadFile("Log.txt"); }
    // The log ends its lines with CR LF.
    bool LogHas(const std::string& text) const {
        std::string wanted;
        for (char c : text) wanted += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return LogBytes().find(wanted) != std::string::npos;
    }
    static std::string Sjis(const char* utf8) { return platform::Utf8ToShiftJis(utf8); }

    uint32_t PixelAt(int x, int y) const;
    void FillTarget(uint32_t value) { FillMemImg(&target_, nullptr, value); }
    // Pixels that differ from `background` inside the rectangle.
    int CountInk(const Rect& r, uint32_t background) const;

    ScratchDir dir_;
    SoftwareHost host_;
    MEMIMG target_{};
};

}  // namespace velk::testing
