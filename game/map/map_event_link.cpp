#include "game/map/map_event_link.h"

#include "game/data/game_system.h"
#include "game/event/command_preparation.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"

namespace velk {

void MapEventLink::MarkPagesForRefresh() { map_.refreshPagesFlag = 1; }

void MapEventLink::RefreshPagesIfMarked() {
    if (map_.refreshPagesFlag) map_.RefreshPages();
}

bool MapEventLink::AnyForcedRouteRunning() {
    if (hero_.forcedRoute) return true;
    for (const Character& follower : hero_.followers) {
        if (follower.forcedRoute) return true;
    }
    for (const MapEvent& event : map_.events) {
        if (event.forcedRoute) return true;
    }
    return false;
}

bool MapEventLink::ScrollWaitHolds() {
    if (!system_.scrollWaitFlag) return false;
    if (map_.IsScrolling()) return true;
    system_.scrollWaitFlag = 0;
    return false;
}

std::optional<StartingMapEvent> MapEventLink::TakeStartingEvent() {
    for (MapEvent& event : map_.events) {
        if (!event.startRequest || !event.commands) continue;
        if (event.trigger != kTriggerAuto) {
            event.ClearStartRequest();
            event.FaceHeroForEvent();
        }
        return StartingMapEvent{event.id, event.commands};
    }
    return std::nullopt;
}

bool MapEventLink::HasEvent(int32_t eventId) { return map_.FindEvent(eventId) != nullptr; }

void MapEventLink::StartErase(int32_t eventId, int32_t frames) {
    if (MapEvent* event = map_.FindEvent(eventId)) event->StartErase(frames);
}

void MapEventLink::RestoreFacingAfterEvent(int32_t eventId) {
    if (MapEvent* event = map_.FindEvent(eventId)) event->RestoreFacingAfterEvent();
}

int32_t MapEventLink::EventPageCount(int32_t eventId) {
    const MapEvent* event = map_.FindEvent(eventId);
    return event ? static_cast<int32_t>(event->data.pages.size()) : -1;
}

SharedCommandList MapEventLink::EventPageCommands(int32_t eventId, int32_t page) {
    const MapEvent* event = map_.FindEvent(eventId);
    if (!event) return nullptr;
    if (page < 0) return event->commands ? event->commands : std::make_shared<const CommandList>();
    if (static_cast<size_t>(page) >= event->data.pages.size()) return nullptr;
    auto list = std::make_shared<CommandList>(event->data.pages[static_cast<size_t>(page)].commands);
    PadCommands(*list, *ActiveEventLinks().table);
    return list;
}

void MapEventLink::RequestEventStart(int32_t eventId) {
    if (MapEvent* event = map_.FindEvent(eventId)) event->RequestStart(-1);
}

bool PerformMapTransfer(MapState& map, Hero& hero, GameSystem& system) {
    system.transferPending = 0;
    if (system.transferMap != map.mapId) {
        if (!map.LoadMap(system.transferMap)) {
            system.sceneState = kSceneQuit;
            return false;
        }
        if (map.links.sound) map.links.sound->ReleaseUnusedSounds();
        map.PlayMapSound();
    }
    hero.PlaceAndCenter(system.transferX, system.transferY, 1);
    hero.ResetAnimation();
    map.refreshPagesFlag = 1;
    map.Update();
    hero.GatherFollowers();
    return true;
}

}  // namespace velk
