#include "game/shell/presentation.h"

#include "game/event/event_interpreter.h"
#include "game/present/picture_drawing.h"
#include "game/present/scene_drawing.h"
#include "game/shell/game_home.h"

namespace velk {
namespace {

constexpr size_t kFirstFontText = 3;
constexpr size_t kPlainLettersSetting = 14;
constexpr size_t kLetterSpacingSetting = 10;
constexpr size_t kLineSpacingSetting = 11;
constexpr size_t kChoiceLineSpacingSetting = 12;

TextSettings MakeTextSettings(const GameHome& home) {
    TextSettings settings;
    settings.chipSize = home.wideValues.chipSize;
    settings.displayScale = home.wideValues.chipScale;
    settings.frameStep = home.wideValues.frameStep;
    settings.letterSpacing = home.gameInfo.Setting(kLetterSpacingSetting);
    settings.lineSpacing = home.gameInfo.Setting(kLineSpacingSetting);
    settings.choiceLineSpacing = home.gameInfo.Setting(kChoiceLineSpacingSetting);
    return settings;
}

}  // namespace

GamePresentation::GamePresentation(GameHome& home)
    : home(home),
      library(GameLibrary()),
      cache(library),
      resources(library, cache),
      textSettings(MakeTextSettings(home)),
      renderer(library, resources, cache, home.variableStore, home.databases.system, textSettings),
      restore(library, cache, resources),
      pictureImages(library),
      pictureServices{GamePictureDrawing(), pictureImages, renderer, pictureSettings},
      pictures(pictureServices),
      windowContext{library,
                    cache,
                    renderer,
                    textSettings,
                    home.variableStore,
                    home.databases.system,
                    home.gameSystem,
                    ActiveWindowWaiters(),
                    [&home](int32_t number) { home.sound.Play(SoundState::kSoundEffect, number, 0, 0); }},
      choice(windowContext),
      message(windowContext),
      screen(home.gameSystem, home.mainInterpreter.mapVisible),
      mapScene(cache, GameSceneDrawing(), home.databases.system, home.mapState, home.hero, home.mainInterpreter.tone,
               MapSceneSettings::FromGameInfo()) {
    pictureSettings.testPlay = home.wideValues.testPlayFlag != 0;
    restore.SetWindowReload([this] { ReloadWindows(); });
    restore.SetPictureReload([this] { pictures.ReloadImages(); });
}

GamePresentation::~GamePresentation() {
    if (restoreRegistered_) RegisterGraphicsRestore(nullptr);
}

void GamePresentation::SetupFonts() {
    std::array<std::string, 4> names;
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = home.gameInfo.Text(kFirstFontText + i);
    resources.SetupFonts(names, home.gameInfo.Setting(kPlainLettersSetting) != 0);
    cache.ClearGraphicCache();
}

void GamePresentation::ReloadWindows() {
    choice.LoadGraphics();
    message.LoadGraphics();
}

void GamePresentation::RebuildPictures() { pictures = PictureList(pictureServices); }

void GamePresentation::UpdateWindows() {
    const MenuInput input = ReadMenuInput(home.inputState);
    choice.Update(input);
    message.Update(input);
}

void GamePresentation::LoadIconsAndRegisterRestore() {
    resources.LoadIcons();
    RegisterGraphicsRestore(&restore);
    restoreRegistered_ = true;
}

}  // namespace velk
