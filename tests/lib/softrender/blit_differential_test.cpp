// Every blit loop family against the reference model: random images in every
// format, source kind, blend mode and per-call condition, drawn with guard
// borders around every image.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

#include "guarded_image.h"
#include "lib/softrender/blend_tables.h"
#include "lib/softrender/blit_wide_loops.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg_draw.h"
#include "reference_model.h"

namespace velk {
namespace {

using testing::GuardedImage;

enum class Kind { kDirect, kAlpha, kPaletted };
constexpr Kind kKinds[] = {Kind::kDirect, Kind::kAlpha, Kind::kPaletted};
constexpr int kModes[] = {0, 1, 2, 3, 4, 10, 11};

struct Cell {
    int format;
    Kind kind;
    int mode;
    bool blend;
    bool bright;
    bool trans;
};

std::string Describe(const Cell& c) {
    std::ostringstream out;
    out << "format " << c.format << " kind " << static_cast<int>(c.kind) << " mode " << c.mode << " blend "
        << c.blend << " bright " << c.bright << " trans " << c.trans;
    return out.str();
}

std::vector<Cell> AllCells() {
    std::vector<Cell> cells;
    for (int format : {0, 1}) {
        for (Kind kind : kKinds) {
            for (int mode : kModes) {
                for (int bits = 0; bits < 8; ++bits) {
                    cells.push_back({format, kind, mode, (bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0});
                }
            }
        }
    }
    return cells;
}

int Pick(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

int PickParam(std::mt19937& rng) {
    // 0: alpha, add and subtract draw nothing, the other modes ignore it.
    static const int kSpecial[] = {0, 1, 2, 64, 127, 128, 129, 200, 254, 255};
    return Pick(rng, 0, 3) == 0 ? Pick(rng, 1, 255) : kSpecial[Pick(rng, 0, 9)];
}

struct Dimensions {
    int src_w, src_h, dst_w, dst_h;
};

// A random draw: images, settings and placement.
class Scenario {
public:
    Scenario(const Cell& cell, std::mt19937& rng, std::optional<Dimensions> dimensions = std::nullopt)
        : cell_(cell) {
        const bool paletted = cell.kind == Kind::kPaletted;
        const bool alpha = cell.kind == Kind::kAlpha;
        const Dimensions dims = dimensions.value_or(
            Dimensions{Pick(rng, 1, 13), Pick(rng, 1, 9), Pick(rng, 1, 19), Pick(rng, 1, 13)});
        src_w_ = dims.src_w;
        src_h_ = dims.src_h;
        const int dst_w = dims.dst_w;
        const int dst_h = dims.dst_h;
        const bool is16 = cell.format == 0;

        dest_ = std::make_unique<GuardedImage>(dst_w, dst_h, cell.format, 0, 0);
        dest_->Randomize(rng);

        const uint32_t color_mask = is16 ? 0xFFFF : 0xFFFFFFFF;
        trans_color_ = paletted ? static_cast<uint32_t>(Pick(rng, 0, 7)) : (static_cast<uint32_t>(rng()) & color_mask);
        source_ = std::make_unique<GuardedImage>(src_w_, src_h_, cell.format, paletted ? 1 : 0, alpha ? 1 : 0,
                                                 trans_color_);
        if (paletted) {
            for (int i = 0; i < 256; ++i) {
                source_->base()->palette[i] = static_cast<uint32_t>(rng()) & (is16 ? 0xFFFF : 0x00FFFFFF);
            }
            source_->base()->color_num = 256;
            // Two indices with the same colour: only the index is keyed.
            source_->base()->palette[8] = source_->base()->palette[trans_color_];
            source_->Randomize(rng, [](uint32_t v) { return v & 15; });
        } else if (alpha) {
            source_->Randomize(rng, [&](uint32_t v) {
                const uint32_t a = std::array<uint32_t, 4>{0, 255, v >> 24, (v >> 16) & 0xFF}[v & 3];
                return is16 ? ((v >> 8) & 0xFFFF) | a << 16 : (v & 0x00FFFFFF) | a << 24;
            });
        } else {
            const uint32_t key = trans_color_;
            source_->Randomize(rng, [&, key](uint32_t v) {
                switch (v % 5) {
                    case 0: return key;
                    case 1: return key ^ (is16 ? 0x0001u : 0x01000000u);  // differs in X (32-bit) or one bit
                    default: return v & color_mask;
                }
            });
        }
        // Sometimes a key wider than the stored pixel, whose low bits occur
        // among the pixels: it must key nothing.
        if (!alpha && (paletted || is16) && Pick(rng, 0, 5) == 0) {
            trans_color_ |= paletted ? 0xFF00u : 0x10000u;
            source_->base()->trans_color = trans_color_;
        }
        if (cell.blend) {
            const bool smaller = Pick(rng, 0, 3) == 0;
            const int bw = smaller ? Pick(rng, 1, src_w_) : src_w_ + Pick(rng, 0, 3);
            const int bh = smaller ? Pick(rng, 1, src_h_) : src_h_ + Pick(rng, 0, 2);
            blend_ = std::make_unique<GuardedImage>(bw, bh, 2, 0, 0);
            blend_->Randomize(rng);
            border_ = Pick(rng, 0, 3) == 0 ? 128 : Pick(rng, 0, 255);
            range_ = Pick(rng, 0, 3) == 0 ? 255 : Pick(rng, 0, 255);
        }
        settings_.mode = cell.mode;
        settings_.param = PickParam(rng);
        if (cell.bright) {
            static const int kBrights[][3] = {{255, 255, 254}, {0, 0, 0}, {128, 64, 255}};
            const int which = Pick(rng, 0, 3);
            if (which < 3) {
                settings_.bright_red = kBrights[which][0];
                settings_.bright_green = kBrights[which][1];
                settings_.bright_blue = kBrights[which][2];
            } else {
                settings_.bright_red = Pick(rng, 0, 255);
                settings_.bright_green = Pick(rng, 0, 255);
                settings_.bright_blue = Pick(rng, 0, 254);
            }
        }
        trans_flag_ = cell.trans ? Pick(rng, 1, 2) : 0;
        // A draw area that may reach beyond the destination on any side.
        area_ = {Pick(rng, -4, dst_w / 2), Pick(rng, -4, dst_h / 2), Pick(rng, dst_w / 2, dst_w + 6),
                 Pick(rng, dst_h / 2, dst_h + 6)};
    }

    void ApplySettings() const {
        SetMemImgDrawBlendMode(settings_.mode, settings_.param);
        SetMemImgDrawBright(settings_.bright_red, settings_.bright_green, settings_.bright_blue);
        SetMemImgDrawArea(area_);
        if (cell_.blend) {
            BuildBlendGraphTable(border_, range_);
        }
    }

    const MEMIMG* blend_image() const { return blend_ ? blend_->image() : nullptr; }

    reference::SourcePixel SourceAt(int sx, int sy) const {
        reference::SourcePixel p;
        const uint32_t stored = source_->Get(sx, sy);
        p.paletted = cell_.kind == Kind::kPaletted;
        if (p.paletted) {
            p.raw = stored & 0xFF;
            p.color = source_->base()->palette[p.raw];
        } else if (cell_.kind == Kind::kAlpha) {
            p.raw = cell_.format == 0 ? stored & 0xFFFF : stored;
            p.color = p.raw;
            p.alpha = static_cast<int>(cell_.format == 0 ? (stored >> 16) & 0xFF : stored >> 24);
        } else {
            p.raw = stored;
            p.color = stored;
        }
        return p;
    }

    // The expected view of the destination, given which source pixel (if any)
    // lands on each destination pixel.
    template <class Sampler>
    std::vector<uint32_t> Expected(reference::Family family, Sampler sample) const {
        const MEMIMG& d = *dest_->image();
        std::vector<uint32_t> out;
        for (int y = 0; y < d.height; ++y) {
            for (int x = 0; x < d.width; ++x) {
                uint32_t value = dest_->Get(x, y);
                const bool in_area = x >= area_.left && x < area_.right && y >= area_.top && y < area_.bottom;
                int sx = 0, sy = 0;
                if (in_area && sample(x, y, &sx, &sy)) {
                    const bool in_blend = !blend_ || (sx < blend_->image()->width && sy < blend_->image()->height);
                    if (in_blend) {
                        const int weight =
                            blend_ ? reference::GraphWeight(border_, range_, static_cast<int>(blend_->Get(sx, sy))) : -1;
                        value = reference::BlitPixel(family, cell_.format == 0, value, SourceAt(sx, sy), weight,
                                                     trans_flag_ != 0, trans_color_, settings_);
                    }
                }
                out.push_back(value);
            }
        }
        return out;
    }

    std::vector<uint32_t> Actual() const {
        std::vector<uint32_t> out;
        for (int y = 0; y < dest_->image()->height; ++y) {
            for (int x = 0; x < dest_->image()->width; ++x) {
                out.push_back(dest_->Get(x, y));
            }
        }
        return out;
    }

    bool GuardsIntact() const {
        return dest_->GuardsIntact() && source_->GuardsIntact() && (!blend_ || blend_->GuardsIntact());
    }

    std::string Describe() const {
        std::ostringstream out;
        out << velk::Describe(cell_) << " P " << settings_.param << " bright " << settings_.bright_red << ","
            << settings_.bright_green << "," << settings_.bright_blue << " src " << src_w_ << "x" << src_h_
            << " dst " << dest_->image()->width << "x" << dest_->image()->height << " area " << area_.left << ","
            << area_.top << "," << area_.right << "," << area_.bottom;
        if (blend_) {
            out << " blend " << blend_->image()->width << "x" << blend_->image()->height << " border "
                << border_ << " range " << range_;
        }
        return out.str();
    }

    // Alpha sources: runs of `run` (eight unless given) transparent, opaque
    // and mixed pixels at shifting offsets, as sprites have them; keyed
    // sources runs of keyed pixels between drawn ones, as text has them.
    void PlantAlphaRuns(int run = 8) {
        if (cell_.kind == Kind::kDirect) {
            for (int y = 0; y < src_h_; ++y) {
                for (int x = 0; x < src_w_; ++x) {
                    if (((x + y * 3) / run) % 2 == 0) {
                        source_->Set(x, y, trans_color_);
                    }
                }
            }
            return;
        }
        if (cell_.kind != Kind::kAlpha) {
            return;
        }
        const int shift = cell_.format == 0 ? 16 : 24;
        for (int y = 0; y < src_h_; ++y) {
            for (int x = 0; x < src_w_; ++x) {
                const int which = ((x + y * 3) / run) % 3;
                if (which < 2) {
                    const uint32_t v = source_->Get(x, y) & ~(0xFFu << shift);
                    source_->Set(x, y, v | (which == 0 ? 0u : 0xFFu << shift));
                }
            }
        }
    }

    void SetDrawArea(const Rect& area) { area_ = area; }
    GuardedImage& dest() { return *dest_; }
    const GuardedImage& source() const { return *source_; }
    int src_w() const { return src_w_; }
    int src_h() const { return src_h_; }
    int trans_flag() const { return trans_flag_; }
    reference::Settings& settings() { return settings_; }

private:
    Cell cell_;
    int src_w_ = 0, src_h_ = 0;
    uint32_t trans_color_ = 0;
    int trans_flag_ = 0;
    std::unique_ptr<GuardedImage> dest_, source_, blend_;
    reference::Settings settings_;
    int border_ = 128, range_ = 255;  // the blend graph
    Rect area_;
};

// Which vector forms a run may use: the SSE2 and general loops only, up to
// AVX2, or up to AVX-512 (each where the machine has it).
enum class Loops { kNarrow, kAvx2, kAvx512 };

// The reference's sampling: destination column j from the unclipped edge
// shows source column floor(j x 65536 / step), mirrored from the far side.
int SampledIndex(int j, int dest_size, int source_size, bool mirrored) {
    const int64_t step = (int64_t{dest_size} << 16) / source_size;
    const int64_t index = (int64_t{j} << 16) / step;
    return static_cast<int>(mirrored ? source_size - 1 - index : index);
}

class BlitDifferentialTest : public ::testing::TestWithParam<Loops> {
protected:
    static void SetUpTestSuite() { InitMemImgTables(); }
    void SetUp() override {
        UseWideBlitLoops(GetParam() != Loops::kNarrow);
        UseAvx512BlitLoops(GetParam() == Loops::kAvx512);
    }
    void TearDown() override {
        UseWideBlitLoops(true);
        UseAvx512BlitLoops(true);
        SetMemImgDrawBlendMode(0, 255);
        SetMemImgDrawBright(255, 255, 255);
        SetMemImgDrawArea({0, 0, INT32_MAX, INT32_MAX});
    }

    // Compares one draw; returns false (after reporting) on a mismatch.
    static bool Check(const Scenario& scenario, const std::vector<uint32_t>& expected, const char* what) {
        const std::vector<uint32_t> actual = scenario.Actual();
        if (!scenario.GuardsIntact()) {
            ADD_FAILURE() << what << " wrote outside its images: " << scenario.Describe();
            return false;
        }
        for (size_t i = 0; i < actual.size(); ++i) {
            if (actual[i] != expected[i]) {
                ADD_FAILURE() << what << " pixel " << i << " got " << std::hex << actual[i] << " expected "
                              << expected[i] << std::dec << ": " << scenario.Describe();
                return false;
            }
        }
        return true;
    }

    // Draws the source unscaled from `skip` columns left of destination
    // column `place`, the draw area cutting the skipped columns off so that
    // the rows drawn are exactly `width` wide, and compares the result with
    // the reference.
    static bool CheckRowsCutToWidth(Scenario& scenario, int width, int skip, int place, const char* what) {
        scenario.SetDrawArea({place, 0, place + width, scenario.dest().image()->height});
        const int x = place - skip;
        const auto expected = scenario.Expected(reference::Family::kPlainBlit, [&](int dx, int dy, int* sx, int* sy) {
            *sx = dx - x;
            *sy = dy;
            return *sx >= 0 && *sx < scenario.src_w();
        });
        scenario.ApplySettings();
        BltMemImg(scenario.dest().image(), scenario.source().image(), x, 0, scenario.trans_flag(), nullptr);
        return Check(scenario, expected, what);
    }

    // Draws the source scaled into columns left .. left + w - 1 (mirrored when
    // asked) and rows 0 .. h - 1, and compares the result with the reference.
    static bool CheckScaledFromTheTop(Scenario& scenario, int left, int w, int h, bool mirror_x, const char* what) {
        const Rect rect{mirror_x ? left + w : left, 0, mirror_x ? left : left + w, h};
        const auto expected = scenario.Expected(reference::Family::kScaledBlit, [&](int dx, int dy, int* sx, int* sy) {
            if (dx < left || dx >= left + w || dy >= h) {
                return false;
            }
            *sx = SampledIndex(dx - left, w, scenario.src_w(), mirror_x);
            *sy = SampledIndex(dy, h, scenario.src_h(), false);
            return true;
        });
        scenario.ApplySettings();
        BltMemImgScaled(scenario.dest().image(), scenario.source().image(), &rect, scenario.trans_flag(), nullptr);
        return Check(scenario, expected, what);
    }
};

TEST_P(BlitDifferentialTest, PlainBlitMatchesTheReferenceInEveryCell) {
    std::mt19937 rng(20240611);
    int failures = 0;
    for (const Cell& cell : AllCells()) {
        for (int repeat = 0; repeat < 12 && failures < 5; ++repeat) {
            Scenario scenario(cell, rng);
            const int x = Pick(rng, -6, scenario.dest().image()->width + 1);
            const int y = Pick(rng, -6, scenario.dest().image()->height + 1);
            const auto expected = scenario.Expected(reference::Family::kPlainBlit, [&](int dx, int dy, int* sx, int* sy) {
                *sx = dx - x;
                *sy = dy - y;
                return *sx >= 0 && *sy >= 0 && *sx < scenario.src_w() && *sy < scenario.src_h();
            });
            scenario.ApplySettings();
            BltMemImg(scenario.dest().image(), scenario.source().image(), x, y, scenario.trans_flag(),
                      scenario.blend_image());
            failures += Check(scenario, expected, "BltMemImg") ? 0 : 1;
        }
    }
}

TEST_P(BlitDifferentialTest, ScaledBlitMatchesTheReferenceInEveryCell) {
    std::mt19937 rng(77031);
    int failures = 0;
    for (const Cell& cell : AllCells()) {
        for (int repeat = 0; repeat < 12 && failures < 5; ++repeat) {
            Scenario scenario(cell, rng);
            const int w = Pick(rng, 1, 24);
            const int h = Pick(rng, 1, 16);
            const int left = Pick(rng, -8, scenario.dest().image()->width);
            const int top = Pick(rng, -8, scenario.dest().image()->height);
            const bool mirror_x = Pick(rng, 0, 2) == 0;
            const bool mirror_y = Pick(rng, 0, 2) == 0;
            const Rect rect{mirror_x ? left + w : left, mirror_y ? top + h : top, mirror_x ? left : left + w,
                            mirror_y ? top : top + h};
            const bool unscaled = w == scenario.src_w() && h == scenario.src_h() && !mirror_x && !mirror_y;
            const auto family = unscaled ? reference::Family::kPlainBlit : reference::Family::kScaledBlit;
            const auto expected = scenario.Expected(family, [&](int dx, int dy, int* sx, int* sy) {
                if (dx < left || dx >= left + w || dy < top || dy >= top + h) {
                    return false;
                }
                *sx = SampledIndex(dx - left, w, scenario.src_w(), mirror_x);
                *sy = SampledIndex(dy - top, h, scenario.src_h(), mirror_y);
                return true;
            });
            scenario.ApplySettings();
            BltMemImgScaled(scenario.dest().image(), scenario.source().image(), &rect, scenario.trans_flag(),
                            scenario.blend_image());
            failures += Check(scenario, expected, "BltMemImgScaled") ? 0 : 1;
        }
    }
}

TEST_P(BlitDifferentialTest, LargerImagesRunTheVectorPathsAndTheirTails) {
    // Wider rows, with the settings that select the unweighted fast paths,
    // so every vector form and its odd tail is compared with the reference.
    std::mt19937 rng(5150);
    for (int format : {0, 1}) {
        for (Kind kind : kKinds) {
            for (int mode : {0, 1, 2, 3, 4}) {
                for (bool trans : {false, true}) {
                    for (int param : {128, 255, 200}) {
                      for (bool blend : {false, true}) {
                        const Cell cell{format, kind, mode, blend, false, trans};
                        Scenario scenario(cell, rng, Dimensions{Pick(rng, 40, 70), 5, 67, 5});
                        if (param != 128) {
                            scenario.PlantAlphaRuns();
                        }
                        scenario.settings().param = param;
                        scenario.SetDrawArea({0, 0, 67, 5});
                        const int x = Pick(rng, -3, 2);
                        const auto expected =
                            scenario.Expected(reference::Family::kPlainBlit, [&](int dx, int dy, int* sx, int* sy) {
                                *sx = dx - x;
                                *sy = dy;
                                return *sx >= 0 && *sx < scenario.src_w() && *sy < scenario.src_h();
                            });
                        scenario.ApplySettings();
                        BltMemImg(scenario.dest().image(), scenario.source().image(), x, 0, scenario.trans_flag(),
                                  scenario.blend_image());
                        ASSERT_TRUE(Check(scenario, expected, "BltMemImg fast path"));
                      }
                    }
                }
            }
        }
    }
}

TEST_P(BlitDifferentialTest, LargerScaledBlitsRunTheVectorPathsRowByRow) {
    // Enlargements and reductions wide enough for the vector forms, mirrored
    // or not, with repeated and skipped source rows.
    std::mt19937 rng(6021);
    for (int format : {0, 1}) {
        for (Kind kind : kKinds) {
            for (int mode : {0, 1, 2, 3, 4}) {
                for (bool trans : {false, true}) {
                    for (int param : {128, 255, 200}) {
                        const Cell cell{format, kind, mode, false, false, trans};
                        Scenario scenario(cell, rng, Dimensions{Pick(rng, 20, 90), Pick(rng, 2, 9), 67, 9});
                        scenario.settings().param = param;
                        scenario.SetDrawArea({0, 0, 67, 9});
                        const int w = Pick(rng, 30, 70), h = Pick(rng, 3, 9);
                        const bool mirror_x = Pick(rng, 0, 1) == 0;
                        const int left = Pick(rng, -3, 2);
                        ASSERT_TRUE(CheckScaledFromTheTop(scenario, left, w, h, mirror_x, "BltMemImgScaled fast path"));
                    }
                }
            }
        }
    }
}

TEST_P(BlitDifferentialTest, ScaledBlitsOfRowsAtFullWidthMatchTheReference) {
    // Pieces stretched or squeezed downwards only: the destination columns
    // are the source's own, one after another (read in place, cut on the
    // left or not), or the same mirrored (gathered); runs of destination
    // rows repeat one source row, or rows are skipped.
    std::mt19937 rng(8117);
    for (int format : {0, 1}) {
        for (Kind kind : kKinds) {
            for (int mode : {0, 1, 2}) {
                for (bool trans : {false, true}) {
                    for (bool taller : {true, false}) {
                        const Cell cell{format, kind, mode, false, false, trans};
                        const int source_h = taller ? Pick(rng, 2, 4) : Pick(rng, 9, 12);
                        Scenario scenario(cell, rng, Dimensions{Pick(rng, 20, 60), source_h, 67, 12});
                        scenario.settings().param = 200;
                        scenario.PlantAlphaRuns();
                        scenario.SetDrawArea({0, 0, 67, 12});
                        const int w = scenario.src_w();
                        const int h = taller ? Pick(rng, source_h + 3, 12) : Pick(rng, 2, source_h - 2);
                        const bool mirror_x = Pick(rng, 0, 3) == 0;
                        const int left = Pick(rng, -3, 4);
                        ASSERT_TRUE(
                            CheckScaledFromTheTop(scenario, left, w, h, mirror_x, "BltMemImgScaled rows at full width"))
                            << "format " << format << " mode " << mode << " trans " << trans << " taller " << taller
                            << " mirrored " << mirror_x << " left " << left;
                    }
                }
            }
        }
    }
}

TEST_P(BlitDifferentialTest, AlphaSourceRowsMatchTheReferenceAtEveryWidthAndOffset) {
    // The alpha-source draws (plain, add, subtract, multiply) at every width
    // up to two vector steps and past the wider ones, read from and written
    // to shifted columns, over rows whose transparent, opaque and mixed runs
    // cover whole vector steps or split them; add and subtract at full
    // strength or scaled by P.
    std::vector<int> widths;
    for (int width = 1; width <= 17; ++width) {
        widths.push_back(width);
    }
    for (int width : {31, 32, 33, 47, 63, 64, 65, 127, 128, 129}) {
        widths.push_back(width);
    }
    std::mt19937 rng(3517);
    for (int mode : {kBlendModePlain, kBlendModeAdd, kBlendModeSubtract, kBlendModeMultiply}) {
        for (int format : {0, 1}) {
            for (bool trans : {false, true}) {
                for (int width : widths) {
                    for (int repeat = 0; repeat < 3; ++repeat) {
                        const Cell cell{format, Kind::kAlpha, mode, false, false, trans};
                        const int skip = Pick(rng, 0, 5);   // source columns left of the drawn ones
                        const int place = Pick(rng, 0, 9);  // the first destination column drawn
                        Scenario scenario(cell, rng, Dimensions{width + skip + Pick(rng, 0, 3), 3, width + 9, 3});
                        if (repeat > 0) {
                            scenario.PlantAlphaRuns(repeat == 1 ? 16 : 32);
                        }
                        scenario.settings().param = 255;
                        if (mode != kBlendModePlain) {
                            const int params[] = {255, 254, 1, Pick(rng, 2, 253)};
                            scenario.settings().param = params[Pick(rng, 0, 3)];
                        }
                        ASSERT_TRUE(CheckRowsCutToWidth(scenario, width, skip, place, "BltMemImg alpha source"))
                            << "mode " << mode << " width " << width << " skip " << skip << " place " << place;
                    }
                }
            }
        }
    }
}

TEST_P(BlitDifferentialTest, KeyedCopyRowsMatchTheReferenceAtEveryWidthAndOffset) {
    // The plain keyed 32-bit copy (the map's tiles) at every width from one
    // pixel past several vector steps, from and to shifted columns, with a
    // fresh random key each draw: keyed pixels scattered, in runs that cover
    // whole steps or split them, and pixels that differ from the key only in
    // the X byte.
    std::mt19937 rng(46031);
    for (int width = 1; width <= 190; ++width) {
        for (int repeat = 0; repeat < 3; ++repeat) {
            const Cell cell{1, Kind::kDirect, kBlendModePlain, false, false, true};
            const int skip = Pick(rng, 0, 17);   // source columns left of the drawn ones
            const int place = Pick(rng, 0, 17);  // the first destination column drawn
            Scenario scenario(cell, rng, Dimensions{width + skip + Pick(rng, 0, 3), 3, width + 20, 3});
            if (repeat > 0) {
                scenario.PlantAlphaRuns(repeat == 1 ? 16 : Pick(rng, 1, 23));
            }
            scenario.settings().param = 255;
            ASSERT_TRUE(CheckRowsCutToWidth(scenario, width, skip, place, "BltMemImg keyed copy"))
                << "width " << width << " skip " << skip << " place " << place;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLoopSet, BlitDifferentialTest,
                         ::testing::Values(Loops::kNarrow, Loops::kAvx2, Loops::kAvx512),
                         [](const ::testing::TestParamInfo<Loops>& info) {
                             switch (info.param) {
                                 case Loops::kNarrow: return "Narrow";
                                 case Loops::kAvx2: return "Avx2";
                                 default: return "Avx512";
                             }
                         });

}  // namespace
}  // namespace velk
