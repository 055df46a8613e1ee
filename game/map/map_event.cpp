#include "game/map/map_event.h"

#include <algorithm>

#include "game/data/random_source.h"
#include "game/event/command_preparation.h"
#include "game/event/event_links.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"

namespace velk {
namespace {

// Page option bits.
constexpr int kOptionStepAnimation = 0;
constexpr int kOptionWalkAnimation = 1;
constexpr int kOptionFixedFacing = 2;
constexpr int kOptionPassThrough = 3;
constexpr int kOptionDrawAbove = 4;
constexpr int kOptionTall = 5;
constexpr int kOptionHalfTileUp = 6;

}  // namespace

MapEvent::MapEvent(int32_t mapId, MapEventData record) : mapId(mapId), data(std::move(record)) {
    id = data.id;
    erased = 0;
    passThrough = 1;
    // Placed on its tile.
    gridX = data.x * 2;
    gridY = data.y * 2;
    if (!data.pages.empty() && data.pages[0].route.OptionBit(kOptionHalfTileUp)) gridY = 2 * data.y - 1;
    pixelX = GridTarget(gridX);
    pixelY = GridTarget(gridY);
    SelectPage();
}

void MapEvent::SelectPage() {
    int32_t chosen = -1;
    if (!erased) {
        VariableStore& store = *ActiveEventLinks().variables;
        for (int32_t i = static_cast<int32_t>(data.pages.size()) - 1; i >= 0; --i) {
            if (data.pages[static_cast<size_t>(i)].conditions.Evaluate(id, store)) {
                chosen = i;
                break;
            }
        }
    }
    if (chosen == pageIndex) return;
    pageIndex = chosen;
    startRequest = 0;
    if (chosen < 0) {
        currentPage = EventPage();
        graphicTileNumber = -1;
        graphicFileName.clear();
        moveType = 0;
        passThrough = 1;
        trigger = 0;
        commands.reset();
        interpreters.clear();
        return;
    }
    currentPage = data.pages[static_cast<size_t>(chosen)];
    const EventPage& page = currentPage;
    graphicTileNumber = page.graphic.tileNumber;
    graphicFileName = page.graphic.fileName;
    if (page.graphic.facing != pageFacing) {
        facing = page.graphic.facing;
        pageFacing = page.graphic.facing;
    }
    if (page.graphic.pattern != pagePattern) {
        pattern = page.graphic.pattern;
        pagePattern = page.graphic.pattern;
    }
    opacity = page.graphic.opacity;
    blendMode = page.graphic.blendMode;
    moveType = page.route.options[0];
    moveSpeed = page.route.options[2];
    animationSpeed = page.route.options[1];
    moveFrequency = page.route.options[3];
    // A forced route keeps running; the page's route follows it.
    if (forcedRoute) {
        suspendedRoute = page.route;
        suspendedIndex = 0;
    } else {
        currentRoute = page.route;
        routeIndex = 0;
    }
    eraseRemaining = eraseTotal = -1;
    stepAnimation = page.route.OptionBit(kOptionStepAnimation);
    walkAnimation = page.route.OptionBit(kOptionWalkAnimation);
    fixedFacing = page.route.OptionBit(kOptionFixedFacing);
    passThrough = page.route.OptionBit(kOptionPassThrough);
    drawAbove = page.route.OptionBit(kOptionDrawAbove);
    tall = page.route.OptionBit(kOptionTall);
    trigger = page.conditions.trigger;
    auto list = std::make_shared<CommandList>(page.commands);
    PadCommands(*list, *ActiveEventLinks().table);
    commands = std::move(list);
    bytes = page.bytes;
    if (bytes.empty()) bytes.push_back(0);
    stepSize = World().rules.stepSetting == 1 ? 2 : 1;
    interpreters.clear();
    if (trigger == kTriggerParallel) {
        interpreters.emplace_back();
        interpreters.back().Init(0, false);
    }
    CheckAutoStart();
}

void MapEvent::Update() {
    CharacterWorld& world = World();
    if (!world.map) return;
    const int32_t frameStep = std::max(world.map->settings.frameStep, 1);
    if (eraseTotal != -1 && !erased) {
        if (eraseRemaining < 1) {
            erased = 1;
            SelectPage();
        }
        eraseRemaining -= frameStep;
        const int64_t total = std::max(eraseTotal, 1);
        const int64_t left = std::clamp<int64_t>(eraseRemaining, 0, total);
        opacity = static_cast<int16_t>(eraseStartOpacity * left / total);
    }
    Character::Update();
    if (world.MovementAllowed() &&
        static_cast<int64_t>(stopCounter) > static_cast<int64_t>(moveFrequency) * moveFrequency * 20) {
        if (moveType == 1) {
            RunMoveRoute();
        } else if (moveType == 2) {
            MoveRandomly();
        } else if (moveType == 3) {
            MoveApproach();
        }
    }
    MapState& map = *world.map;
    const int32_t w2 = 2 * map.GetWidth(), h2 = 2 * map.GetHeight();
    if (map.loopX && w2 > 0 && pixelX == GridTarget(gridX) && (gridX < 0 || gridX >= w2)) {
        PlaceOnGrid(WrapGrid(gridX, w2), gridY);
        pixelX = GridTarget(gridX);
    }
    if (map.loopY && h2 > 0 && pixelY == GridTarget(gridY) && (gridY < 0 || gridY >= h2)) {
        PlaceOnGrid(gridX, WrapGrid(gridY, h2));
        pixelY = GridTarget(gridY);
    }
    CheckAutoStart();
    if (eraseTotal == -1 && !interpreters.empty()) {
        EventInterpreter& runner = interpreters.front();
        if (!runner.HasCommandList() && commands) runner.Setup(commands, id, -1);
        runner.Run();
    }
}

bool MapEvent::RequestStart(int32_t page) {
    if (!commands || commands->Size() == 0 || eraseTotal != -1 || page != -1) return false;
    startRequest = 1;
    return true;
}

void MapEvent::StartErase(int32_t frames) {
    eraseRemaining = eraseTotal = frames;
    eraseStartOpacity = opacity;
}

bool MapEvent::CanBeSteppedOn() const {
    if (HasGraphic() && !passThrough) return false;
    const MapState& map = *World().map;
    return map.IsPassable(gridX, gridY, 0, id, World().rules.stepSetting + 1);
}

int32_t MapEvent::Extent(int axis, int side) const {
    return pageIndex >= 0 ? currentPage.CollisionExtent(axis, side) : 0;
}

bool MapEvent::ReachCovers(int32_t x, int32_t y, int32_t subjectX, int32_t subjectY, bool wide) const {
    const int32_t top = y - Extent(1, 0);
    const int32_t bottom = y + Extent(1, 1) + (tall ? 1 : 0);
    if (subjectY < top || subjectY > bottom) return false;
    const int32_t across = Extent(0, 0) + (wide ? 1 : 0);
    return subjectX >= x - across && subjectX <= x + across;
}

void MapEvent::CheckTouchHero(int32_t x, int32_t y) {
    const CharacterWorld& world = World();
    if (world.EventRunning() || trigger != kTriggerTouch || !world.hero) return;
    // The hero within the event's reach around the cell it steps to.
    if (!ReachCovers(x, y, world.hero->gridX, world.hero->gridY, true)) return;
    if (IsMoving() || CanBeSteppedOn()) return;
    RequestStart(-1);
}

void MapEvent::CheckAutoStart() {
    const Hero* hero = World().hero;
    if (!World().map) return;
    if (trigger == kTriggerTouch && hero && gridX == hero->gridX && gridY == hero->gridY && !IsMoving() &&
        CanBeSteppedOn()) {
        RequestStart(-1);
    }
    if (trigger == kTriggerAuto) RequestStart(-1);
}

bool MapEvent::OwnStep(int32_t direction, bool turnFirst) {
    if (CanMoveTo(gridX, gridY, direction) && !HasExtents()) return Step(direction, turnFirst);
    int32_t tx = gridX + DirectionX(direction) * stepSize;
    int32_t ty = gridY + DirectionY(direction) * stepSize;
    if (DirectionY(direction) < 0 && tall && stepSize == 1) --ty;
    CheckTouchHero(tx, ty);
    return Step(direction, turnFirst);
}

void MapEvent::MoveRandomly() {
    const uint32_t roll = UpdateRandomSeed(0, 0) % 6;
    if (roll <= 3) {
        StepRandomWith(true);
    } else if (roll == 4) {
        StepForwardWith(true);
    } else {
        stopCounter = 0;
    }
}

void MapEvent::MoveApproach() {
    const Hero* hero = World().hero;
    if (!hero) return;
    int32_t dx = gridX - hero->gridX, dy = gridY - hero->gridY;
    LoopAdjust(dx, dy);
    if (std::abs(dx) + std::abs(dy) >= 20) {
        StepRandomWith(true);
        return;
    }
    const uint32_t roll = UpdateRandomSeed(0, 0) % 6;
    if (roll <= 3) {
        StepTowardDelta(gridX - hero->gridX, gridY - hero->gridY, true);
    } else if (roll == 4) {
        StepRandomWith(true);
    } else {
        StepForwardWith(true);
    }
}

}  // namespace velk
