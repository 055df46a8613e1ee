#pragma once
// The current map's events as the interpreters reach them: page refreshes,
// the waits for forced routes and scrolls, and the map events that asked
// to start. Installed by the shell as the event links' map.

#include "game/event/event_links.h"

namespace velk {

class GameSystem;
class Hero;
class MapState;

class MapEventLink : public EventMapLink {
public:
    MapEventLink(MapState& map, Hero& hero, GameSystem& system) : map_(map), hero_(hero), system_(system) {}

    void MarkPagesForRefresh() override;
    void RefreshPagesIfMarked() override;
    bool AnyForcedRouteRunning() override;
    bool ScrollWaitHolds() override;
    std::optional<StartingMapEvent> TakeStartingEvent() override;
    bool HasEvent(int32_t eventId) override;
    void StartErase(int32_t eventId, int32_t frames) override;
    void RestoreFacingAfterEvent(int32_t eventId) override;
    int32_t EventPageCount(int32_t eventId) override;
    SharedCommandList EventPageCommands(int32_t eventId, int32_t page) override;
    void RequestEventStart(int32_t eventId) override;

private:
    MapState& map_;
    Hero& hero_;
    GameSystem& system_;
};

// Performs the pending transfer of the hero: the destination map (when it
// is another), the hero placed on the destination's half-tile cell with
// the view centred, one map update, the followers gathered. False when the
// map could not be read (the scene state is then set to end the game).
bool PerformMapTransfer(MapState& map, Hero& hero, GameSystem& system);

}  // namespace velk
