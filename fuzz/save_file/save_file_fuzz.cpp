// A whole save file as it lies on disk (scrambled or plain, any version):
// read and verified into a snapshot with nothing of the live game changed;
// an accepted snapshot is written out again.
#include <cstdint>
#include <vector>

#include "game/data/byte_writer.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/save_stream.h"
#include "game/map/map_state.h"
#include "game/present/graphic_cache.h"
#include "game/present/picture_drawing.h"
#include "game/present/picture_images.h"
#include "game/present/picture_list.h"
#include "game/present/present_library.h"
#include "game/present/system_resources.h"
#include "game/present/text_renderer.h"
#include "game/shell/save_file.h"

namespace {

// A read reports nothing: a message from it is a finding.
class NoMessages final : public velk::ErrorReporter {
public:
    void ShowErrorBox(const std::string&, const std::string&, const std::string&) override { __builtin_trap(); }
    void ShowMessageBox(const std::string&, const std::string&, velk::MessageBoxButtons) override { __builtin_trap(); }
    void EndProgram(int) override { __builtin_trap(); }
};

// Everything a read needs, made once: the reader must leave it as it is.
struct Game {
    Game() {
        velk::SetErrorReporter(&reporter);
        databases.changeable.types.emplace_back();
        databases.changeable.typeDefs.emplace_back();
    }
    NoMessages reporter;
    velk::DatabaseSet databases;
    velk::MapState map{velk::MapSettings{}};
    velk::MainEventInterpreter interpreter{32};
    velk::VariableStore variables{&interpreter, &databases};
    velk::HeroSavePart hero;
    velk::GraphicCache cache{velk::GameLibrary()};
    velk::SystemResources resources{velk::GameLibrary(), cache};
    velk::TextSettings textSettings;
    velk::TextRenderer text{velk::GameLibrary(), resources, cache, variables, databases.system, textSettings};
    velk::PictureImageStore images{velk::GameLibrary()};
    velk::PictureSettings pictureSettings;
    velk::PictureServices services{velk::GamePictureDrawing(), images, text, pictureSettings};
    velk::PictureList pictures{services};
    const std::string title = "Ten Bytes!";
    velk::SaveGameState state{map, interpreter, variables, hero, pictures, databases, title, 32};
};

Game& TheGame() {
    static Game game;
    return game;
}

}  // namespace

// The picture list draws text through the game's fonts, which font
// configuration keeps for the whole run.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

// Made before the first input, so that what the font and text services keep
// for the whole run is not taken for a leak of that input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TheGame();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Game& game = TheGame();
    velk::SaveReadResult read = velk::ReadSaveFile(std::vector<uint8_t>(data, data + size), game.state);
    if (read.status == velk::SaveReadStatus::kAccepted) {
        velk::BuildSaveFile(*read.snapshot, game.state.title, game.databases, {0, 0, 0});
    }
    if (game.map.mapId != -1 || !game.pictures.Pictures().empty()) __builtin_trap();
    return 0;
}
