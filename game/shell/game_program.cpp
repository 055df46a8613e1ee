#include "game/shell/game_program.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "game/data/error_reporter.h"
#include "game/event/command_table.h"
#include "game/shell/shell_texts.h"
#include "game/shell/subsystem_wiring.h"
#include "lib/api/library_api.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/system_message_box.h"
#include "platform/file/current_directory.h"
#include "platform/file/file_find.h"
#include "platform/file/path_resolver.h"
#include "platform/font/font_face_catalog.h"

namespace velk {
namespace {

constexpr int kWindowIconId = 101;
constexpr int32_t kStartPositionType = 7;
constexpr size_t kMidiDeviceSetting = 6;
constexpr char kDataFolderName[] = "Data\\";

// The font file's own path on disk, the same from any current folder.
std::optional<std::string> NativeFontPath(const std::string& gamePath) {
    std::optional<std::string> resolved = platform::ResolveGamePath(gamePath);
    if (!resolved) return std::nullopt;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(*resolved, error);
    if (error) return std::nullopt;
    return absolute.string();
}

void Log(const GameHome& home, const char* text) {
    if (home.wideValues.testPlayFlag) WriteLog(text);
}

}  // namespace

GameProgram::GameProgram(std::string commandLine)
    : commandLine_(std::move(commandLine)), home_(std::make_unique<GameHome>()) {
    reporter_ = std::make_unique<ShellErrorReporter>(*home_, [this](int code) { EndAfterFatalError(code); });
    SetErrorReporter(reporter_.get());
    ConnectStartUp(*this);
}

GameProgram::~GameProgram() {
    SetErrorReporter(nullptr);
    scene_.reset();
    kept_.reset();
    home_.reset();
}

void GameProgram::RegisterFonts() {
    GameWideValues& values = home_->wideValues;
    for (const char* folder : {"", kDataFolderName}) {
        for (const char* pattern : {"*.ttf", "*.ttc"}) {
            std::optional<platform::FileFind> find = platform::FileFind::Start(std::string(folder) + pattern);
            if (!find) continue;
            while (const platform::FoundFile* found = find->Next()) {
                if (found->is_directory) continue;
                std::string gamePath = std::string(folder) + found->name;
                std::optional<std::string> native = NativeFontPath(gamePath);
                if (!native) continue;
                platform::FontFaceCatalog::Instance().AddFontFile(*native);
                values.addedFonts.push_back(gamePath);
            }
        }
    }
}

void GameProgram::RemoveFonts() {
    GameWideValues& values = home_->wideValues;
    if (!values.gameFolder.empty()) platform::SetCurrentGameDirectory(values.gameFolder);
    for (const std::string& gamePath : values.addedFonts) {
        if (std::optional<std::string> native = NativeFontPath(gamePath)) {
            platform::FontFaceCatalog::Instance().RemoveFontFile(*native);
        }
    }
    values.addedFonts.clear();
}

std::optional<int> GameProgram::StartUp() {
    GameHome& home = *home_;
    GameWideValues& values = home.wideValues;
    GameInfo& info = home.gameInfo;
    PlayerSettings& settings = home.playerSettings;

    values.testPlayFlag = commandLine_ == shell_texts::kTestPlayWord ? 1 : 0;
    int desktopBits = 32;
    GetDesktopScreenMode(nullptr, nullptr, &desktopBits);
    Log(home, shell_texts::kLogMainStart);
    SetWindowIconId(kWindowIconId);
    SetUse3DFlag(1);

    values.gameFolder = platform::CurrentGameDirectory() + "/";
    values.dataFolder = values.gameFolder + "Data/";
    RegisterFonts();
    Log(home, shell_texts::kLogFontsLoaded);

    if (!info.Load(shell_texts::kGameDatName)) {
        RemoveFonts();
        if (startHooks_.freeSpeech) startHooks_.freeSpeech();
        phase_ = Phase::kEnded;
        result_ = 0;
        return result_;
    }
    SetAlwaysRunFlag(1);
    for (size_t setting : {size_t{15}, size_t{16}}) {
        if (info.settings[setting] < 4) info.settings[setting] = 4;
    }
    values.midiUsableFlag = 1;
    Log(home, shell_texts::kLogGameInfoLoaded);
    SetLogOutputFlag(values.testPlayFlag);

    int depth = desktopBits == 16 ? 16 : 32;
    uint8_t chip = info.Setting(GameInfo::kChipSizeSetting);
    if (chip == 32 || chip == 16) {
        values.chipSize = chip;
        values.chipScale = chip == 32 ? 1 : 2;
        SetScreenMode(640, 480, depth, 60);
    }
    values.frameStep = ComputeFrameStep(info.Setting(GameInfo::kFrameDivisorSetting));
    home.mainInterpreter.SetTileSizeDefaults(values.chipSize);
    Log(home, shell_texts::kLogSecondStart);
    SetMainWindowText(shell_texts::kStartingWindowTitle);

    ReadGameIni();
    if (desktopBits == 24 && settings.windowModeFlag == 1) {
        settings.windowModeFlag = 0;
        ShowSystemMessageBox(shell_texts::kFullScreenForced, shell_texts::kScreenModeCaption,
                             SystemMessageBoxButtons::kOk);
    }
    ChangeWindowMode(settings.windowModeFlag);
    int64_t libraryStart = GetUsecCount();
    int started = InitLibrary();
    libraryStartMicroseconds_ = GetUsecCount() - libraryStart;
    if (started == -1) {
        phase_ = Phase::kEnded;
        result_ = -1;
        return result_;
    }
    libraryStarted_ = true;

    // Until start-up ends Game.ini says a run is starting: a crash before
    // then makes the next run start in software mode.
    if (settings.start == 1 || settings.softModeFlag == 1) {
        WriteGameIni(1, 1, 0);
        settings.softModeFlag = 1;
        SetUse3DFlag(0);
        SetUseHardwareRenderFlag(0);
        if (home.gameSystem.osPlatformId < 2) SetUseDirectDrawFlag(0);
    } else {
        WriteGameIni(1, settings.softModeFlag, 0);
    }
    if (info.Setting(GameInfo::kMidiSwitchSetting) == 1) {
        int32_t device = info.Setting(kMidiDeviceSetting) == 0 ? -1 : -1000;
        if (!startHooks_.setMidiDevice || startHooks_.setMidiDevice(device) != 0) {
            values.midiUsableFlag = 0;
            if (startHooks_.freeMidi) startHooks_.freeMidi();
        }
    }
    if (startHooks_.loadSpeech) startHooks_.loadSpeech();
    WriteGameIni(0, settings.softModeFlag, 0);

    SetUseArchiveFlag(1);
    SetArchiveExtension(shell_texts::kArchiveExtension);
    SetArchiveKeyString(info.Text(GameInfo::kArchiveKeyText).c_str());
    SetTransparentColor(254, 0, 254);

    firstPass_ = true;
    LoadDatabases(home.databases);
    BuildNameMaps(home.databases);
    scene_ = std::make_unique<Scene>(home);
    ConnectSubsystems(*this);
    Log(home, shell_texts::kLogTitleStart);
    phase_ = Phase::kOuterLoop;
    return std::nullopt;
}

void GameProgram::RunTitleBlock() {
    GameHome& home = *home_;
    GameWideValues& values = home.wideValues;
    SetMouseCursorShowFlag(home.mainInterpreter.systemVariables.sysVar74);
    home.RebuildCommonEvents();
    home.RebuildSoundState();
    RestartReplayForTitle(home.replayRecorder);
    values.gameLoadedThisFrame = 0;
    if (!firstPass_) LoadDatabases(home.databases);
    firstPass_ = false;
    if (titleHooks_.setupFonts) titleHooks_.setupFonts();
    home.RebuildGameSystem();
    if (values.testPlayFlag) home.gameSystem.informationMode = 1;
    home.RebuildChangeableDatabase();
    home.RebuildStoreAndInterpreter();
    home.RebuildHero();
    home.RebuildMapState();
    if (titleHooks_.rebuildPictures) titleHooks_.rebuildPictures();
    home.inputState.Reset();
    home.ApplyHeroSettings();
    SetDrawScreen(kBackScreen);
    SetFrameSkipLevel(values, home.playerSettings.frameSkip, home.playerSettings.frameSkip);
    if (titleHooks_.reloadWindows) titleHooks_.reloadWindows();

    GameSystem& system = home.gameSystem;
    system.sceneState = kSceneRun;
    system.transferPending = 0;
    // The start position: system database type 7, row 0, items 0-2 (map,
    // x and y in chips). A game without it starts on map 0 at (0, 0).
    Database& systemDatabase = home.databases.system;
    if (systemDatabase.GetDataCount(kStartPositionType) > 0 &&
        systemDatabase.GetItemCount(kStartPositionType) >= 3) {
        system.transferMap = systemDatabase.GetInt(kStartPositionType, 0, 0);
        system.transferX = systemDatabase.GetInt(kStartPositionType, 0, 1) * 2;
        system.transferY = systemDatabase.GetInt(kStartPositionType, 0, 2) * 2;
    }
    if (values.testPlayFlag) BuildNameMaps(home.databases);
    PrepareCommands();
}

void GameProgram::PrepareCommands() {
    GameHome& home = *home_;
    home.commonEvents.Prepare(ActiveCommandTable(), home.variableStore, home.databases);
    // The main interpreter runs the prepared lists of the auto-start events.
    home.mainInterpreter.CollectAutoStartCommons();
    home.mainInterpreter.Init(0, true);
}

bool GameProgram::Step() {
    while (true) {
        switch (phase_) {
            case Phase::kNotStarted:
                if (StartUp()) return false;
                continue;
            case Phase::kEnded:
                return false;
            case Phase::kOuterLoop: {
                if (ProcessMessages() != 0) {
                    ShutDown();
                    return false;
                }
                int32_t state = home_->gameSystem.sceneState;
                if (state == kSceneRun) {
                    scene_->BeginMainLoop();
                    phase_ = Phase::kMainLoop;
                } else if (state == kSceneTitle) {
                    RunTitleBlock();
                } else if (state == kSceneQuit) {
                    ShutDown();
                    return false;
                } else {
                    return true;
                }
                continue;
            }
            case Phase::kMainLoop:
                if (!scene_->RunPass()) phase_ = Phase::kOuterLoop;
                return true;
        }
    }
}

int GameProgram::Run() {
    while (Step()) {
    }
    return result_;
}

void GameProgram::ShutDown() {
    if (phase_ == Phase::kEnded) return;
    phase_ = Phase::kEnded;
    DeleteAllGraphs();
    DeleteAllSounds();
    InitFontHandles();
    EndLibrary();
    libraryStarted_ = false;
    if (home_->gameInfo.Setting(GameInfo::kMidiSwitchSetting) == 1 && startHooks_.freeMidi) startHooks_.freeMidi();
    WriteGameIni(0, home_->playerSettings.softModeFlag, home_->wideValues.frameSkipLevel);
    scene_.reset();
    kept_.reset();
    RemoveFonts();
    if (startHooks_.freeSpeech) startHooks_.freeSpeech();
    result_ = 0;
}

void GameProgram::EndAfterFatalError(int exitCode) {
    phase_ = Phase::kEnded;
    result_ = exitCode;
    if (libraryStarted_) {
        EndLibrary();
        libraryStarted_ = false;
    }
    RemoveFonts();
    if (startHooks_.freeSpeech) startHooks_.freeSpeech();
    if (exit_) {
        exit_(exitCode);
    } else {
        std::exit(exitCode);
    }
}

bool AnotherPlayerOnThisDisplay() { return SecondInstanceRefused(); }

int RunGameProgram(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    RegisterLibraryParts();
    GameProgram program(commandLine);
    return program.Run();
}

}  // namespace velk
