#pragma once
// The walk over a text box's converted text: ordinary Shift-JIS characters,
// line breaks and TextCodes (colours, sizes, font slots, edged letters,
// spacing, icons, images, ruby, alignment, line gaps, display speed, pauses).
// It draws through the game library's fonts and graphs, or only lays the
// text out and fills the box's line metrics.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

class Database;
class GraphicCache;
class PresentLibrary;
class SystemResources;
class TextBox;
class VariableStore;

// The game-wide values text reads. The shell sets them from Game.dat and
// Game.ini; `choiceCount` follows the choice request the game shows.
struct TextSettings {
    int32_t chipSize = 32;
    // 1, or 2 with 16-pixel chips.
    int32_t displayScale = 1;
    int32_t frameStep = 1;
    int32_t defaultTextSize = 24;
    // The speed the speed code's 0 asks for.
    int32_t defaultTextSpeed = 240;
    // Game.dat settings 10, 11 and 12.
    int32_t letterSpacing = 0;
    int32_t lineSpacing = 0;
    int32_t choiceLineSpacing = 0;
    // Below 2 some font sizes move down a step.
    int32_t renderingMode = 2;
    int32_t choiceCount = 0;
};

// The system-database type of the text colours, and the ruby's row in it.
inline constexpr int32_t kTextColorType = 12;
inline constexpr int32_t kRubyColorRow = 13;
// The system variable that casts a shadow under every character.
inline constexpr int32_t kTextShadowVariable = 19;
// The spacing code's parameter of an unset line gap.
inline constexpr int32_t kDefaultLineGap = -1000000;

class TextRenderer {
public:
    // Sets the library's default font type and thickness that text boxes
    // expect.
    TextRenderer(PresentLibrary& library, SystemResources& resources, GraphicCache& cache, VariableStore& store,
                 Database& systemDatabase, const TextSettings& settings);
    ~TextRenderer();

    void Draw(TextBox& box, bool draw, double scaleX, double scaleY);
    // A box that holds its text (TextBox::Hold), at scale 1.
    void DrawHeld(TextBox& box, bool draw);
    // The size a requested character size is drawn in.
    int32_t SnapFontSize(int32_t size) const;
    // The colour table is built again from the system database on the next draw.
    void MarkColorsChanged() { colorsChanged_ = true; }
    const TextSettings& Settings() const { return settings_; }

private:
    class Walk;
    struct FontWidths;
    // The walk over the working text, from its start.
    void WalkText(TextBox& box, bool draw, double scaleX, double scaleY);
    uint32_t ColorOf(int32_t row) const;
    void BuildColorTable();
    // A character's width in a font (not -1), measured once for as long as
    // the font lives.
    int32_t KeptWidth(std::string_view character, int font);

    PresentLibrary& library_;
    SystemResources& resources_;
    GraphicCache& cache_;
    VariableStore& store_;
    Database& systemDatabase_;
    const TextSettings& settings_;
    std::vector<uint32_t> colorTable_;
    bool colorsChanged_ = true;
    std::vector<std::unique_ptr<FontWidths>> widths_;
    FontWidths* lastWidths_ = nullptr;
    uint32_t widthsGeneration_ = 0;
};

}  // namespace velk
