#include "game/present/picture_commands.h"

#include <algorithm>

#include "game/data/database.h"
#include "game/data/game_system.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/event_records.h"
#include "game/event/main_event_interpreter.h"
#include "game/present/escape_codes.h"
#include "game/present/picture_drawing.h"
#include "game/present/picture_list.h"
#include "game/present/text_renderer.h"

namespace velk {
namespace {

// The system-database type of the transition images.
constexpr int32_t kTransitionImageType = 11;

// Fields of the picture command's operation word.
struct PictureWord {
    explicit PictureWord(int32_t word)
        : operation(word & 0x0F),
          source((word >> 4) & 0x0F),
          blendWord(((word >> 8) & 0x0F) | ((word >> 25) & 1 ? kMapLinkBit : 0)),
          anchor((word >> 12) & 0x0F),
          relative(((word >> 16) & 0x0F) == 1),
          zoomAxis((word >> 20) & 0x0F),
          range(((word >> 24) & 1) != 0) {}
    int32_t operation, source, blendWord, anchor;
    bool relative;
    int32_t zoomAxis;
    bool range;
};

int32_t Argument(const EventCommand& command, size_t k) {
    return k < command.arguments.size() ? command.arguments[k] : 0;
}

// (component - 100) x 255 / 100 of the eight bits at `shift`.
int16_t ScreenComponent(int32_t packed, int shift) {
    return static_cast<int16_t>((((packed >> shift) & 0xFF) - 100) * 255 / 100);
}

}  // namespace

void GameSystemScreen::SetSceneState(int32_t state) { system_.sceneState = state; }
bool GameSystemScreen::WindowBusy() { return system_.windowBusy != 0; }
bool GameSystemScreen::TransitionPrepared() { return system_.transitionPrepared != 0; }
void GameSystemScreen::SetTransitionPrepared(bool prepared) { system_.transitionPrepared = prepared ? 1 : 0; }
bool GameSystemScreen::TransitionRunning() { return system_.transitionRunning != 0; }
void GameSystemScreen::StartTransition() {
    system_.transitionRunning = 1;
    system_.transitionLeft = system_.transitionLength;
}
int32_t GameSystemScreen::TransitionStartScreen() { return system_.transitionStartScreen; }
int32_t GameSystemScreen::FrozenScreen() { return system_.frozenScreen; }
int32_t GameSystemScreen::TransitionGraph() { return system_.transitionImage; }
void GameSystemScreen::SetTransitionImage(const std::string& path, int32_t graph, bool plainFade, int32_t frames,
                                          uint8_t option) {
    system_.transitionImagePath = path;
    system_.transitionImage = graph;
    system_.plainFade = plainFade ? 1 : 0;
    system_.transitionLength = frames;
    system_.transitionWaits = option;
}

void SetTransitionGraphic(ScreenStateLink& screen, PictureDrawing& drawing, Database& systemDatabase, int32_t row,
                          int32_t frames, uint8_t option) {
    const int32_t current = screen.TransitionGraph();
    if (current > 0) drawing.DeleteGraph(current);
    if (row < 0) {
        screen.SetTransitionImage("", -1, true, frames, option);
        return;
    }
    const std::string path = "Data\\" + systemDatabase.GetString(kTransitionImageType, row, 0);
    screen.SetTransitionImage(path, drawing.LoadGraphAsOneTexture(path), false, frames, option);
}

void PictureCommands::RegisterInto(CommandTable& table) {
    table.Register(CommandCode::kPicture, 3, 0,
                   [this](EventInterpreter& in, const EventCommand& command) { return PictureCommand(in, command); });
    table.Register(CommandCode::kScreenColor, 3, 0,
                   [this](EventInterpreter&, const EventCommand& command) { return ScreenColor(command); });
    table.Register(CommandCode::kSetTransition, 3, 0,
                   [this](EventInterpreter&, const EventCommand& command) { return SetTransition(command); });
    table.Register(CommandCode::kPrepareTransition, 1, 0, [this](EventInterpreter&, const EventCommand&) {
        return PrepareTransition() ? CommandResult::kAdvance : CommandResult::kStopFrame;
    });
    table.Register(CommandCode::kExecuteTransition, 1, 0,
                   [this](EventInterpreter&, const EventCommand&) { return ExecuteTransition(); });
    table.Register(CommandCode::kReturnToTitle, 1, 0,
                   [this](EventInterpreter& in, const EventCommand&) { return EndGame(in, 0); });
    table.Register(CommandCode::kQuitGame, 1, 0,
                   [this](EventInterpreter& in, const EventCommand&) { return EndGame(in, -1); });
    table.Register(CommandCode::kFreezeScreen, 1, 0,
                   [this](EventInterpreter&, const EventCommand&) { return Freeze(true); });
    table.Register(CommandCode::kUnfreezeScreen, 1, 0,
                   [this](EventInterpreter&, const EventCommand&) { return Freeze(false); });
    table.Register(CommandCode::kWait, 2, 0, [](EventInterpreter& in, const EventCommand& command) {
        // Read twice, as a random-number variable draws twice.
        in.waitFrames = in.GetValue(command.arguments[1]) < 0 ? 0 : in.GetValue(command.arguments[1]);
        return CommandResult::kAdvance;
    });
}

CommandResult PictureCommands::PictureCommand(EventInterpreter& in, const EventCommand& command) {
    const PictureWord word(command.arguments[1]);
    const size_t count = command.arguments.size();
    const auto value = [&](size_t k) { return in.GetValue(Argument(command, k)); };
    const bool showOrMove = word.operation == 0 || word.operation == 1;
    int32_t color = kNeutralPackedColor;
    int32_t delay = 0;
    if (showOrMove) {
        if (count >= 14) color = Argument(command, 13);
        if (count >= 15) delay = value(14);
    } else if (word.operation == 2) {
        if (count >= 5) delay = value(4);
        if (count >= 6) color = Argument(command, 5);
    }
    int32_t first = value(2), last = first;
    if (word.range) {
        const size_t second = showOrMove ? 15 : word.operation == 2 ? 6 : 3;
        if (count > second) {
            const int32_t other = value(second);
            last = std::max(first, other);
            first = std::min(first, other);
        }
    }
    PictureArguments a;
    if (showOrMove) {
        a.frames = value(3);
        a.divisionsX = value(4);
        a.divisionsY = value(5);
        a.pattern = value(6);
        a.opacity = value(7);
        a.x = value(8);
        a.y = value(9);
        PictureZoomPair(value(10), word.zoomAxis, a.zoomX, a.zoomY);
        a.angle = value(11);
        a.anchor = word.anchor;
        a.color = color;
        a.relative = word.relative;
        a.blendWord = word.blendWord;
    }
    switch (word.operation) {
        case 0:
            if (word.source == 0 || word.source == 3) {
                pictures_.Show(first, last, command.strings.empty() ? "" : command.strings[0], a, delay,
                               word.source == 3);
            } else if (word.source == 1 || word.source == 4) {
                const std::string name = RevertEscapeCodes(in.GetStringVariable(value(12)));
                pictures_.Show(first, last, name, a, delay, word.source == 4);
            } else if (word.source == 2) {
                EscapeCodeOptions options;
                options.mapEventId = in.eventId;
                options.commonEventId = in.commonId;
                options.mapId = in.mapId;
                const std::string text = ConvertEscapeCodes(*ActiveEventLinks().variables,
                                                            command.strings.empty() ? "" : command.strings[0], options);
                a.blendWord &= ~kMapLinkBit;
                pictures_.ShowString(first, last, text, a, delay);
            }
            break;
        case 1:
            a.blendWord &= ~kMapLinkBit;
            pictures_.Move(first, last, a, delay);
            break;
        case 2: pictures_.EraseRange(first, last, value(3), delay, color); break;
        case 3: pictures_.CancelDelayedRange(first, last); break;
        default: break;
    }
    return CommandResult::kAdvance;
}

CommandResult PictureCommands::ScreenColor(const EventCommand& command) {
    const int32_t packed = command.arguments[1];
    const int16_t c0 = ScreenComponent(packed, 0), c1 = ScreenComponent(packed, 8), c2 = ScreenComponent(packed, 16);
    if (packed & kKeepColorBit) {
        main_.StartFlash(c0, c1, c2, command.arguments[2]);
    } else {
        main_.StartTone(c0, c1, c2, command.arguments[2]);
    }
    return CommandResult::kAdvance;
}

CommandResult PictureCommands::SetTransition(const EventCommand& command) {
    main_.transitionGraphic = command.arguments[1];
    main_.transitionFrames = command.arguments[2] & 0xFFFF;
    main_.transitionWait = static_cast<uint8_t>((command.arguments[2] >> 16) & 1);
    SetTransitionGraphic(screen_, drawing_, systemDatabase_, main_.transitionGraphic, main_.transitionFrames,
                         main_.transitionWait);
    return CommandResult::kAdvance;
}

void PictureCommands::CaptureScreen(int32_t graph) {
    if (graph <= 0) return;
    const int32_t side = settings_.chipSize * std::max(1, settings_.displayScale);
    drawing_.CaptureScreen(0, 0, 20 * side, 15 * side, graph);
}

bool PictureCommands::PrepareTransition() {
    if (screen_.WindowBusy() || screen_.TransitionRunning()) return false;
    screen_.SetTransitionPrepared(true);
    CaptureScreen(screen_.TransitionStartScreen());
    return true;
}

CommandResult PictureCommands::ExecuteTransition() {
    if (!screen_.TransitionPrepared()) PrepareTransition();
    if (screen_.TransitionRunning()) return CommandResult::kStopFrame;
    screen_.SetTransitionPrepared(false);
    screen_.StartTransition();
    return CommandResult::kAdvance;
}

CommandResult PictureCommands::EndGame(EventInterpreter& in, int32_t sceneState) {
    screen_.SetSceneState(sceneState);
    in.CmdEndOfList();
    return CommandResult::kAdvance;
}

CommandResult PictureCommands::Freeze(bool frozen) {
    screen_.SetMapVisible(!frozen);
    if (frozen) CaptureScreen(screen_.FrozenScreen());
    return CommandResult::kAdvance;
}

}  // namespace velk
