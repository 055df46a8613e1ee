#pragma once
// The event commands that move characters and the view: moving a character
// or transferring the hero (130), move routes and the wait for them (201,
// 202), movement while events run (230, 231), the download command's
// answer (260), the party (270), screen shake (280), view scrolling (281)
// and the effects on characters and the map (290).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/event/command_table.h"

namespace velk {

class Character;
class EventTextLink;
class GameSystem;
class Hero;
class MapState;
struct CharacterWorld;

// The download command transfers nothing; its state only answers that a
// download was asked for. Not saved.
struct DownloadState {
    // -1 before any download command, 0 after one.
    int32_t status = -1;
    std::array<int32_t, 5> progress{};

    bool Start() {
        status = 0;
        return true;
    }
};

// Effects on pictures belong to the presentation, which installs this.
class PictureEffectLink {
public:
    virtual ~PictureEffectLink() = default;
    virtual void SetEffectRange(int32_t first, int32_t last, int32_t kind, int32_t a, int32_t b, int32_t c,
                                int32_t frames) {}
};

class CharacterCommands : public CommandHandlerSet {
public:
    // `nameList` is the main interpreter's remembered party names; `text`
    // expands the download command's texts (none: they stay as written).
    CharacterCommands(MapState& map, Hero& hero, CharacterWorld& world, GameSystem& system,
                      std::vector<std::string>& nameList, DownloadState& download, PictureEffectLink& pictures,
                      EventTextLink* text = nullptr)
        : map_(map),
          hero_(hero),
          world_(world),
          system_(system),
          nameList_(nameList),
          download_(download),
          pictures_(pictures),
          text_(text) {}
    void RegisterInto(CommandTable& table) override;

    CommandResult MoveLocation(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult SetMoveRoute(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult WaitForMoveRoutes(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult Download(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult PartyOperation(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult ShakeScreen(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult ScrollScreen(EventInterpreter& interpreter, const EventCommand& command);
    CommandResult Effect(EventInterpreter& interpreter, const EventCommand& command);

    // A character by the interpreter's codes: -1 the running event, -2 the
    // hero, -3 and below the followers, 0 and above a map event; null when
    // there is none.
    Character* FindCharacter(int32_t code, const EventInterpreter& interpreter);
    // The same for a command argument, which may name the code through a
    // variable.
    Character* GetCharacter(int32_t argument, EventInterpreter& interpreter);

private:
    std::string& SlotName(int32_t slot);

    MapState& map_;
    Hero& hero_;
    CharacterWorld& world_;
    GameSystem& system_;
    std::vector<std::string>& nameList_;
    DownloadState& download_;
    PictureEffectLink& pictures_;
    EventTextLink* text_;
};

}  // namespace velk
