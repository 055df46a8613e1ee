#include "game/map/character_commands.h"

#include <algorithm>
#include <cstdint>

#include "game/data/data_texts.h"
#include "game/data/database.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/game_system.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/event_records.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"
#include "game/map/map_texts.h"

namespace velk {
namespace {

constexpr int32_t kRegisteredLocation = -10001;
constexpr int32_t kRegisteredLocationType = 7;
constexpr int32_t kPartySlots = 6;

// A transfer's position in half tiles. Positions far outside any map wrap
// into it later; the product is held to 32 bits first so it cannot overflow.
int32_t HalfTiles(int32_t value, int32_t scale) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{value} * scale, INT32_MIN, INT32_MAX));
}

template <typename Method>
void Bind(CommandTable& table, CommandCode code, uint8_t arguments, uint8_t strings, CharacterCommands* set,
          Method method) {
    table.Register(code, arguments, strings, [set, method](EventInterpreter& in, const EventCommand& command) {
        return (set->*method)(in, command);
    });
}

}  // namespace

void CharacterCommands::RegisterInto(CommandTable& table) {
    Bind(table, CommandCode::kMoveLocation, 5, 0, this, &CharacterCommands::MoveLocation);
    Bind(table, CommandCode::kSetMoveRoute, 2, 0, this, &CharacterCommands::SetMoveRoute);
    Bind(table, CommandCode::kWaitForMoveRoutes, 1, 0, this, &CharacterCommands::WaitForMoveRoutes);
    table.Register(CommandCode::kAllowMovementInEvent, 1, 0, [this](EventInterpreter&, const EventCommand&) {
        world_.values.movementInEvents = 1;
        return CommandResult::kNext;
    });
    table.Register(CommandCode::kStopMovementInEvent, 1, 0, [this](EventInterpreter&, const EventCommand&) {
        world_.values.movementInEvents = 0;
        return CommandResult::kNext;
    });
    Bind(table, CommandCode::kDownload, 3, 2, this, &CharacterCommands::Download);
    Bind(table, CommandCode::kPartyOperation, 4, 1, this, &CharacterCommands::PartyOperation);
    Bind(table, CommandCode::kShakeScreen, 3, 0, this, &CharacterCommands::ShakeScreen);
    Bind(table, CommandCode::kScrollScreen, 4, 0, this, &CharacterCommands::ScrollScreen);
    Bind(table, CommandCode::kEffect, 8, 0, this, &CharacterCommands::Effect);
}

Character* CharacterCommands::FindCharacter(int32_t code, const EventInterpreter& interpreter) {
    if (code == -1) {
        if (interpreter.eventId < 0) return nullptr;
        return map_.FindEvent(interpreter.eventId);
    }
    if (code == kHeroId) return &hero_;
    if (code <= -3) {
        const int64_t index = -3 - static_cast<int64_t>(code);
        if (index >= static_cast<int64_t>(hero_.followers.size())) return nullptr;
        return &hero_.followers[static_cast<size_t>(index)];
    }
    return map_.FindEvent(code);
}

Character* CharacterCommands::GetCharacter(int32_t argument, EventInterpreter& interpreter) {
    return FindCharacter(interpreter.GetValue(argument), interpreter);
}

CommandResult CharacterCommands::MoveLocation(EventInterpreter& interpreter, const EventCommand& command) {
    const auto& args = command.arguments;
    int32_t code = args[1];
    if (code == -2) {
        code = -1;
    } else if (code == -1) {
        code = kHeroId;
    } else if (code != kRegisteredLocation) {
        code = interpreter.GetValue(code);
        if (code < -999) return CommandResult::kAdvance;
    }
    const int32_t precise = args.size() >= 6 ? (args[5] & 1) : 0;
    if (code != kHeroId && code != kRegisteredLocation) {
        Character* character = FindCharacter(code, interpreter);
        if (character) character->SetPosition(interpreter.GetValue(args[2]), interpreter.GetValue(args[3]), precise);
        return CommandResult::kAdvance;
    }
    if (system_.transferPending || system_.windowBusy || system_.messageWindowOpen || system_.transitionRunning) {
        return CommandResult::kStopFrame;
    }
    system_.transferPending = 1;
    if (code == kHeroId) {
        system_.transferMap = args[4] == -1 ? map_.mapId : interpreter.GetValue(args[4]);
        const int32_t scale = precise ? 1 : 2;
        system_.transferX = HalfTiles(interpreter.GetValue(args[2]), scale);
        system_.transferY = HalfTiles(interpreter.GetValue(args[3]), scale);
    } else {
        Database& system = ActiveEventLinks().databases->system;
        const int32_t n = interpreter.GetValue(args[2]);
        system_.transferMap = interpreter.GetValue(system.GetInt(kRegisteredLocationType, n, 0));
        system_.transferX = HalfTiles(interpreter.GetValue(system.GetInt(kRegisteredLocationType, n, 1)), 2);
        system_.transferY = HalfTiles(interpreter.GetValue(system.GetInt(kRegisteredLocationType, n, 2)), 2);
    }
    system_.transferDirection = hero_.facing;
    // The next command runs after the frame has carried the hero over.
    interpreter.waitFrames = 1;
    return CommandResult::kAdvance;
}

CommandResult CharacterCommands::SetMoveRoute(EventInterpreter& interpreter, const EventCommand& command) {
    Character* character = GetCharacter(command.arguments[1], interpreter);
    if (character && !command.routes.empty()) character->StartMoveRoute(command.routes.front());
    return CommandResult::kAdvance;
}

CommandResult CharacterCommands::WaitForMoveRoutes(EventInterpreter& interpreter, const EventCommand&) {
    interpreter.waitRoutes = 1;
    return CommandResult::kAdvance;
}

CommandResult CharacterCommands::Download(EventInterpreter& interpreter, const EventCommand& command) {
    // Nothing is fetched, but the address and file name are expanded as
    // games expect: a leading "@n" line still sets system variable 0, and a
    // broken code shows its box.
    if (text_) {
        EventTextOptions options;
        options.mapEventId = interpreter.eventId;
        options.commonEventId = interpreter.commonId;
        options.mapId = interpreter.mapId;
        options.valuesOnly = true;
        options.leadingAtSignLine = true;
        for (size_t i = 0; i < 2 && i < command.strings.size(); ++i)
            text_->ConvertEscapeCodes(command.strings[i], options);
    }
    download_.Start();
    return CommandResult::kAdvance;
}

std::string& CharacterCommands::SlotName(int32_t slot) {
    if (slot <= 1) return hero_.graphicFileName;
    return hero_.followers[static_cast<size_t>(slot - 2)].graphicFileName;
}

CommandResult CharacterCommands::PartyOperation(EventInterpreter& interpreter, const EventCommand& command) {
    const auto& args = command.arguments;
    const int32_t operation = args[1] & 0xF;
    const int32_t sub = (args[1] >> 4) & 0xF;
    // The party is the hero and as many followers as there are slots.
    if (hero_.followers.size() < kPartySlots - 1) hero_.followers.resize(kPartySlots - 1);
    int32_t slot = 0;
    if (operation <= 2) {
        slot = interpreter.GetValue(args[2]);
        if (slot < 1) {
            ActiveErrorReporter().ShowErrorBox(texts::kPartySlotTooLow, texts::kPartySlotTooLowHint,
                                               FormatErrorLocation());
            return CommandResult::kAdvance;
        }
        if (slot > kPartySlots) {
            ActiveErrorReporter().ShowErrorBox(texts::kPartySlotTooHigh, texts::kPartySlotTooHighHint,
                                               FormatErrorLocation());
            return CommandResult::kAdvance;
        }
    }
    std::string name;
    if (operation >= 1 && operation <= 3) {
        if (args[1] & 0x100) {
            name = interpreter.GetStringVariable(args[3]);
            if (name == texts::kErrorValue) name = interpreter.GetStringVariable(interpreter.GetValue(args[3]));
        } else {
            name = command.strings[0];
        }
    }
    switch (operation) {
        case 0: SlotName(slot).clear(); break;
        case 1:
            for (int32_t i = kPartySlots; i > slot; --i)
                SlotName(i) = SlotName(i - 1);
            SlotName(slot) = name;
            break;
        case 2: SlotName(slot) = name; break;
        case 3:
            for (int32_t i = 1; i <= kPartySlots; ++i) {
                if (SlotName(i) == name) SlotName(i).clear();
            }
            break;
        case 4:
            switch (sub) {
                case 0: {
                    std::vector<std::string> names;
                    for (int32_t i = 1; i <= kPartySlots; ++i) {
                        if (!SlotName(i).empty()) names.push_back(SlotName(i));
                    }
                    if (names.empty()) break;
                    for (int32_t i = 1; i <= kPartySlots; ++i)
                        SlotName(i) = static_cast<size_t>(i) <= names.size() ? names[static_cast<size_t>(i - 1)] : "";
                    break;
                }
                case 1:
                    for (int32_t i = 1; i <= kPartySlots; ++i)
                        SlotName(i).clear();
                    break;
                case 2: hero_.GatherFollowers(); break;
                case 3:
                case 4:
                    hero_.formation = sub == 3 ? 1 : 0;
                    hero_.lastDirection = 0;
                    // Leaving formation starts the trail afresh: the followers stand
                    // where formation left them.
                    if (sub == 4) hero_.stepTrail.assign(hero_.stepTrail.size(), 0);
                    break;
                case 5:
                case 6: {
                    const int16_t value = sub == 5 ? 0 : 255;
                    hero_.opacity = value;
                    for (Character& follower : hero_.followers)
                        follower.opacity = value;
                    break;
                }
                case 7:
                    nameList_.resize(kPartySlots);
                    for (int32_t i = 1; i <= kPartySlots; ++i)
                        nameList_[static_cast<size_t>(i - 1)] = SlotName(i);
                    break;
                case 8:
                    for (int32_t i = 1; i <= kPartySlots; ++i)
                        SlotName(i) =
                            static_cast<size_t>(i) <= nameList_.size() ? nameList_[static_cast<size_t>(i - 1)] : "";
                    break;
                case 9: world_.values.followersWalk = 1; break;
                case 10: world_.values.followersWalk = 0; break;
                default: break;
            }
            break;
        default: break;
    }
    return CommandResult::kAdvance;
}

CommandResult CharacterCommands::ShakeScreen(EventInterpreter& interpreter, const EventCommand& command) {
    const int32_t word = command.arguments[1];
    const int32_t mode = (word >> 8) & 0xF;
    if (mode == 0 || mode == 1) {
        map_.StartShake(word & 0xF, (word >> 4) & 0xF, mode, interpreter.GetValue(command.arguments[2]));
    } else if (mode == 2) {
        map_.StopShake();
    }
    return CommandResult::kAdvance;
}

CommandResult CharacterCommands::ScrollScreen(EventInterpreter& interpreter, const EventCommand& command) {
    const auto& args = command.arguments;
    const int32_t mode = args[1] & 0xF;
    const int32_t speed = (args[1] >> 4) & 0xF;
    const bool wait = (args[1] & 0x100) != 0;
    const int64_t chip = map_.settings.chipSize;
    auto fit = [](int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); };
    if (mode == 0) {
        const int64_t d = (args[1] & 0x200) ? chip : 1;
        const int64_t dx = static_cast<int64_t>(interpreter.GetValue(args[2])) * chip * 2 / d * 2;
        const int64_t dy = static_cast<int64_t>(interpreter.GetValue(args[3])) * chip * 2 / d * 2;
        map_.StartScroll(fit(dx), fit(dy), speed);
        system_.scrollWaitFlag = wait ? 1 : 0;
    } else if (mode == 1) {
        int64_t tx = static_cast<int64_t>(hero_.gridX) * 2 * chip - 19 * 2 * chip;
        int64_t ty = static_cast<int64_t>(hero_.gridY) * 2 * chip - 14 * 2 * chip;
        if (!map_.loopX) tx = std::clamp<int64_t>(tx, 0, std::max<int64_t>((map_.GetWidth() - 20) * 4 * chip, 0));
        if (!map_.loopY) ty = std::clamp<int64_t>(ty, 0, std::max<int64_t>((map_.GetHeight() - 15) * 4 * chip, 0));
        map_.StartScroll(fit(tx - map_.scrollX), fit(ty - map_.scrollY), speed);
        system_.scrollWaitFlag = wait ? 1 : 0;
    } else if (mode == 2) {
        world_.values.viewLock = 1;
    } else if (mode == 3) {
        world_.values.viewLock = 0;
    }
    return CommandResult::kAdvance;
}

CommandResult CharacterCommands::Effect(EventInterpreter& interpreter, const EventCommand& command) {
    const auto& args = command.arguments;
    const int32_t target = args[1] & 0xF;
    const int32_t kind = (args[1] >> 4) & 0xF;
    auto value = [&](size_t i) { return interpreter.GetValue(args[i]); };
    if (target == 0) {
        pictures_.SetEffectRange(value(3), value(4), kind, value(5), value(6), value(7), value(2));
    } else if (target == 1) {
        Character* character = GetCharacter(args[3], interpreter);
        if (!character) return CommandResult::kAdvance;
        if (kind == 0) {
            const uint32_t r = static_cast<uint32_t>(std::clamp(value(5), -100, 100) + 100);
            const uint32_t g = static_cast<uint32_t>(std::clamp(value(6), -100, 100) + 100);
            const uint32_t b = static_cast<uint32_t>(std::clamp(value(7), -100, 100) + 100);
            character->StartColorEffect(r * 65536 + g * 256 + b, value(2));
        } else if (kind == 1) {
            character->StartShake(value(5), value(6), value(7), value(2));
        }
    } else if (target == 2 && kind == 0) {
        map_.StartZoom(value(5), value(6), value(7), value(2));
    }
    return CommandResult::kAdvance;
}

}  // namespace velk
