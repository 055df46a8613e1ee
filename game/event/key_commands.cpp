// The key-input command and its wait, and the game-value command.
#include <algorithm>
#include <array>

#include "game/data/game_owners.h"
#include "game/data/system_variable_block.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/game_value_link.h"
#include "game/event/value_arithmetic.h"
#include "game/event/value_command_support.h"
#include "game/event/value_commands.h"

namespace velk {
namespace {

// The mode word of the key input.
constexpr int32_t kWaitForPress = 0x80;
constexpr int32_t kDeviceMask = 0xF00;
constexpr int32_t kAnyKeyboardKey = 0x100;
constexpr int32_t kAnyPadButton = 0x200;
constexpr int32_t kOptionPresent = 0x1000;
constexpr int32_t kConfirmClass = 0x10;
constexpr int32_t kCancelClass = 0x20;
constexpr int32_t kSubClass = 0x40;

// The option word of the game value.
constexpr int32_t kSixDigits = 0x1;
constexpr int32_t kIndirectTarget = 0x10;
constexpr int32_t kPrecise = 0x20;

enum GameValueKind { kCharacterValue = 1, kMapValue = 2, kOtherValue = 3, kPictureValue = 4 };

// Screen bounds of "on the screen", in chips.
constexpr int32_t kScreenChipsWide = 21;
constexpr int32_t kScreenChipsHigh = 17;

int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

// A game button by its class: held without the wait; with it, newly
// pressed, or on a repeat tick while the system variable allows it.
bool ButtonCounts(KeyInputLink& keys, int button, bool wait, bool repeatAllowed) {
    if (!wait) return keys.ButtonHeld(button);
    return keys.ButtonPressed(button) || (repeatAllowed && keys.ButtonRepeat(button));
}

int32_t DirectionResult(KeyInputLink& keys, int32_t modeNibble, bool wait) {
    auto counts = [&](int direction) {
        if (!wait) return keys.DirectionHeld(direction);
        return keys.DirectionPressed(direction) || (keys.DirectionHeld(direction) && keys.Repeat4() != 0);
    };
    switch (modeNibble) {
        case 1: return wait ? keys.Repeat4() : keys.Direction4();
        case 2: return wait ? keys.Repeat8() : keys.Direction8();
        case 3: return counts(0) ? 8 : 0;
        case 4: return counts(1) ? 2 : 0;
        case 5: return counts(2) ? 4 : 0;
        case 6: return counts(3) ? 6 : 0;
        case 7: return std::max(counts(0) ? 8 : 0, counts(1) ? 2 : 0);
        case 8: return std::max(counts(2) ? 4 : 0, counts(3) ? 6 : 0);
        default: return 0;
    }
}

int64_t PositiveModulo(int64_t value, int64_t divisor) {
    const int64_t rest = value % divisor;
    return rest < 0 ? rest + divisor : rest;
}

}  // namespace

void EventInterpreter::StepKeyInput() {
    EventLinks& links = ActiveEventLinks();
    if (links.system->GameLoadedThisFrame() || links.systemVariables->textPromptState == 1) {
        keyWaitCount = 0;
        return;
    }
    const EventCommand* command = CommandAt(waitKey ? line - 1 : line);
    if (!command || command->Code() != CodeValue(CommandCode::kKeyInput)) {
        // Nothing to wait for: the list changed under the wait.
        waitKey = 0;
        keyWaitCount = 0;
        return;
    }
    const int32_t target = Arg(*command, 1);
    const int32_t mode = Arg(*command, 2);
    const bool wait = waitKey != 0;
    KeyInputLink& keys = *links.keyInput;
    int32_t result = 0;
    switch (mode & kDeviceMask) {
        case kAnyKeyboardKey: {
            std::array<uint8_t, 256> keyboard{};
            keys.ReadKeyboard(keyboard);
            result = CaptureKeyboardKey(false, wait, keyCaptureState, keyOption, keyboard);
            break;
        }
        case kAnyPadButton:
            result = CapturePadButton(false, wait, padCaptureState, keyOption, keys.PadButtons());
            break;
        case 0: {
            const SystemVariableBlock& system = *links.systemVariables;
            if ((mode & kConfirmClass) && ButtonCounts(keys, 0, wait, system.sysVar59 == 1)) result = 10;
            if (result == 0 && (mode & kCancelClass) && ButtonCounts(keys, 1, wait, system.sysVar60 == 1)) result = 11;
            if (result == 0 && (mode & kSubClass) && ButtonCounts(keys, 2, wait, false)) result = 12;
            if (result == 0) result = DirectionResult(keys, mode & 0xF, wait);
            break;
        }
        default: break;
    }
    if (!wait) {
        SetIntVariable(target, result);
    } else if (result != 0) {
        SetIntVariable(target, result);
        waitKey = 0;
    }
}

CommandResult ValueCommands::KeyInput(EventInterpreter& in, const EventCommand& command) {
    const int32_t mode = Arg(command, 2);
    in.keyOption = (mode & kOptionPresent) && command.arguments.size() >= 4 ? in.GetValue(command.arguments[3]) : 0;
    in.keyResult = 0;
    if (mode & kWaitForPress) {
        in.waitKey = 1;
        // A fresh capture: what is held now must be released first.
        if ((mode & kDeviceMask) == kAnyKeyboardKey) {
            std::array<uint8_t, 256> keyboard{};
            links_.keys->ReadKeyboard(keyboard);
            CaptureKeyboardKey(true, false, in.keyCaptureState, -1, keyboard);
        } else if ((mode & kDeviceMask) == kAnyPadButton) {
            CapturePadButton(true, false, in.padCaptureState, -1, links_.keys->PadButtons());
        }
    } else {
        in.StepKeyInput();
    }
    return CommandResult::kAdvance;
}

CommandResult ValueCommands::AssignGameValue(EventInterpreter& in, const EventCommand& command) {
    const int32_t flags = Arg(command, 2);
    int32_t target = Arg(command, 1);
    int32_t current = in.GetValue(target);
    if (flags & kIndirectTarget) {
        target = current < kMapSelfBase ? current + kVariableBase : current;
        current = in.GetValue(target);
    }
    const int32_t kind = (flags >> 12) & 0xF;
    if (kind < kCharacterValue || kind > kPictureValue) return CommandResult::kNext;
    const int32_t value = GameValue(in, kind, flags, Arg(command, 3), Arg(command, 4));
    ActiveEventLinks().map->MarkPagesForRefresh();
    int32_t result = 0;
    if (AssignInt((flags >> 8) & 0xF, current, value, result)) {
        in.SetIntVariable(target, ClampToSixDigits((flags & kSixDigits) != 0, result));
    }
    return CommandResult::kNext;
}

int32_t ValueCommands::GameValue(EventInterpreter& in, int32_t kind, int32_t flags, int32_t first, int32_t second) {
    switch (kind) {
        case kCharacterValue: return CharacterValue(in, first, second);
        case kMapValue:
            return MapValue((flags >> 16) & 0xF, in.GetValue(first), in.GetValue(second), (flags & kPrecise) != 0);
        case kOtherValue: return OtherValue(in, first);
        case kPictureValue: return links_.gameValues->PictureProperty(in.GetValue(first), second);
        default: return 0;
    }
}

int32_t ValueCommands::CharacterValue(EventInterpreter& in, int32_t code, int32_t field) {
    const std::optional<CharacterValues> found = links_.gameValues->Character(in, in.GetValue(code));
    if (!found) return -1;
    const CharacterValues& c = *found;
    // Page values belong to map events that have a page and take part in
    // the map.
    const bool hasPage = c.isMapEvent && !c.passesThrough && c.page >= 0;
    auto option = [&](size_t k) { return k < c.pageOptions.size() ? static_cast<int32_t>(c.pageOptions[k]) : 0; };
    switch (field) {
        case 0: return c.halfTileX / 2;
        case 1: return c.halfTileY / 2;
        case 2: return c.halfTileX;
        case 3: return c.halfTileY;
        case 4: return c.height;
        case 5: return c.facing;
        case 6: return c.screenX;
        case 7: return c.screenY;
        case 8: return option(0);
        case 9: return c.terrainTag;
        case 10: return c.id;
        case 11: {
            const int32_t chip = links_.gameValues->ChipSize();
            const bool across = -chip < c.loopedScreenX && c.loopedScreenX < kScreenChipsWide * chip;
            const bool down = -chip < c.loopedDrawY && c.loopedDrawY < kScreenChipsHigh * chip;
            return across && down ? 1 : 0;
        }
        case 12: return hasPage ? c.page + 1 : 0;
        case 13: return hasPage ? c.trigger : 0;
        case 14: return hasPage && c.pageOptions.size() >= 3 ? option(1) : 0;
        case 15: return hasPage && c.pageOptions.size() >= 3 ? option(2) : 0;
        default: return 0;
    }
}

int32_t ValueCommands::MapValue(int32_t subKind, int32_t x, int32_t y, bool precise) {
    GameValueLink& map = *links_.gameValues;
    const int32_t halfX = precise ? x : Wrap(int64_t{x} * 2);
    const int32_t halfY = precise ? y : Wrap(int64_t{y} * 2);
    switch (subKind) {
        case 0: return map.TerrainTag(halfX, halfY);
        case 1:
            for (const MapEventPlace& event : map.MapEvents()) {
                const bool here = precise ? event.halfTileX == x && event.halfTileY == y
                                          : event.halfTileX / 2 == x && event.halfTileY / 2 == y;
                if (here) return event.id;
            }
            return -1;
        case 2: return map.IsPassable(halfX, halfY) ? 0 : 1;
        case 3: return map.HeroCanStep(halfX, halfY) ? 0 : 1;
        case 4:
            for (int32_t layer = 2; layer >= 0; --layer) {
                if (const int32_t tile = map.TileIndex(layer, halfX, halfY); tile != 0) return tile;
            }
            return 0;
        default: return 0;
    }
}

int32_t ValueCommands::OtherValue(EventInterpreter& in, int32_t number) {
    GameValueLink& game = *links_.gameValues;
    KeyInputLink& keys = *links_.keys;
    MapOwner& map = *ActiveGameOwners().map;
    switch (number) {
        case 0: return game.PendingTransferMap().value_or(map.CurrentMapId());
        case 1: return game.SoundNumber(0);
        case 2: return game.SoundNumber(1);
        case 3: return game.SoundPosition(0);
        case 4: return game.SoundPosition(1);
        case 5: return game.SoundLength(0);
        case 6: return game.SoundLength(1);
        case 7: return keys.MouseButton(0);
        case 8: return keys.MouseButton(1);
        case 9: return keys.MouseButton(2);
        case 10: return keys.WheelTurns();
        case 11: return keys.MouseMoveX();
        case 12: return keys.MouseMoveY();
        case 13: return EventUnderMouse();
        case 14: return in.eventId;
        case 15: return map.MapWidth();
        case 16: return map.MapHeight();
        default: return 0;
    }
}

int32_t ValueCommands::EventUnderMouse() {
    MapOwner& map = *ActiveGameOwners().map;
    InputOwner& input = *ActiveGameOwners().input;
    const int64_t chip = links_.gameValues->ChipSize();
    const int64_t width = map.MapWidth() * chip;
    const int64_t height = map.MapHeight() * chip;
    // Without a map nothing is under the mouse.
    if (width <= 0 || height <= 0) return -1;
    const int64_t mx = PositiveModulo(map.ScrollX() / 4 + int64_t{input.MouseX()} + width, width);
    const int64_t my = PositiveModulo(map.ScrollY() / 4 + int64_t{input.MouseY()} + height, height);
    int32_t found = -1;
    for (const MapEventPlace& event : links_.gameValues->MapEvents()) {
        const int64_t dx = mx - event.quarterX / 4;
        const int64_t dy = my - event.quarterY / 4;
        const int64_t top = chip / 2 - (event.halfHeight ? chip / 2 : 0);
        if (dx > 0 && dx < chip && dy >= top && dy <= chip && (found < 0 || event.id < found)) found = event.id;
    }
    return found;
}

}  // namespace velk
