#pragma once
// A map event as the current map holds it: a character driven by the page
// whose conditions hold. The page gives its look, its movement and its
// commands; the event asks the main interpreter to start those commands by
// its trigger, and a parallel page runs them in an interpreter of its own.

#include <cstdint>
#include <vector>

#include "game/event/command_list.h"
#include "game/event/event_interpreter.h"
#include "game/map/character.h"
#include "game/map/map_data.h"

namespace velk {

// The page's trigger byte.
enum EventTrigger : int32_t {
    kTriggerConfirm = 0,
    kTriggerAuto = 1,
    kTriggerParallel = 2,
    kTriggerHeroTouch = 3,
    kTriggerTouch = 4,
};

class MapEvent : public Character {
public:
    MapEvent(int32_t mapId, MapEventData data);

    // Chooses the page whose conditions hold (the last of them) and applies
    // it; the same page again changes nothing.
    void SelectPage();
    void RefreshPage() { SelectPage(); }
    // One frame: erase fade, movement, automatic start, the parallel page.
    void Update();

    // True when the request was set.
    bool RequestStart(int32_t page);
    void ClearStartRequest() { startRequest = 0; }
    void StartErase(int32_t frames);
    bool CanBeSteppedOn() const;
    // The event's reach (its page's extents) covers grid (x, y); `wide` is
    // the touch width (one more half tile each side).
    bool InReach(int32_t x, int32_t y, bool wide) const { return ReachCovers(x, y, gridX, gridY, wide); }
    // The event's reach around (x, y) holds (subjectX, subjectY).
    bool ReachCovers(int32_t x, int32_t y, int32_t subjectX, int32_t subjectY, bool wide) const;
    void CheckTouchHero(int32_t x, int32_t y);
    void CheckAutoStart();
    int32_t Extent(int axis, int side) const;
    bool HasExtents() const { return pageIndex >= 0 && currentPage.HasCollisionExtents(); }

    void RunMoveRoute() { RunRoute(true); }
    void MoveRandomly();
    void MoveApproach();

    int32_t mapId;
    // One interpreter while a parallel page is applied.
    std::vector<EventInterpreter> interpreters;
    int32_t pageIndex = -1;
    EventPage currentPage;
    int32_t trigger = 0;
    uint8_t startRequest = 0;
    MapEventData data;
    SharedCommandList commands;
    int32_t eraseRemaining = -1;
    int32_t eraseTotal = -1;
    int32_t eraseStartOpacity = 255;

protected:
    bool OwnStep(int32_t direction, bool turnFirst) override;
};

}  // namespace velk
