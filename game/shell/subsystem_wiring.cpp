#include "game/shell/subsystem_wiring.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "game/event/call_commands.h"
#include "game/event/command_table.h"
#include "game/event/game_value_link.h"
#include "game/event/parallel_common_event_runner.h"
#include "game/event/value_commands.h"
#include "game/map/character_commands.h"
#include "game/map/map_event_link.h"
#include "game/map/map_game_values.h"
#include "game/map/map_tile_commands.h"
#include "game/present/escape_codes.h"
#include "game/present/message_commands.h"
#include "game/present/picture_drawing.h"
#include "game/present/scene_drawing.h"
#include "game/present/screen_effects.h"
#include "game/present/sound_commands.h"
#include "game/present/text_prompt.h"
#include "game/shell/game_program.h"
#include "game/shell/presentation.h"
#include "game/shell/save_file.h"
#include "game/shell/save_installation.h"
#include "game/shell/test_play_tools.h"
#include "lib/api/library_api.h"

namespace velk {
namespace {

// One runner per common event, made when a map loads. A runner that asks
// for a rebuild or a clear from inside its own frame (a command loaded a map)
// keeps running until every runner of the frame is done.
class ParallelRunners final : public ParallelCommonEvents {
public:
    void Rebuild() override {
        if (running_) {
            pending_ = Pending::kRebuild;
            return;
        }
        runners_.clear();
        const int32_t count = ActiveEventLinks().commonEvents->Count();
        runners_.reserve(static_cast<size_t>(std::max(count, 0)));
        for (int32_t index = 0; index < count; ++index)
            runners_.emplace_back(index);
    }
    void Clear() override {
        if (running_) {
            pending_ = Pending::kClear;
            return;
        }
        runners_.clear();
    }
    void Refresh() override {
        for (ParallelCommonEventRunner& runner : runners_)
            runner.Refresh();
    }
    void Run() override {
        running_ = true;
        for (size_t i = 0; i < runners_.size(); ++i)
            runners_[i].Run();
        running_ = false;
        const Pending pending = pending_;
        pending_ = Pending::kNone;
        if (pending == Pending::kRebuild) Rebuild();
        if (pending == Pending::kClear) Clear();
    }
    const std::vector<ParallelCommonEventRunner>& Runners() const { return runners_; }

private:
    enum class Pending { kNone, kRebuild, kClear };
    std::vector<ParallelCommonEventRunner> runners_;
    bool running_ = false;
    Pending pending_ = Pending::kNone;
};

class MapSound final : public MapSoundPlayer {
public:
    explicit MapSound(GameHome& home) : home_(home) {}
    void Play(MapSoundKind kind, int32_t number, int32_t fadeFrames, int32_t option) override {
        home_.sound.Play(static_cast<int32_t>(kind), number, fadeFrames, option);
    }
    int32_t AddSoundFile(MapSoundKind kind, const std::string& fileName, int32_t fadeFrames, int32_t option,
                         int32_t volume, int32_t frequency) override {
        const int32_t number =
            home_.sound.AddSoundFile(fileName, static_cast<int32_t>(kind), fadeFrames, option, volume, frequency);
        return number < 0 ? kSoundAddFailed : number;
    }
    void ReleaseUnusedSounds() override { home_.sound.ReleaseUnusedSounds(); }

private:
    GameHome& home_;
};

class PictureEffects final : public PictureEffectLink {
public:
    explicit PictureEffects(GamePresentation& presentation) : presentation_(presentation) {}
    void SetEffectRange(int32_t first, int32_t last, int32_t kind, int32_t a, int32_t b, int32_t c,
                        int32_t frames) override {
        presentation_.pictures.SetEffectRange(first, last, kind, a, b, c, frames);
    }

private:
    GamePresentation& presentation_;
};

class RedrawNotices final : public MapRedrawNotices {
public:
    explicit RedrawNotices(GameSystem& system) : system_(system) {}
    void TileFlagsChanged() override { system_.tileFlagsChanged = 1; }
    void TilesetChanged() override { system_.tilesetChanged = 1; }

private:
    GameSystem& system_;
};

// What the value commands read of sound and pictures (the map's and the
// characters' answers come from the map's own link, which asks this one
// the rest).
class PresentationValues final : public GameValueLink {
public:
    PresentationValues(GameHome& home, GamePresentation& presentation) : home_(home), presentation_(presentation) {}
    // Sounds in the spare rows were named by file, not by a number the game
    // chose: they answer -1.
    int32_t SoundNumber(int channel) override {
        const int32_t kind = channel == 0 ? SoundState::kMusic : SoundState::kBackgroundSound;
        const int32_t number = home_.sound.CurrentNumber(kind);
        return number >= 0 && number < home_.sound.SpareBase(kind) ? number : -1;
    }
    int32_t SoundPosition(int channel) override { return home_.sound.PlayPosition(channel); }
    int32_t SoundLength(int channel) override { return home_.sound.PlayLength(channel); }
    int32_t PictureProperty(int32_t picture, int32_t property) override {
        return presentation_.pictures.GetProperty(picture, property);
    }
    std::string RevertEscapeCodes(const std::string& text) override { return velk::RevertEscapeCodes(text); }

private:
    GameHome& home_;
    GamePresentation& presentation_;
};

// Everything ConnectSubsystems builds, kept by the program while the scene
// lives. Members are made in this order and the handler sets last, so every
// set's references are alive while it is in the table.
struct Subsystems {
    explicit Subsystems(GameHome& home)
        : presentation(home),
          mapSound(home),
          notices(home.gameSystem),
          pictureEffects(presentation),
          presentationValues(home, presentation),
          textPrompt(home.gameSystem, home.mainInterpreter.systemVariables, home.databases.system,
                     home.wideValues.chipScale),
          characterCommands(home.mapState, home.hero, ActiveCharacterWorld(), home.gameSystem,
                            home.mainInterpreter.nameList, download, pictureEffects, &home.TextLink()),
          values(home.mapState, home.hero, home.gameSystem, characterCommands, presentationValues),
          messageCommands(home.gameSystem, home.variableStore, ActiveWindowWaiters()),
          pictureCommands(presentation.pictures, home.mainInterpreter, presentation.screen, GamePictureDrawing(),
                          home.databases.system, presentation.textSettings),
          soundCommands(home.sound),
          callCommands(home.commonEvents, home.variableStore, home.TextLink()),
          valueCommands(home.variableStore, home.databases, home.mainInterpreter.systemVariables,
                        {&home.TextLink(), &textPrompt, ActiveEventLinks().keyInput, &values},
                        home.wideValues.testPlayFlag != 0),
          mapTileCommands(home.mapState, notices) {}

    GamePresentation presentation;
    ParallelRunners parallelRunners;
    MapSound mapSound;
    RedrawNotices notices;
    PictureEffects pictureEffects;
    PresentationValues presentationValues;
    TextPrompt textPrompt;
    DownloadState download;
    CharacterCommands characterCommands;
    MapGameValues values;
    MessageCommands messageCommands;
    PictureCommands pictureCommands;
    SoundCommandSet soundCommands;
    CallCommands callCommands;
    ValueCommands valueCommands;
    MapTileCommands mapTileCommands;
    std::shared_ptr<TestPlayTools> testPlayTools;
    std::unique_ptr<HeroSavePart> heroPart;
    Saves saves;
};

void RegisterHandlerSets(Subsystems& s) {
    CommandTable& table = ActiveCommandTable();
    for (CommandHandlerSet* set : std::initializer_list<CommandHandlerSet*>{
             &s.callCommands, &s.valueCommands, &s.characterCommands, &s.mapTileCommands, &s.messageCommands,
             &s.pictureCommands, &s.soundCommands})
        table.Register(*set);
}

// The frame's map transfer; after a change of map the graphics cache is
// emptied and the scene rebuilt, so every sprite loads its graphic again.
void MapTransfer(GameHome& home, GamePresentation& presentation, Scene& scene) {
    const int32_t before = home.mapState.mapId;
    if (!PerformMapTransfer(home.mapState, home.hero, home.gameSystem)) return;
    if (home.mapState.mapId != before) {
        presentation.cache.ClearGraphicCache();
        if (scene.Hooks().resetScene) scene.Hooks().resetScene();
    }
}

void ConnectFrame(GameProgram& program, Subsystems& s) {
    GameHome& home = program.Home();
    Scene& scene = program.GetScene();
    GamePresentation& p = s.presentation;
    FrameHooks& hooks = scene.Hooks();
    hooks.currentMap = [&home] { return home.mapState.mapId; };
    hooks.mapTransfer = [&home, &p, &scene] { MapTransfer(home, p, scene); };
    hooks.restartScene = [&program, &home, &p] {
        p.cache.ClearGraphicCache();
        p.mapScene.Reset();
        p.ReloadWindows();
        home.sound.RestartMusic(20);
        home.RebuildCommonEvents();
        program.PrepareCommands();
    };
    hooks.resetScene = [&p] { p.mapScene.Reset(); };
    hooks.refreshTileFlags = [&p] { p.mapScene.TileFlagsChanged(); };
    hooks.resetWindows = [&p] {
        p.message.Reset();
        p.choice.Reset();
    };

    scene.SetUpdateStep(UpdateStep::kMapUpdate, [&home] { home.mapState.Update(); });
    scene.SetUpdateStep(UpdateStep::kMainInterpreter, [&home] { home.mainInterpreter.Run(); });
    scene.SetUpdateStep(UpdateStep::kHero, [&home] { home.hero.Update(HeroInput::From(home.inputState)); });
    scene.SetUpdateStep(UpdateStep::kChoiceWindow, [&p] { p.choice.Update(ReadMenuInput(p.home.inputState)); });
    scene.SetUpdateStep(UpdateStep::kMessageWindow, [&p] { p.message.Update(ReadMenuInput(p.home.inputState)); });
    scene.SetUpdateStep(UpdateStep::kPictures, [&p] { p.pictures.Update(); });
    scene.SetUpdateStep(UpdateStep::kSound, [&home] { home.sound.Update(); });
    scene.SetUpdateStep(UpdateStep::kTint, [&home] { home.mainInterpreter.UpdateTint(home.wideValues.frameStep); });
    scene.SetUpdateStep(UpdateStep::kPanoramaScroll, [&p] { p.mapScene.StepPanorama(); });
    scene.SetUpdateStep(UpdateStep::kFogScroll, [&p] { p.mapScene.StepFog(); });

    MainEventInterpreter& main = home.mainInterpreter;
    SceneDrawing& drawing = GameSceneDrawing();
    scene.SetDrawLayer(DrawLayer::kTintBrightness, [&main, &drawing] { DrawTint(drawing, main.tone, false, false); });
    scene.SetDrawLayer(DrawLayer::kMapScene, [&p, &home] {
        p.mapScene.DrawMap([&p](int band) { p.pictures.DrawBand(band); }, home.gameSystem.tilesetChanged != 0);
    });
    scene.SetDrawLayer(DrawLayer::kTintOverlay, [&main, &drawing] { DrawTint(drawing, main.tone, true, false); });
    scene.SetDrawLayer(DrawLayer::kTintReset, [&main, &drawing] { DrawTint(drawing, main.tone, false, true); });
    scene.SetDrawLayer(DrawLayer::kPicturesBand0, [&p] { p.pictures.DrawBand(0); });
    scene.SetDrawLayer(DrawLayer::kMessageWindow, [&p] { p.message.Draw(); });
    scene.SetDrawLayer(DrawLayer::kChoiceWindow, [&p] { p.choice.Draw(); });
    scene.SetDrawLayer(DrawLayer::kPicturesBand1, [&p] { p.pictures.DrawBand(1); });
    scene.SetDrawLayer(DrawLayer::kFlash, [&main, &drawing] { DrawFlash(drawing, main.flash); });
    scene.SetDrawLayer(DrawLayer::kTransition, [&home, &drawing] { DrawTransition(drawing, home.gameSystem); });
    scene.SetDrawLayer(DrawLayer::kInputLines, [&home, &s] {
        s.textPrompt.DrawLines(home.mainInterpreter, home.mapState.events, s.parallelRunners.Runners());
    });
}

// Saving and loading over the home's objects. A load that was accepted
// replaces the live game in this order: music and background sound
// stopped; the graphics cache and every graph deleted, the work graphs made
// anew and the scene's restart asked for; the map state reset, fonts reset
// and icons loaded again; the objects replaced and read from the save (the
// slot cache); the map's pages refreshed, the hero's first byte, the
// transition graphic and the music to restart taken from the loaded
// interpreter. The command then starts the transition and ends the frame's
// event processing; the next frame's restart reloads the map scene's
// sprites and the windows' images, starts the saved music again and loads
// the common events anew, and only then are the replaced objects dropped.
void ConnectSaves(GameProgram& program, Subsystems& s) {
    GameHome& home = program.Home();
    GamePresentation& p = s.presentation;
    s.heroPart = std::make_unique<HeroSavePart>(home.hero);
    SaveHooks hooks;
    hooks.replay = &home.replayRecorder;
    hooks.startReplay = [&home] { home.gameSystem.sceneState = kSceneTitle; };
    hooks.beforeCopy = [&home] {
        home.mainInterpreter.currentBgm = home.sound.CurrentNumber(SoundState::kMusic);
        home.mainInterpreter.currentBgs = home.sound.CurrentNumber(SoundState::kBackgroundSound);
    };
    hooks.beforeRestore = [&home, &p] {
        home.sound.Play(SoundState::kMusic, -1, 0, 0);
        home.sound.Play(SoundState::kBackgroundSound, -1, 0, 0);
        p.cache.ClearGraphicCache();
        DeleteAllGraphs();
        DeleteWorkGraphs(home.gameSystem);
        CreateWorkGraphs(home.gameSystem, home.wideValues);
        home.gameSystem.SceneRestartFlag = 1;
        p.resources.ResetFontCache();
        p.resources.LoadIcons();
    };
    hooks.afterRestore = [&home, &p] {
        MainEventInterpreter& main = home.mainInterpreter;
        home.hero.bytes.resize(std::max<size_t>(home.hero.bytes.size(), 1));
        home.hero.bytes[0] = static_cast<uint8_t>(main.systemVariables.sysVar36 & 0xFF);
        SetTransitionGraphic(p.screen, GamePictureDrawing(), home.databases.system, main.transitionGraphic,
                             main.transitionFrames, main.transitionWait);
        home.sound.RememberForRestart(main.currentBgm, main.currentBgs);
    };
    SaveCommandHooks commandHooks;
    commandHooks.gameLoaded = [&home, &s] {
        s.pictureCommands.ExecuteTransition();
        home.wideValues.gameLoadedThisFrame = 1;
    };
    commandHooks.replayStarted = [&home] { home.wideValues.gameLoadedThisFrame = 1; };
    s.saves = InstallSaves({home.mapState, home.mainInterpreter, home.variableStore, *s.heroPart, p.pictures,
                            home.databases, home.gameInfo.Text(GameInfo::kTitleText), home.wideValues.chipSize},
                           std::move(hooks), std::move(commandHooks), ActiveCommandTable());

    // The save cache starts empty after the title/reset block, as the
    // picture list does.
    TitleBlockHooks& title = program.TitleHooks();
    title.rebuildPictures = [&s, rebuild = title.rebuildPictures] {
        if (rebuild) rebuild();
        s.saves.cache->DropReplaced();
        s.saves.cache->Clear();
    };
    auto& restart = program.GetScene().Hooks().restartScene;
    restart = [&s, step = restart] {
        if (step) step();
        s.saves.cache->DropReplaced();
    };
}

}  // namespace

void ConnectSubsystems(GameProgram& program) {
    GameHome& home = program.Home();
    auto subsystems = std::make_shared<Subsystems>(home);
    Subsystems& s = *subsystems;
    program.Keep(subsystems);
    RegisterHandlerSets(s);
    ActiveEventLinks().textPrompt = &s.textPrompt;
    home.SetMapLinks({&s.mapSound, &s.parallelRunners});

    GamePresentation& p = s.presentation;
    TitleBlockHooks& title = program.TitleHooks();
    title.setupFonts = [&p] { p.SetupFonts(); };
    title.rebuildPictures = [&p] { p.RebuildPictures(); };
    title.reloadWindows = [&p] { p.ReloadWindows(); };

    p.SetupFonts();
    p.LoadIconsAndRegisterRestore();
    ConnectFrame(program, s);
    s.testPlayTools = ConnectTestPlayTools(program);
    s.testPlayTools->debugSources = {&s.presentation, &s.parallelRunners.Runners()};
    ConnectSaves(program, s);
}

void ConnectStartUp(GameProgram& program) {
    GameHome& home = program.Home();
    StartUpHooks& start = program.StartHooks();
    start.setMidiDevice = [&home](int32_t device) { return home.midiLibrary.SetDevice(device, 0); };
    start.freeMidi = [&home] { home.midiLibrary.Free(); };
    start.loadSpeech = [&home] {
        if (home.speechLibrary.Installed()) home.speechLibrary.Load();
    };
    start.freeSpeech = [&home] { home.speechLibrary.Free(); };
}

}  // namespace velk
