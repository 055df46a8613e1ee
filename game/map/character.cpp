#include "game/map/character.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "game/data/byte_writer.h"
#include "game/data/database.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/game_info.h"
#include "game/data/game_system.h"
#include "game/data/random_source.h"
#include "game/data/save_stream.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"
#include "game/map/map_texts.h"

namespace velk {
namespace {

constexpr int32_t kAnimationTable[7] = {0, 6, 10, 16, 24, 60, 84};
constexpr int32_t kSystemGraphicType = 8;

uint32_t Random() { return UpdateRandomSeed(0, 0); }

bool IsMovementCode(int32_t code) { return code <= 7 || (code >= 16 && code <= 21) || code == 53 || code == 54; }
bool IsFacingCode(int32_t code) { return (code >= 8 && code <= 15) || (code >= 22 && code <= 27); }

// The arguments the map event's own route reads as variables.
bool NamesVariable(int32_t code, size_t index) {
    if (index == 0) return code == 21 || code == 28 || (code >= 44 && code <= 47) || (code >= 53 && code <= 55);
    if (index == 1) return code == 21 || code == 54;
    return false;
}

}  // namespace

uint64_t GridCoordinate::changes_ = 0;

int32_t WrapGrid(int32_t value, int32_t period) {
    if (period <= 0) return value;
    const int32_t r = value % period;
    return r < 0 ? r + period : r;
}

int32_t DirectionX(int32_t direction) {
    switch (direction) {
        case 3:
        case 6:
        case 9: return 1;
        case 1:
        case 4:
        case 7: return -1;
        default: return 0;
    }
}

int32_t DirectionY(int32_t direction) {
    switch (direction) {
        case 1:
        case 2:
        case 3: return 1;
        case 7:
        case 8:
        case 9: return -1;
        default: return 0;
    }
}

int32_t OppositeDirection(int32_t direction) {
    return direction >= 1 && direction <= 9 && direction != 5 ? 10 - direction : direction;
}

MovementRules MovementRules::FromGameInfo() {
    const GameInfo& info = GlobalGameInfo();
    MovementRules rules;
    rules.eightDirectionGraphics = info.Setting(1) == 8;
    rules.moveDirections = info.Setting(2);
    rules.walkPatterns = info.Setting(7);
    rules.stepSetting = info.Setting(8);
    rules.tall = info.Setting(9) == 1;
    rules.eventSpeedFactor = static_cast<int8_t>(info.Setting(15));
    rules.heroSpeedFactor = std::max<int32_t>(static_cast<int8_t>(info.Setting(16)), 4);
    return rules;
}

int32_t MovementRules::AnimationThreshold(int32_t index) const {
    const int32_t i = std::clamp(index, 0, 6);
    const int32_t value = kAnimationTable[i];
    if (walkPatterns != 5) return value;
    // Five patterns cycle twice as often as three.
    if (i >= 1 && i <= 4) return value / 2;
    if (i == 5) return value * 2 / 3;
    if (i == 6) return value * 3 / 4;
    return value;
}

bool CharacterWorld::EventRunning() const { return mainInterpreter && mainInterpreter->HasCommandList(); }

bool CharacterWorld::InputBlocked() const {
    if (inputBlocked) return true;
    return system && (system->windowBusy || (system->transitionRunning && system->transitionWaits));
}

CharacterWorld& ActiveCharacterWorld() {
    static CharacterWorld world;
    return world;
}

Character::Character() { ApplyGameSettings(World().rules); }

void Character::ApplyGameSettings(const MovementRules& rules) {
    eightDirectionGraphics = rules.eightDirectionGraphics ? 1 : 0;
    if (rules.walkPatterns == 3) restPattern = cycleCentre = 1;
    if (rules.walkPatterns == 5) restPattern = cycleCentre = 2;
    stepSize = rules.stepSetting == 1 ? 2 : 1;
    tall = rules.tall ? 1 : 0;
}

int32_t Character::GridTarget(int32_t grid) const {
    const int32_t chip = World().map ? World().map->settings.chipSize : 32;
    return grid * 2 * chip;
}

void Character::SetPosition(int32_t x, int32_t y, int32_t precise) {
    MapState& map = *World().map;
    const int32_t width = std::max(map.GetWidth(), 1);
    const int32_t height = std::max(map.GetHeight(), 1);
    const int32_t d = precise + 1;
    if (x / d >= width || y / d >= height) {
        char first[256], second[256];
        std::snprintf(first, sizeof first, texts::kCharacterOutsideMap, x, y, map.mapId);
        std::snprintf(second, sizeof second, texts::kCharacterPulledInside, width - 1, height - 1);
        ActiveErrorReporter().ShowErrorBox(first, second, "");
        // The bound is the map's last cell in the unit the caller used.
        x = std::min(x, width * d - 1);
        y = std::min(y, height * d - 1);
    }
    PlaceOnGrid(WrapGrid(x, 2 * width) * (2 - precise), WrapGrid(y, 2 * height) * (2 - precise));
    pixelX = GridTarget(gridX);
    pixelY = GridTarget(gridY);
    savedFacing = 0;
}

void Character::PlaceOnGrid(int32_t x, int32_t y) {
    if (MapState* map = World().map) {
        map->PlaceCharacter(*this, x, y);
        return;
    }
    gridX = x;
    gridY = y;
}

int32_t Character::GetScreenX(bool wrap) const {
    const MapState& map = *World().map;
    const int32_t chip = map.settings.chipSize;
    int32_t value = (pixelX - map.scrollX) / 4 + chip / 2;
    if (wrap && map.loopX && map.GetWidth() > 0) {
        while (value < 0)
            value += map.GetWidth() * chip;
    }
    return value + shakeOffsetX;
}

int32_t Character::GetScreenY(bool wrap) const {
    const MapState& map = *World().map;
    const int32_t chip = map.settings.chipSize;
    int32_t value = (pixelY - map.scrollY) / 4 + chip;
    if (wrap && map.loopY && map.GetHeight() > 0) {
        while (value < 0)
            value += map.GetHeight() * chip;
    }
    return value + shakeOffsetY;
}

int32_t Character::GetDrawY(bool wrap) const {
    const MapState& map = *World().map;
    const int32_t chip = map.settings.chipSize;
    int32_t arc = 0;
    if (IsJumping()) {
        const int64_t h = jumpHalfLength;
        const int64_t off = jumpFramesLeft - h;
        arc = static_cast<int32_t>((3 * h * h - 3 * off * off) / (160 / chip));
    }
    int32_t value = (pixelY - map.scrollY) / 4 + chip - height - arc;
    if (wrap && map.loopY && map.GetHeight() > 0) {
        while (value < 0)
            value += map.GetHeight() * chip;
    }
    return value + shakeOffsetY;
}

uint8_t Character::GetTerrainTag() const { return World().map->GetTerrainTag(gridX, gridY); }

bool Character::IsMoving() const { return pixelX != GridTarget(gridX) || pixelY != GridTarget(gridY); }

bool Character::IsMoving() {
    moving = static_cast<const Character&>(*this).IsMoving() ? 1 : 0;
    return moving != 0;
}

bool Character::WasMoving() {
    const bool result = moving || wasMoving;
    wasMoving = moving;
    return result;
}

void Character::FaceHeroForEvent() {
    if (turnedForEvent) return;
    savedFacing = facing;
    FaceHero();
    turnedForEvent = 1;
}

void Character::RestoreFacingAfterEvent() {
    if (turnedForEvent) turnedForEvent = 0;
    if (!fixedFacing && savedFacing != 0) facing = static_cast<int16_t>(savedFacing);
}

void Character::StartColorEffect(uint32_t packedTarget, int32_t frames) {
    colorEffectTarget = packedTarget;
    colorEffectTotal = colorEffectLeft = frames;
}

void Character::StartShake(int32_t amplitudeX, int32_t amplitudeY, int32_t swings, int32_t period) {
    shakeAmplitudeX = amplitudeX;
    shakeAmplitudeY = amplitudeY;
    shakeSwings = swings;
    shakePeriod = std::max(1, period);
    shakePhase = 2 * shakePeriod;
}

void Character::ResetAnimation() {
    if (walkAnimation || stepAnimation) pattern = restPattern;
    animationTimer = 0.0;
    savedFacing = 0;
}

// Per frame.

void Character::Update() {
    if (IsJumping()) {
        JumpFrame();
    } else if (IsMoving()) {
        MoveFrame();
    } else {
        IdleFrame();
    }
    if (colorEffectLeft > 0) --colorEffectLeft;
    ShakeFrame();
    AnimationFrame();
    if (routeWait < 1 && !isHero && forcedRoute) RunMoveRoute();
    if (routeWait >= 1) routeWait -= std::max(World().map->settings.frameStep, 1);
}

void Character::JumpFrame() {
    jumpFramesLeft -= std::max(World().map->settings.frameStep, 1);
    // A frame step that passes the landing lands this frame.
    const int64_t left = std::max(jumpFramesLeft, 0);
    jumpFramesLeft = static_cast<int32_t>(left);
    pixelX = static_cast<int32_t>((static_cast<int64_t>(pixelX) * left + GridTarget(gridX)) / (left + 1));
    pixelY = static_cast<int32_t>((static_cast<int64_t>(pixelY) * left + GridTarget(gridY)) / (left + 1));
}

void Character::MoveFrame() {
    const CharacterWorld& world = World();
    const int32_t frameStep = std::max(world.map->settings.frameStep, 1);
    const int64_t factor = (isHero || isFollower) ? world.rules.heroSpeedFactor : world.rules.eventSpeedFactor;
    const int32_t speed = std::clamp<int32_t>(moveSpeed, 0, 30);
    // Any speed moves at least a quarter pixel, so every step arrives.
    const int64_t distance = std::max<int64_t>((int64_t{1} << speed) * frameStep * factor / 4, 1);
    const int64_t tx = GridTarget(gridX), ty = GridTarget(gridY);
    int64_t px = pixelX, py = pixelY;
    if (py < ty) py = std::min(py + distance, ty);
    if (px > tx) px = std::max(px - distance, tx);
    if (px < tx) px = std::min(px + distance, tx);
    if (py > ty) py = std::max(py - distance, ty);
    pixelX = static_cast<int32_t>(px);
    pixelY = static_cast<int32_t>(py);
    if (tx < px && py == ty) slideThisStep = 0;
    if (px == tx && py == ty) stopCounter += frameStep;
    if (walkAnimation) {
        animationTimer += frameStep;
    } else if (stepAnimation) {
        animationTimer += 0.75 * frameStep;
    }
}

void Character::IdleFrame() {
    const int32_t frameStep = std::max(World().map->settings.frameStep, 1);
    if (stepAnimation) {
        animationTimer += 0.75 * frameStep;
    } else if (pattern != restPattern) {
        animationTimer += frameStep;
    }
    if (!countOnlyWhenEventTurned || turnedForEvent) stopCounter += frameStep;
}

void Character::ShakeFrame() {
    if (shakeSwings < 1) {
        shakeOffsetX = shakeOffsetY = 0;
        return;
    }
    const int32_t sign = (shakeSwings & 1) ? 1 : -1;
    const int32_t p = shakePhase, t = std::max(shakePeriod, 1);
    if (p < t) {
        shakeOffsetX = sign * (shakeAmplitudeX * p / t);
        shakeOffsetY = sign * (shakeAmplitudeY * p / t);
    } else {
        shakeOffsetX = sign * (shakeAmplitudeX - (p - t) * shakeAmplitudeX / t);
        shakeOffsetY = sign * (shakeAmplitudeY - (p - t) * shakeAmplitudeY / t);
    }
    if (--shakePhase < 1) {
        --shakeSwings;
        shakePhase = 2 * t;
    }
}

void Character::AnimationFrame() {
    const CharacterWorld& world = World();
    if (!(animationTimer > world.rules.AnimationThreshold(animationSpeed))) return;
    const int32_t frameStep = std::max(world.map->settings.frameStep, 1);
    if (!stepAnimation && stopCounter > frameStep) {
        pattern = restPattern;
        animationStep = 0;
    } else if (world.rules.walkPatterns == 5) {
        animationStep = static_cast<int16_t>((animationStep + 1) % 8);
        const int32_t s = animationStep;
        pattern = static_cast<int16_t>(s <= 4 ? cycleCentre + 2 - std::abs(2 - s) : cycleCentre + std::abs(6 - s) - 2);
    } else {
        animationStep = static_cast<int16_t>((animationStep + 1) % 4);
        const int32_t s = animationStep;
        pattern = static_cast<int16_t>(s <= 1 ? cycleCentre + s : cycleCentre - (s - 2));
    }
    animationTimer = 0.0;
}

// Blocking.

bool Character::CanMoveTo(int32_t x, int32_t y, int32_t direction) const {
    if (!CanMoveRow(x, y, y, direction)) return false;
    if (stepSize == 1 && tall) return CanMoveRow(x, y, y - 1, direction);
    return true;
}

bool Character::CanMoveRow(int32_t x, int32_t, int32_t row, int32_t direction) const {
    const CharacterWorld& world = World();
    const MapState& map = *world.map;
    const int32_t s = stepSize;
    const int32_t w2 = 2 * map.GetWidth(), h2 = 2 * map.GetHeight();
    if (w2 <= 0 || h2 <= 0) return false;
    int32_t nx = x + DirectionX(direction) * s;
    int32_t ny = row + DirectionY(direction) * s;
    const int32_t t = (s == 1 && tall) ? 1 : 0;
    if (!map.IsInside(nx, ny + t)) return false;
    if (map.loopX) nx = WrapGrid(nx, w2);
    if (map.loopY) ny = WrapGrid(ny, h2);
    if (passThrough) return true;
    if (!map.IsPassable(x, row, direction, id, s) || !map.IsPassable(nx, ny, 10 - direction, -1, s)) return false;
    // Events on the target's row, or tall ones on the row below it (they
    // also stand on the row above their feet), in the target's column or
    // one either side. Only a looping axis wraps the target row, so a tall
    // half-stepper's upper half at row -1 of a map that does not loop meets
    // no event on the bottom row: only a tall event on row 0 reaches up to
    // it. The row below the bottom one is counted as row 0, as it always was.
    const int32_t rowHere = ny;
    const int32_t rowBelow = (ny + 1) % h2;
    auto blocks = [&](const MapEvent& other) {
        // The hero walks through events that show nothing.
        return other.id != id && !other.passThrough && (!isHero || other.HasGraphic());
    };
    auto tallBlocks = [&](const MapEvent& other) { return other.tall && blocks(other); };
    for (int32_t column : {nx, WrapGrid(nx - 1, w2), WrapGrid(nx + 1, w2)}) {
        if (map.AnyEventAt(column, rowHere, blocks) || map.AnyEventAt(column, rowBelow, tallBlocks)) return false;
    }
    if (!isHero && world.hero) {
        const Character& hero = *world.hero;
        const int32_t hy = WrapGrid(hero.gridY, h2);
        const bool vertical = hy == ny || (hero.tall && WrapGrid(hero.gridY - 1, h2) == ny);
        const int32_t hx = WrapGrid(hero.gridX, w2);
        const bool horizontal = hx == nx || hx == WrapGrid(nx + 1, w2) || hx == WrapGrid(nx - 1, w2);
        if (vertical && horizontal && !hero.passThrough && HasGraphic()) return false;
    }
    return true;
}

bool Character::CanStep(int32_t x, int32_t y, int32_t direction) const {
    if (isFollower) return true;
    const MapState& map = *World().map;
    const int32_t w2 = 2 * map.GetWidth(), h2 = 2 * map.GetHeight();
    if (w2 <= 0 || h2 <= 0) return false;
    const int32_t tx = (x + DirectionX(direction) * stepSize) % w2;
    const int32_t ty = (y + DirectionY(direction) * stepSize) % h2;
    return map.IsInside(tx, ty) && CanMoveTo(x, y, direction);
}

// Steps.

void Character::MoveBy(int32_t direction) {
    PlaceOnGrid(gridX + DirectionX(direction) * stepSize, gridY + DirectionY(direction) * stepSize);
    stopCounter = 0;
    StepTaken(direction);
}

bool Character::Step(int32_t direction, bool turnFirst) {
    switch (direction) {
        case 2:
        case 4:
        case 6:
        case 8: return StepStraight(direction, turnFirst);
        case 1:
        case 3:
        case 7:
        case 9: return StepDiagonal(direction, turnFirst);
        default: return false;
    }
}

bool Character::StepStraight(int32_t direction, bool turnFirst) {
    if (turnFirst) Face(direction);
    if (!CanMoveTo(gridX, gridY, direction)) return false;
    Face(direction);
    MoveBy(direction);
    return true;
}

bool Character::StepDiagonal(int32_t direction, bool turnFirst) {
    const int32_t vertical = DirectionY(direction) > 0 ? 2 : 8;
    const int32_t horizontal = DirectionX(direction) > 0 ? 6 : 4;
    const int32_t s = stepSize;
    if (turnFirst) FaceDiagonal(direction);
    if (CanMoveTo(gridX, gridY, vertical) && CanMoveTo(gridX, gridY + DirectionY(direction) * s, horizontal) &&
        CanMoveTo(gridX, gridY, horizontal) && CanMoveTo(gridX + DirectionX(direction) * s, gridY, vertical)) {
        FaceDiagonal(direction);
        MoveBy(direction);
        return true;
    }
    if (!slideOnDiagonal && !slideThisStep) return false;
    for (int32_t part : {vertical, horizontal}) {
        if (CanMoveTo(gridX, gridY, part)) {
            FaceDiagonal(direction);
            MoveBy(part);
            return true;
        }
    }
    return false;
}

void Character::StepRandomWith(bool ownSteps) {
    static constexpr int32_t kEight[8] = {2, 4, 6, 8, 1, 3, 7, 9};
    const int32_t directions = World().rules.moveDirections;
    if (directions != 8 && directions != 4) return;
    const int32_t direction = kEight[Random() % static_cast<uint32_t>(directions)];
    ownSteps ? OwnStep(direction, false) : Step(direction, false);
}

void Character::StepRandom() { StepRandomWith(false); }

void Character::LoopAdjust(int32_t& dx, int32_t& dy) const {
    const MapState& map = *World().map;
    const int32_t w2 = 2 * map.GetWidth(), h2 = 2 * map.GetHeight();
    if (map.loopX) {
        if (std::abs(dx - w2) < std::abs(dx)) {
            dx -= w2;
        } else if (std::abs(dx + w2) < std::abs(dx)) {
            dx += w2;
        }
    }
    if (map.loopY) {
        if (std::abs(dy - h2) < std::abs(dy)) {
            dy -= h2;
        } else if (std::abs(dy + h2) < std::abs(dy)) {
            dy += h2;
        }
    }
}

void Character::StepTowardDelta(int32_t dx, int32_t dy, bool ownSteps) {
    LoopAdjust(dx, dy);
    if (dx == 0 && dy == 0) return;
    auto step = [&](int32_t direction) { ownSteps ? OwnStep(direction, true) : Step(direction, true); };
    const int32_t horizontal = dx < 1 ? 6 : 4;
    const int32_t vertical = dy < 1 ? 2 : 8;
    const int32_t directions = World().rules.moveDirections;
    if (directions == 8) {
        slideThisStep = 1;
        if (dx != 0 && dy != 0) {
            step(vertical == 2 ? (horizontal == 6 ? 3 : 1) : (horizontal == 6 ? 9 : 7));
        } else {
            step(dx != 0 ? horizontal : vertical);
        }
        return;
    }
    if (directions != 4) return;
    int32_t ax = std::abs(dx), ay = std::abs(dy);
    if (ax == ay) (Random() & 1) ? ++ay : ++ax;
    if (ax <= ay) {
        if (dy != 0) step(vertical);
        if (!IsMoving() && dx != 0) step(horizontal);
    } else {
        if (dx != 0) step(horizontal);
        if (!IsMoving() && dy != 0) step(vertical);
    }
}

void Character::StepTowardHero() {
    if (!World().hero) return;
    StepTowardDelta(gridX - World().hero->gridX, gridY - World().hero->gridY, false);
}

void Character::StepAway(int32_t dx, int32_t dy) {
    LoopAdjust(dx, dy);
    if (dx == 0 && dy == 0) return;
    const int32_t horizontal = dx < 1 ? 4 : 6;
    const int32_t vertical = dy < 1 ? 8 : 2;
    int32_t ax = std::abs(dx), ay = std::abs(dy);
    if (ax == ay) (Random() & 1) ? ++ay : ++ax;
    if (ax <= ay) {
        if (dy != 0) Step(vertical, true);
        if (!IsMoving() && dx != 0) Step(horizontal, true);
    } else {
        if (dx != 0) Step(horizontal, true);
        if (!IsMoving() && dy != 0) Step(vertical, true);
    }
}

void Character::StepAwayFromHero() {
    if (!World().hero) return;
    StepAway(gridX - World().hero->gridX, gridY - World().hero->gridY);
}

void Character::StepToward(bool byCharacter, int32_t a, int32_t b) {
    const CharacterWorld& world = World();
    int32_t tx = 0, ty = 0;
    if (byCharacter) {
        if (world.map->events.empty() || a == -1) return;
        if (a == kHeroId) {
            if (!world.hero) return;
            tx = world.hero->gridX;
            ty = world.hero->gridY;
        } else if (a <= -3) {
            const size_t index = static_cast<size_t>(-3 - static_cast<int64_t>(a));
            if (world.hero && index < world.hero->followers.size()) {
                tx = world.hero->followers[index].gridX;
                ty = world.hero->followers[index].gridY;
            }
        } else {
            const MapEvent* target = world.map->FindEvent(a);
            // An event that is not on this map gives no target.
            if (!target) return;
            tx = target->gridX;
            ty = target->gridY;
        }
    } else {
        tx = 2 * a;
        ty = 2 * b;
    }
    StepTowardDelta(gridX - tx, gridY - ty, false);
}

void Character::StepForwardWith(bool ownSteps) { ownSteps ? OwnStep(facing, false) : Step(facing, false); }

void Character::StepForward() { StepForwardWith(false); }

void Character::StepBackward() {
    const uint8_t fixed = fixedFacing;
    fixedFacing = 1;
    Step(OppositeDirection(facing), true);
    fixedFacing = fixed;
}

void Character::Jump(int32_t dx, int32_t dy) {
    const int64_t ddx = static_cast<int64_t>(dx) * stepSize, ddy = static_cast<int64_t>(dy) * stepSize;
    if (ddx != 0 || ddy != 0) {
        if (std::llabs(ddx) <= std::llabs(ddy)) {
            Face(ddy >= 0 ? 2 : 8);
        } else {
            Face(ddx >= 0 ? 6 : 4);
        }
    }
    // A jump further than any map is no jump.
    if (std::llabs(ddx) > 1000000 || std::llabs(ddy) > 1000000) return;
    const int32_t tx = gridX + static_cast<int32_t>(ddx), ty = gridY + static_cast<int32_t>(ddy);
    if ((ddx != 0 || ddy != 0) && !CanMoveTo(tx, ty, 0)) return;
    ResetAnimation();
    PlaceOnGrid(tx, ty);
    const int32_t length = static_cast<int32_t>(std::sqrt(static_cast<double>(ddx * ddx + ddy * ddy)));
    jumpHalfLength = std::max((length + 15 - moveSpeed) / 2, 0);
    jumpFramesLeft = 2 * jumpHalfLength;
    stopCounter = 0;
}

// Facing.

void Character::Face(int32_t direction) {
    if (fixedFacing) return;
    if (direction == 1 || direction == 3 || direction == 7 || direction == 9) {
        FaceDiagonal(direction);
        return;
    }
    if (direction != 2 && direction != 4 && direction != 6 && direction != 8) return;
    facing = static_cast<int16_t>(direction);
    stopCounter = 0;
}

void Character::FaceDiagonal(int32_t direction) {
    if (fixedFacing) return;
    if (eightDirectionGraphics) {
        facing = static_cast<int16_t>(direction);
    } else {
        // Four facings: the vertical part, unless the character already
        // faces away from the horizontal part.
        const int32_t horizontal = DirectionX(direction) > 0 ? 6 : 4;
        const int32_t vertical = DirectionY(direction) > 0 ? 2 : 8;
        facing = static_cast<int16_t>(facing == 10 - horizontal ? horizontal : vertical);
    }
    stopCounter = 0;
}

void Character::TurnClockwise() {
    if (fixedFacing) return;
    static constexpr int32_t kEight[10] = {0, 4, 1, 2, 7, 0, 3, 8, 9, 6};
    static constexpr int32_t kFour[10] = {0, 1, 4, 3, 8, 0, 2, 7, 6, 9};
    const int32_t f = facing >= 0 && facing <= 9 ? facing : 0;
    const int32_t next = eightDirectionGraphics ? kEight[f] : kFour[f];
    if (next == 0) return;
    facing = static_cast<int16_t>(next);
    stopCounter = 0;
}

void Character::TurnCounterClockwise() {
    if (fixedFacing) return;
    static constexpr int32_t kEight[10] = {0, 2, 3, 6, 1, 0, 9, 4, 7, 8};
    static constexpr int32_t kFour[10] = {0, 1, 6, 3, 2, 0, 8, 7, 4, 9};
    const int32_t f = facing >= 0 && facing <= 9 ? facing : 0;
    const int32_t next = eightDirectionGraphics ? kEight[f] : kFour[f];
    if (next == 0) return;
    facing = static_cast<int16_t>(next);
    stopCounter = 0;
}

void Character::TurnRandom() { (Random() & 1) ? TurnCounterClockwise() : TurnClockwise(); }

void Character::FaceRandom() {
    static constexpr int32_t kFacings[8] = {8, 6, 4, 2, 1, 3, 7, 9};
    const int32_t directions = World().rules.moveDirections;
    if (directions == 8) {
        Face(kFacings[Random() & 7]);
    } else if (directions == 4) {
        Face(kFacings[Random() & 3]);
    }
}

void Character::FaceHero() {
    if (!World().hero) return;
    int32_t dx = gridX - World().hero->gridX, dy = gridY - World().hero->gridY;
    LoopAdjust(dx, dy);
    if (dx == 0 && dy == 0) return;
    const int32_t ax = std::abs(dx), ay = std::abs(dy);
    if (ax >= 1 && ay >= 1 && 3 * ax >= ay && ax <= 3 * ay) {
        const bool right = dx < 1, below = dy < 1;
        Face(below ? (right ? 3 : 1) : (right ? 9 : 7));
    } else if (ax <= ay) {
        Face(dy < 1 ? 2 : 8);
    } else {
        Face(dx < 1 ? 6 : 4);
    }
}

void Character::FaceAwayFromHero() {
    if (!World().hero) return;
    int32_t dx = gridX - World().hero->gridX, dy = gridY - World().hero->gridY;
    LoopAdjust(dx, dy);
    if (dx == 0 && dy == 0) return;
    if (std::abs(dx) <= std::abs(dy)) {
        Face(dy < 1 ? 8 : 2);
    } else {
        Face(dx < 1 ? 4 : 6);
    }
}

// Routes.

void Character::RunMoveRoute() { RunRoute(false); }

void Character::StartMoveRoute(const MoveRoute& route) {
    // Only the route a forced route interrupted is kept: a second forced
    // route replaces the first, and the original resumes after it.
    if (!forcedRoute) {
        suspendedRoute = currentRoute;
        suspendedIndex = routeIndex;
    }
    currentRoute = route;
    routeIndex = 0;
    forcedRoute = 1;
    savedFacing = 0;
    routeWait = 0;
    RunMoveRoute();
}

int32_t Character::RewriteArgument(int32_t value, bool& refused) const {
    refused = false;
    if (value >= 1600000 && value <= 1699999) {
        ActiveErrorReporter().ShowErrorBox(texts::kRouteCommonSelfVariable, FormatErrorLocation(), "");
        return 0;
    }
    if (value >= 1100000 && value <= 1199999) {
        // The hero and its followers have no self variables.
        if (id < 0) {
            refused = true;
            return 0;
        }
        return 1000000 + id * 10 + value % 10;
    }
    if (value >= 9190000 && value <= 9199999) {
        if (id >= 0) return 9100000 + id * 10 + value % 10;
        // The party's own data: member 0 the hero, n follower n - 1.
        const int32_t member = id == kHeroId ? 0 : -3 - id + 1;
        return 9180000 + member * 10 + value % 10;
    }
    return value;
}

void Character::RunRoute(bool ownSteps) {
    if (IsJumping() || IsMoving()) return;
    CharacterWorld& world = World();
    VariableStore& store = *ActiveEventLinks().variables;
    while (true) {
        const size_t count = currentRoute.commands.size();
        if (routeIndex > count) return;
        if (routeWait > 0) return;
        if (routeIndex == count) {
            if (currentRoute.options[5] & kRouteRepeat) {
                routeIndex = 0;
                return;
            }
            if (forcedRoute) {
                forcedRoute = 0;
                currentRoute = suspendedRoute;
                routeIndex = suspendedIndex;
                suspendedRoute.commands.clear();
            }
            stopCounter = 0;
            return;
        }
        MoveCommand command = currentRoute.commands[routeIndex];
        if (command.arguments.size() < 2) command.arguments.resize(2, 0);
        const int32_t code = command.code;
        bool targetRefused = false;
        for (size_t i = 0; i < command.arguments.size(); ++i) {
            if (ownSteps && !NamesVariable(code, i)) continue;
            bool refused = false;
            command.arguments[i] = RewriteArgument(command.arguments[i], refused);
            if (i == 0) targetRefused = refused;
        }
        auto value = [&](size_t i) { return store.GetInt(command.arguments[i]); };
        if (IsMovementCode(code)) {
            static constexpr int32_t kSteps[8] = {2, 4, 6, 8, 1, 3, 7, 9};
            if (code <= 7) {
                ownSteps ? OwnStep(kSteps[code], true) : Step(kSteps[code], true);
            } else if (code == 16) {
                StepRandomWith(ownSteps);
            } else if (code == 17) {
                if (world.hero) StepTowardDelta(gridX - world.hero->gridX, gridY - world.hero->gridY, ownSteps);
            } else if (code == 18) {
                StepAwayFromHero();
            } else if (code == 19) {
                StepForwardWith(ownSteps);
            } else if (code == 20) {
                StepBackward();
            } else if (code == 21) {
                Jump(value(0), value(1));
            } else if (code == 53) {
                StepToward(true, value(0), 0);
            } else {
                StepToward(false, value(0), value(1));
            }
            const bool skip = (currentRoute.options[5] & kRouteSkipBlocked) != 0;
            if (!skip && !IsMoving() && !IsJumping()) return;
            ++routeIndex;
            return;
        }
        if (IsFacingCode(code)) {
            static constexpr int32_t kFacings[8] = {2, 4, 6, 8, 1, 3, 7, 9};
            if (code <= 15) {
                Face(kFacings[code - 8]);
            } else if (code == 22) {
                TurnClockwise();
            } else if (code == 23) {
                TurnCounterClockwise();
            } else if (code == 24) {
                TurnRandom();
            } else if (code == 25) {
                FaceRandom();
            } else if (code == 26) {
                FaceHero();
            } else {
                FaceAwayFromHero();
            }
            ++routeIndex;
            return;
        }
        switch (code) {
            case 28:
                // A self variable the character does not have is written nowhere.
                if (targetRefused) break;
                store.SetInt(command.arguments[0], value(1));
                world.map->refreshPagesFlag = 1;
                break;
            case 55:
                if (targetRefused) break;
                store.SetInt(command.arguments[0], store.GetInt(command.arguments[0]) + value(1));
                world.map->refreshPagesFlag = 1;
                break;
            case 29: moveSpeed = static_cast<int16_t>(command.arguments[0]); break;
            case 30: moveFrequency = static_cast<int16_t>(command.arguments[0]); break;
            case 31: animationSpeed = static_cast<int16_t>(command.arguments[0]); break;
            case 32: stepAnimation = 1; break;
            case 33: stepAnimation = 0; break;
            case 34: walkAnimation = 1; break;
            case 35: walkAnimation = 0; break;
            case 36: fixedFacing = 1; break;
            case 37: fixedFacing = 0; break;
            case 38: passThrough = 1; break;
            case 39: passThrough = 0; break;
            case 40: drawAbove = 1; break;
            case 41: drawAbove = 0; break;
            case 44:
                graphicFileName = ActiveEventLinks().databases->system.GetString(kSystemGraphicType, value(0), 0);
                break;
            case 45: opacity = static_cast<int16_t>(std::clamp(value(0), 0, 255)); break;
            case 46:
                if (world.map->links.sound) world.map->links.sound->Play(MapSoundKind::kSoundEffect, value(0), 1, 0);
                break;
            case 47: routeWait = value(0); break;
            case 48: stepSize = 1; break;
            case 49: stepSize = 2; break;
            case 50:
            case 51:
            case 52: restPattern = static_cast<int16_t>(code - 50); break;
            default: break;
        }
        ++routeIndex;
    }
}

// Saves.

void Character::WriteSave(ByteWriter& out) const {
    out.WriteI32(id);
    out.WriteI32(gridX);
    out.WriteI32(gridY);
    out.WriteI32(height);
    out.WriteU8(erased);
    out.WriteI32(graphicTileNumber);
    // The length is 16 bits, its terminator included.
    out.WriteShortString(graphicFileName.substr(0, 65534));
    out.WriteU16(static_cast<uint16_t>(opacity));
    out.WriteU16(blendMode);
    out.WriteU16(static_cast<uint16_t>(facing));
    out.WriteU16(static_cast<uint16_t>(pattern));
    out.WriteU8(forcedRoute);
    out.WriteU8(passThrough);
    WriteMoveRoute(out, currentRoute);
    WriteMoveRoute(out, suspendedRoute);
    out.WriteU16(static_cast<uint16_t>(moveType));
    out.WriteU16(static_cast<uint16_t>(moveSpeed));
    out.WriteU16(static_cast<uint16_t>(moveFrequency));
    out.WriteU16(static_cast<uint16_t>(animationSpeed));
    out.WriteU16(routeIndex);
    out.WriteU16(suspendedIndex);
    out.WriteU8(fixedFacing);
    out.WriteU8(drawAbove);
    out.WriteU8(turnedForEvent);
    out.WriteU32(static_cast<uint32_t>(extraInts.size()));
    for (int32_t value : extraInts)
        out.WriteI32(value);
}

namespace {

// Half tiles: the drawn position (64 units per half tile at most) stays
// within 32 bits.
constexpr int64_t kLargestSavedGrid = int64_t{1} << 24;

template <typename T, typename Read>
bool Take(std::optional<Read> value, T& into) {
    if (!value) return false;
    into = static_cast<T>(*value);
    return true;
}

}  // namespace

bool Character::ReadSave(SaveStream& save) {
    if (!Take(save.ReadI32(), id) || !Take(save.ReadI32(), gridX) || !Take(save.ReadI32(), gridY) ||
        !Take(save.ReadI32(), height) || !Take(save.ReadU8(), erased) || !Take(save.ReadI32(), graphicTileNumber)) {
        return false;
    }
    // No map reaches this far; a position beyond it is damage (and would
    // overflow the drawn position).
    if (std::abs(static_cast<int64_t>(gridX)) > kLargestSavedGrid ||
        std::abs(static_cast<int64_t>(gridY)) > kLargestSavedGrid) {
        save.errorFlag = true;
        return false;
    }
    // Any stored length that the data holds is taken, so every save this
    // program writes can be read back.
    auto name = save.ReadShortString();
    if (!name) return false;
    graphicFileName = std::move(*name);
    if (!Take(save.ReadU16(), opacity) || !Take(save.ReadU16(), blendMode) || !Take(save.ReadU16(), facing) ||
        !Take(save.ReadU16(), pattern) || !Take(save.ReadU8(), forcedRoute) || !Take(save.ReadU8(), passThrough)) {
        return false;
    }
    auto current = ReadMoveRoute(save);
    if (!current) return false;
    currentRoute = std::move(*current);
    auto suspended = ReadMoveRoute(save);
    if (!suspended) return false;
    suspendedRoute = std::move(*suspended);
    if (!Take(save.ReadU16(), moveType) || !Take(save.ReadU16(), moveSpeed) || !Take(save.ReadU16(), moveFrequency) ||
        !Take(save.ReadU16(), animationSpeed) || !Take(save.ReadU16(), routeIndex) ||
        !Take(save.ReadU16(), suspendedIndex) || !Take(save.ReadU8(), fixedFacing) || !Take(save.ReadU8(), drawAbove) ||
        !Take(save.ReadU8(), turnedForEvent)) {
        return false;
    }
    auto count = save.ReadU32();
    if (!count || !save.CanHold(*count, 4)) return false;
    extraInts.resize(*count);
    for (int32_t& value : extraInts) {
        if (!Take(save.ReadI32(), value)) return false;
    }
    // A save keeps no drawn position: the character stands on its cell.
    pixelX = GridTarget(gridX);
    pixelY = GridTarget(gridY);
    return true;
}

}  // namespace velk
