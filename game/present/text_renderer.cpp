#include "game/present/text_renderer.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "game/data/database.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/present/escape_codes.h"
#include "game/present/graphic_cache.h"
#include "game/present/present_library.h"
#include "game/present/system_resources.h"
#include "game/present/text_box.h"
#include "game/present/text_code.h"
#include "platform/base/text_encoding.h"

namespace velk {
namespace {

constexpr int32_t kDefaultFontType = 2;
constexpr int32_t kDefaultFontThickness = 0;
// Frames a timed pause waits.
constexpr int32_t kTimedPauseFrames = 16;

struct SizeStep {
    int32_t from, to;
};
constexpr SizeStep kStepsAt32[] = {{8, 7}, {10, 9}, {11, 9}, {13, 12}, {18, 17}, {22, 21}, {26, 25}};
constexpr SizeStep kStepsAt16[] = {{4, 3}, {5, 6}, {9, 8}, {11, 10}, {13, 12}};

// A walk looks for a close of the window after every so many characters; a
// text that is longer takes its fonts and widths from what the walk already
// asked for (see Walk::Font).
constexpr int32_t kCharactersPerLook = 1024;

}  // namespace

// The widths measured in one font: pages of 256 characters by lead byte, 0
// for one-byte characters; -1 where not measured yet.
struct TextRenderer::FontWidths {
    int font = -1;
    std::array<std::unique_ptr<std::array<int32_t, 256>>, 256> pages;
};

// One call's walk over the text; what must last lives in the box.
class TextRenderer::Walk {
public:
    Walk(TextRenderer& renderer, TextBox& box, bool draw, double scaleX, double scaleY)
        : r_(renderer),
          box_(box),
          text_(box.workingText),
          draw_(draw),
          scaleX_(scaleX),
          scaleY_(scaleY),
          scaled_(scaleX != 1.0 || scaleY != 1.0),
          s_(std::max(1, renderer.settings_.displayScale)),
          chip_(renderer.settings_.chipSize),
          letterSpacing_(renderer.settings_.letterSpacing),
          shadow_(renderer.store_.GetSystemVariable(kTextShadowVariable) != 0) {}

    void Run() {
        while (static_cast<size_t>(box_.charIndex) < text_.size()) {
            // The frame's look for a close reaches into long layouts too: a
            // choice of ten texts of the longest string is a billion
            // characters and more. Once the player closed the window the
            // program ends after this frame, so what the walk leaves undone
            // is never shown.
            if (++walked_ % kCharactersPerLook == 0) {
                longText_ = true;
                if (EventFrame* frame = EventFrame::Open(); frame != nullptr && frame->TurnRan()) return;
            }
            const size_t start = static_cast<size_t>(box_.charIndex);
            const size_t next = CharNext(start);
            box_.charIndex = static_cast<int32_t>(next);
            if (draw_ && Stopped()) return;
            const auto byte = static_cast<uint8_t>(text_[start]);
            const std::string_view character(text_.data() + start, next - start);
            if (platform::IsShiftJisLeadByte(byte)) {
                Ordinary(character);
            } else if (byte == static_cast<uint8_t>(kTextCodeStart)) {
                if (!TextCode(start)) return;
            } else if (byte == '\n') {
                LineBreak();
            } else if (byte != '\r') {
                Ordinary(character);
            }
        }
    }

private:
    size_t CharNext(size_t i) const {
        if (i >= text_.size()) return i;
        if (platform::IsShiftJisLeadByte(static_cast<uint8_t>(text_[i])) && i + 1 < text_.size() &&
            text_[i + 1] != '\0') {
            return i + 2;
        }
        return i + 1;
    }

    bool Stopped() {
        const int32_t shown = box_.charIndex - box_.controlBytes;
        if (instant_ && box_.progress < shown) box_.progress = shown;
        if (!instant_ && static_cast<int32_t>(box_.progress) + box_.controlBytes < box_.charIndex) return true;
        // Both pauses stop before the character behind their code.
        if (box_.waitingForKey && box_.keyPauseEnd - 1 < box_.charIndex) return true;
        return box_.timedPauseFrames > 0 && box_.timedPauseEnd - 1 < box_.charIndex;
    }

    void Record() {
        if (!draw_) box_.RecordLineMetrics(lineHeight_, s_);
    }

    int32_t AlignmentOffset() const {
        const size_t line = static_cast<size_t>(box_.lineIndex);
        const int32_t raw = line < box_.lineRawWidths.size() ? box_.lineRawWidths[line] : 0;
        return static_cast<int32_t>((box_.maxRawWidth - raw) * alignment_ * scaleX_ / 2.0);
    }

    bool Visible(int32_t x, int32_t y, int32_t width, int32_t height) const {
        return -(width + 2 * chip_) * s_ < x && x < chip_ * 20 * s_ && -(height + 2 * chip_) * s_ < y &&
               y < chip_ * 15 * s_;
    }

    void DrawText(int32_t x, int32_t y, const std::string& text, uint32_t color, int font) {
        PresentLibrary& library = r_.library_;
        for (int pass = shadow_ ? 0 : 1; pass < 2; ++pass) {
            const int32_t dx = pass == 0 ? 1 : 0;
            const uint32_t c = pass == 0 ? library.GetColorValue(0, 0, 0) : color;
            if (scaled_) {
                library.DrawStringScaled(x + dx, y + dx, scaleX_, scaleY_, text, c, font);
            } else {
                library.DrawString(x + dx, y + dx, text, c, font);
            }
        }
    }

    void DrawCharacter(std::string_view character, int font) {
        if (font == -1) return;
        const int32_t f = box_.fontSize;
        const int32_t offset = lineHeight_ - f;
        const uint32_t color = r_.ColorOf(box_.colorNumber);
        int32_t x, y;
        if (!scaled_) {
            x = box_.x + box_.penX;
            y = box_.y + box_.penY + offset;
            if (!Visible(x, y, f, f)) return;
            x += AlignmentOffset();
        } else {
            x = box_.x + static_cast<int32_t>(box_.penX * scaleX_);
            y = box_.y + static_cast<int32_t>((box_.penY + offset) * scaleY_);
            if (!Visible(x, y, static_cast<int32_t>(f * scaleX_), static_cast<int32_t>(f * scaleY_))) return;
            x += AlignmentOffset();
        }
        DrawText(x, y, std::string(character), color, font);
    }

    int32_t Width(std::string_view text, int font) const {
        if (font == -1) return 0;
        if (longText_ && text.size() <= 2) return r_.KeptWidth(text, font);
        return std::max(0, r_.library_.StringWidth(text, font));
    }

    // The font of a character. Asking the library for it and for the
    // character's width costs more than all the rest of a layout, and the
    // characters of a long text ask for the same few again and again: past
    // its first characters a walk keeps the font it asked for last (asking
    // again only sets the same default face once more) and the renderer
    // keeps the widths, both for as long as the font cache keeps its fonts.
    // A short text asks for every character.
    int Font() {
        const int32_t size = box_.fontSize * s_;
        SystemResources& resources = r_.resources_;
        if (longText_ && font_.size == size && font_.slot == box_.fontSlot && font_.edge == box_.edgeFlag &&
            font_.generation == resources.FontGeneration()) {
            return font_.font;
        }
        const int font = resources.GetFont(box_.fontSlot, size, SystemResources::kTextThickness, box_.edgeFlag);
        font_ = {box_.fontSlot, size, box_.edgeFlag, resources.FontGeneration(), font};
        return font;
    }

    void Ordinary(std::string_view character) {
        lineHeight_ = std::max(lineHeight_, box_.fontSize);
        const int font = Font();
        if (draw_) DrawCharacter(character, font);
        box_.penX +=
            Width(character, font) - spacing_ * s_ - static_cast<int32_t>(character.size()) * letterSpacing_ * s_ / 2;
        if (!draw_) {
            box_.RecordLineMetrics(lineHeight_, s_);
            if (box_.choiceLayout) box_.lineHeights.resize(static_cast<size_t>(std::max(0, r_.settings_.choiceCount)));
        }
    }

    void LineBreak() {
        box_.penX = 0;
        box_.penY += lineHeight_ * s_;
        const size_t line = static_cast<size_t>(box_.lineIndex);
        if (box_.choiceLayout && box_.lineHeights.size() < line + 1) box_.lineHeights.resize(line + 1, 0);
        if (line < box_.lineHeights.size() && box_.lineHeights[line] != 0) {
            const int32_t setting = box_.choiceLayout ? r_.settings_.choiceLineSpacing : r_.settings_.lineSpacing;
            box_.penY += lineGap_ == kDefaultLineGap ? setting * chip_ / 32 * s_ : lineGap_ * s_ * chip_ / 32;
        }
        ++box_.lineIndex;
        if (box_.choiceLayout) {
            lineHeight_ = 0;
            return;
        }
        lineHeight_ = box_.fontSize;
        const size_t next = static_cast<size_t>(box_.lineIndex);
        if (box_.lineHeights.size() < next + 1) box_.lineHeights.resize(next + 1, 0);
        if (!draw_) box_.lineHeights[next] = box_.fontSize * s_;
    }

    // An icon or an image inside the text.
    void PlaceGraph(int graph, int32_t width, int32_t height) {
        lineHeight_ = std::max(lineHeight_, height);
        if (draw_) {
            const int32_t top = box_.penY + lineHeight_ - height + box_.imageYOffset;
            if (!scaled_) {
                const int32_t x = box_.x + box_.penX;
                const int32_t y = box_.y + top;
                if (Visible(x, y, width, height)) {
                    const int32_t left = x + AlignmentOffset();
                    r_.library_.DrawGraphScaled(left, y, left + width * s_, y + height * s_, graph, true);
                }
            } else {
                const int32_t x = box_.x + static_cast<int32_t>(box_.penX * scaleX_);
                const int32_t y = box_.y + static_cast<int32_t>(top * scaleY_);
                const int32_t w = static_cast<int32_t>(width * s_ * scaleX_);
                const int32_t h = static_cast<int32_t>(height * s_ * scaleY_);
                if (Visible(x, y, w, h)) {
                    const int32_t left = x + AlignmentOffset();
                    r_.library_.DrawGraphScaled(left, y, left + w, y + h, graph, true);
                }
            }
        }
        box_.penX += width * s_ - spacing_ * s_;
        Record();
    }

    void Icon(int32_t number) {
        const std::vector<int>& handles = r_.resources_.IconHandles();
        if (number < 0 || number >= SystemResources::kIconCount || static_cast<size_t>(number) >= handles.size() ||
            handles[static_cast<size_t>(number)] <= 0) {
            return;
        }
        PlaceGraph(handles[static_cast<size_t>(number)], r_.resources_.IconWidth(number),
                   r_.resources_.IconHeight(number));
    }

    // The text from the char index up to `stop` (or the end); the char index
    // moves behind the stop.
    std::string_view TakeUntil(char stop) {
        const size_t from = static_cast<size_t>(box_.charIndex);
        size_t i = from;
        while (i < text_.size() && text_[i] != stop)
            i = CharNext(i);
        box_.charIndex = static_cast<int32_t>(std::min(i + 1, text_.size()));
        return std::string_view(text_).substr(from, i - from);
    }

    void Image() {
        const std::string name = RevertEscapeCodes(TakeUntil(']'));
        r_.cache_.LoadGraphic(name, 1, 1, 0);
        const std::vector<int>* cells = r_.cache_.Cells(name);
        if (cells == nullptr || cells->empty()) return;
        const int graph = (*cells)[cells->size() > 1 ? 1 : 0];
        int width = 0, height = 0;
        if (graph <= 0 || !r_.library_.GetGraphSize(graph, width, height)) return;
        PlaceGraph(graph, width, height);
        if (draw_) box_.progress = std::max<double>(box_.progress, box_.charIndex);
    }

    void Ruby() {
        lineHeight_ = std::max(lineHeight_, box_.fontSize);
        Record();
        r_.resources_.GetFont(box_.fontSlot, box_.fontSize * s_, SystemResources::kTextThickness, box_.edgeFlag);
        const int32_t savedColor = box_.colorNumber;
        const int32_t savedSize = box_.fontSize;
        const int32_t start = box_.penX;
        for (const std::string_view base = TakeUntil(','); const std::string_view character : Characters(base)) {
            Ordinary(character);
        }
        const int32_t rubySize = chip_ == 32 ? 10 : 5;
        const int rubyFont =
            r_.resources_.GetFont(box_.fontSlot, rubySize * s_, SystemResources::kTextThickness, box_.edgeFlag);
        const std::vector<std::string_view> ruby = Characters(TakeUntil(']'));
        if (draw_ && rubyFont != -1 && !ruby.empty()) {
            const int32_t y =
                box_.y + static_cast<int32_t>((box_.penY + lineHeight_ - savedSize - rubySize * s_) * scaleY_);
            const uint32_t color = r_.ColorOf(kRubyColorRow);
            const int32_t base = box_.penX - start;
            const int32_t n = static_cast<int32_t>(ruby.size());
            int32_t total = 0;
            std::string joined;
            for (std::string_view character : ruby) {
                total += Width(character, rubyFont);
                joined += character;
            }
            const int32_t offset = AlignmentOffset();
            auto left = [&](int32_t pen) { return box_.x + offset + static_cast<int32_t>(pen * scaleX_); };
            if (total > base) {
                DrawText(left((start + box_.penX) / 2 - total / 2), y, joined, color, rubyFont);
            } else {
                for (int32_t i = 0; i < n; ++i) {
                    const std::string_view character = ruby[static_cast<size_t>(i)];
                    const int32_t pen = base * i / n + start + (base / n - Width(character, rubyFont)) / 2;
                    DrawText(left(pen), y, std::string(character), color, rubyFont);
                }
            }
        }
        if (draw_) box_.progress = std::max<double>(box_.progress, box_.charIndex);
        box_.colorNumber = savedColor;
        box_.fontSize = savedSize;
        Record();
    }

    std::vector<std::string_view> Characters(std::string_view text) const {
        std::vector<std::string_view> characters;
        for (size_t i = 0; i < text.size();) {
            size_t next = i + 1;
            if (platform::IsShiftJisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() &&
                text[i + 1] != '\0') {
                next = i + 2;
            }
            characters.push_back(text.substr(i, next - i));
            i = next;
        }
        return characters;
    }

    // False when the text ends inside the TextCode.
    bool TextCode(size_t start) {
        if (start + 1 >= text_.size()) return false;
        const int wanted = TextCodeParameterCount(static_cast<uint8_t>(text_[start + 1]));
        if (start + 2 + static_cast<size_t>(wanted) > text_.size()) return false;
        const TextCodeRead code = ReadTextCode(text_, start);
        if (code.code == kCodeWide) return false;
        box_.charIndex = static_cast<int32_t>(start + code.length);
        // An icon's parameter bytes count as two shown bytes.
        box_.controlBytes += static_cast<int32_t>(code.length) - (code.code == kCodeIcon ? 2 : 0);
        const int32_t v = code.value;
        switch (code.code) {
            case kCodeBackslash: Ordinary("\\"); break;
            case kCodeColor:
                box_.colorNumber = std::clamp(v, 0, std::max(0, static_cast<int32_t>(r_.colorTable_.size()) - 1));
                break;
            case kCodeFontSize:
                box_.fontSize = r_.SnapFontSize(v & 0xFF);
                lineHeight_ = std::max(lineHeight_, box_.fontSize);
                break;
            case kCodeLineHeight: lineHeight_ = v; break;
            case kCodeEdgeOn: box_.edgeFlag = 1; break;
            case kCodeEdgeOff: box_.edgeFlag = 0; break;
            case kCodeSpacing: spacing_ = v; break;
            case kCodeRuby: Ruby(); break;
            case kCodeInstantOn: instant_ = true; break;
            case kCodeInstantOff: instant_ = false; break;
            case kCodeSpeed: Speed(v); break;
            case kCodeTimedPause:
                if (draw_ && box_.timedPauseEnd < box_.charIndex) {
                    box_.timedPauseEnd = box_.charIndex + 1;
                    box_.timedPauseFrames = kTimedPauseFrames;
                }
                break;
            case kCodeKeyWait:
                if (draw_ && box_.keyPauseEnd < box_.charIndex && !box_.choiceLayout) {
                    box_.keyPauseEnd = box_.charIndex + 1;
                    box_.waitingForKey = true;
                }
                break;
            case kCodeClose:
                if (draw_) box_.closeRequest = true;
                break;
            case kCodeFontSlot: box_.fontSlot = std::clamp(v, 0, 3); break;
            case kCodeLineGap: lineGap_ = v - 32000; break;
            case kCodeAlignLeft:
            case kCodeAlignCenter:
            case kCodeAlignRight: alignment_ = code.code - kCodeAlignLeft; break;
            case kCodeIcon: Icon(v); break;
            case kCodeImage: Image(); break;
            default:
                // The position codes and unknown codes move nothing.
                break;
        }
        return true;
    }

    void Speed(int32_t v) {
        if (v == 0 || v == 65535) v = r_.settings_.defaultTextSpeed;
        if (!draw_) return;
        if (box_.previousProgress <= 2.0 && v < box_.speed) box_.progress = v * r_.settings_.frameStep / 30.0;
        box_.speed = v;
    }

    TextRenderer& r_;
    TextBox& box_;
    const std::string& text_;
    const bool draw_;
    const double scaleX_, scaleY_;
    const bool scaled_;
    const int32_t s_;
    const int32_t chip_;
    const int32_t letterSpacing_;
    const bool shadow_;
    int32_t lineHeight_ = 0;
    int32_t spacing_ = 0;
    int32_t lineGap_ = kDefaultLineGap;
    int32_t alignment_ = 0;
    bool instant_ = false;
    int32_t walked_ = 0;
    bool longText_ = false;
    struct {
        int32_t slot = -1;
        int32_t size = -1;
        int32_t edge = -1;
        uint32_t generation = 0;
        int font = -1;
    } font_;
};

TextRenderer::TextRenderer(PresentLibrary& library, SystemResources& resources, GraphicCache& cache,
                           VariableStore& store, Database& systemDatabase, const TextSettings& settings)
    : library_(library),
      resources_(resources),
      cache_(cache),
      store_(store),
      systemDatabase_(systemDatabase),
      settings_(settings) {
    library_.SetDefaultFontTypeAndThickness(kDefaultFontType, kDefaultFontThickness);
}

TextRenderer::~TextRenderer() = default;

int32_t TextRenderer::SnapFontSize(int32_t size) const {
    const bool small = settings_.chipSize == 16;
    size = small ? std::clamp(size, 2, 80) : std::clamp(size, 7, 129);
    if (settings_.renderingMode < 2) {
        const auto steps = small ? std::span<const SizeStep>(kStepsAt16) : std::span<const SizeStep>(kStepsAt32);
        for (const SizeStep& step : steps) {
            if (step.from == size) return step.to;
        }
    }
    return size;
}

void TextRenderer::BuildColorTable() {
    colorTable_.clear();
    const int32_t rows = systemDatabase_.GetDataCount(kTextColorType);
    for (int32_t row = 0; row < rows; ++row) {
        int32_t rgb[3];
        for (int32_t item = 0; item < 3; ++item) {
            rgb[item] = std::max(0, systemDatabase_.GetInt(kTextColorType, row, item));
        }
        colorTable_.push_back(library_.GetColorValue(rgb[0], rgb[1], rgb[2]));
    }
    colorsChanged_ = false;
}

int32_t TextRenderer::KeptWidth(std::string_view character, int font) {
    if (widthsGeneration_ != resources_.FontGeneration()) {
        widths_.clear();
        lastWidths_ = nullptr;
        widthsGeneration_ = resources_.FontGeneration();
    }
    if (lastWidths_ == nullptr || lastWidths_->font != font) {
        auto found = std::find_if(widths_.begin(), widths_.end(), [&](const auto& kept) { return kept->font == font; });
        if (found == widths_.end()) {
            widths_.push_back(std::make_unique<FontWidths>());
            widths_.back()->font = font;
            found = std::prev(widths_.end());
        }
        lastWidths_ = found->get();
    }
    const auto lead = character.size() == 2 ? static_cast<uint8_t>(character[0]) : uint8_t{0};
    auto& page = lastWidths_->pages[lead];
    if (page == nullptr) {
        page = std::make_unique<std::array<int32_t, 256>>();
        page->fill(-1);
    }
    int32_t& width = (*page)[static_cast<uint8_t>(character.back())];
    if (width < 0) width = std::max(0, library_.StringWidth(character, font));
    return width;
}

uint32_t TextRenderer::ColorOf(int32_t row) const {
    // Rows the game does not have fall back to its last row, or white.
    if (colorTable_.empty()) return library_.GetColorValue(255, 255, 255);
    return colorTable_[static_cast<size_t>(std::clamp(row, 0, static_cast<int32_t>(colorTable_.size()) - 1))];
}

void TextRenderer::Draw(TextBox& box, bool draw, double scaleX, double scaleY) {
    if (box.shownText.empty()) return;
    if (box.shownText != box.laidOutText) box.Reset();
    WalkText(box, draw, scaleX, scaleY);
}

void TextRenderer::DrawHeld(TextBox& box, bool draw) {
    if (box.workingText.empty()) return;
    WalkText(box, draw, 1.0, 1.0);
}

void TextRenderer::WalkText(TextBox& box, bool draw, double scaleX, double scaleY) {
    if (colorsChanged_) BuildColorTable();
    box.charIndex = 0;
    box.colorNumber = 0;
    box.fontSlot = 0;
    box.edgeFlag = 0;
    box.fontSize = SnapFontSize(settings_.defaultTextSize);
    box.penX = 0;
    box.penY = 0;
    box.lineIndex = 0;
    box.controlBytes = 0;
    Walk(*this, box, draw, scaleX, scaleY).Run();
}

}  // namespace velk
