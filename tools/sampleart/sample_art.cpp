#include "tools/sampleart/sample_art.h"

#include <filesystem>

namespace velk::sampleart {

bool WriteSampleArt(const std::string& game_folder, std::string* error) {
    namespace fs = std::filesystem;
    const fs::path data = fs::path(game_folder) / "Data";
    std::error_code ec;
    for (const char* folder : {"MapChip", "CharaChip", "Picture", "SystemFile", "BGM", "BGS", "SE"}) {
        fs::create_directories(data / folder, ec);
        if (ec) {
            *error = "cannot make " + (data / folder).string() + ": " + ec.message();
            return false;
        }
    }
    const int kPatterns = 3;
    struct Image {
        const char* path;
        Canvas canvas;
        bool alpha;
    };
    const Image images[] = {
        {"MapChip/village.png", DrawTileset(), false},
        {"MapChip/water.png", DrawWaterAutoTile(), false},
        {"CharaChip/hero.png",
         DrawCharacterSheet({{250, 214, 180}, {90, 60, 40}, {60, 110, 200}, {60, 60, 80}}, kPatterns), false},
        {"CharaChip/villager.png",
         DrawCharacterSheet({{240, 200, 170}, {200, 200, 210}, {150, 90, 60}, {90, 70, 50}}, kPatterns), false},
        {"CharaChip/child.png",
         DrawCharacterSheet({{250, 220, 190}, {230, 170, 60}, {220, 90, 110}, {80, 80, 120}}, kPatterns), false},
        {"Picture/title.png", DrawTitleScene(), false},
        {"Picture/message_panel.png", DrawMessagePanel(), true},
        {"Picture/sparkle.png", DrawSparkle(), true},
        {"SystemFile/wait_cursor.png", DrawWaitCursor(), true},
        {"SystemFile/choice_frame.png", DrawChoiceFrame(), true},
        {"SystemFile/choice_cursor.png", DrawChoiceCursor(), true},
    };
    for (const Image& image : images) {
        if (!image.canvas.WritePng((data / image.path).string(), image.alpha)) {
            *error = std::string("cannot write ") + image.path;
            return false;
        }
    }
    if (!WriteSampleSounds(data.string())) {
        *error = "cannot write the sounds";
        return false;
    }
    return true;
}

}  // namespace velk::sampleart
