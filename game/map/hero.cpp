#include "game/map/hero.h"

#include <algorithm>

#include "game/data/byte_writer.h"
#include "game/data/input_state.h"
#include "game/data/save_stream.h"
#include "game/map/map_state.h"

namespace velk {
namespace {

bool Allowed(const bool (&mask)[5], int32_t trigger) { return trigger >= 0 && trigger < 5 && mask[trigger]; }

}  // namespace

HeroInput HeroInput::From(const InputState& input) {
    HeroInput result;
    result.direction8 = input.Direction8();
    result.direction4 = input.Direction4();
    result.confirmPressed = input.Pressed(kButtonConfirm);
    return result;
}

Hero::Hero() {
    ApplyGameSettings(World().rules);
    graphicFileName.clear();
    isHero = 1;
    slideOnDiagonal = 1;
    bytes.assign(1, static_cast<uint8_t>(World().values.heroShadow));
    shadowGraphicNumber = -1;
    stepped = 0;
    stepTrail.clear();
    currentRoute.commands.clear();
    followers.resize(PlayValues::kPartySize);
    for (size_t i = 0; i < followers.size(); ++i) {
        Character& follower = followers[i];
        follower.id = FollowerId(static_cast<int32_t>(i));
        follower.passThrough = 1;
        follower.isFollower = 1;
    }
}

size_t Hero::TrailMinimum() const {
    const int32_t spacing = std::max<int32_t>(World().values.followerSpacing, 1);
    return (followers.size() + 1) * static_cast<size_t>(spacing) + 1;
}

void Hero::RecordStep(int32_t direction) {
    if (formation) {
        lastDirection = direction;
    } else {
        stepTrail.insert(stepTrail.begin(), direction);
    }
    stepped = 1;
}

void Hero::GatherFollowers() {
    for (Character& follower : followers) {
        follower.gridX = gridX;
        follower.gridY = gridY;
        follower.pixelX = pixelX;
        follower.pixelY = pixelY;
    }
    stepTrail.assign(std::max<size_t>(kTrailLength, TrailMinimum()), 0);
}

void Hero::CenterView(int32_t x, int32_t y) {
    MapState& map = *World().map;
    const int64_t chip = map.settings.chipSize;
    const int64_t sx = 2 * chip * x - 2 * (20 * chip - chip);
    const int64_t sy = 2 * chip * y - 2 * (15 * chip - chip);
    const int64_t maxX = std::max<int64_t>(2 * chip * 2 * map.GetWidth() - 80 * chip, 0);
    const int64_t maxY = std::max<int64_t>(2 * chip * 2 * map.GetHeight() - 60 * chip, 0);
    map.scrollX = static_cast<int32_t>(map.loopX ? sx : std::clamp<int64_t>(sx, 0, maxX));
    map.scrollY = static_cast<int32_t>(map.loopY ? sy : std::clamp<int64_t>(sy, 0, maxY));
}

void Hero::PlaceAndCenter(int32_t x, int32_t y, int32_t precise) {
    SetPosition(x, y, precise);
    CenterView(gridX, gridY);
}

bool Hero::OwnStep(int32_t direction, bool turnFirst) {
    int32_t tx = gridX + DirectionX(direction) * stepSize;
    int32_t ty = gridY + DirectionY(direction) * stepSize;
    // A tall body with half steps reaches one more half row upward.
    if (DirectionY(direction) < 0 && tall && stepSize == 1) --ty;
    CheckTouchAt(tx, ty);
    return Step(direction, turnFirst);
}

void Hero::Update(const HeroInput& input) {
    CharacterWorld& world = World();
    MapState& map = *world.map;
    const bool wasMovingBefore = IsMoving();
    const int32_t oldGridX = gridX, oldGridY = gridY;
    if (shadowGraphicNumber != world.values.heroShadow) {
        bytes.resize(std::max<size_t>(bytes.size(), 1));
        bytes[0] = static_cast<uint8_t>(world.values.heroShadow);
    }
    const bool inputTaken = !world.EventRunning() && !forcedRoute && !world.InputBlocked();
    if (!IsMoving() && inputTaken) {
        int32_t direction = input.direction4;
        if (world.rules.moveDirections == 8) direction = input.direction8;
        if (direction != 0 && direction != 5) OwnStep(direction, !fixedFacing);
    }
    if (gridX != oldGridX || gridY != oldGridY) moved = 1;
    const int32_t oldPixelX = pixelX, oldPixelY = pixelY;
    Character::Update();
    UpdateFollowers();
    if (!world.values.viewLock) FollowView(oldPixelX, oldPixelY);
    CarryOnLoop();
    if (world.MovementAllowed() && moveType == 1 &&
        static_cast<int64_t>(stopCounter) > static_cast<int64_t>(moveFrequency) * moveFrequency * 20) {
        RunMoveRoute();
    }
    if (forcedRoute) RunMoveRoute();
    if (!IsMoving() && (wasMovingBefore || moved)) {
        moved = 0;
        static constexpr bool kStepOn[5] = {false, false, false, true, true};
        CheckTriggersHere(kStepOn);
    }
    if (!IsMoving() && !world.EventRunning() && !forcedRoute && !world.InputBlocked() && input.confirmPressed) {
        static constexpr bool kAction[5] = {true, false, false, false, false};
        CheckTriggersHere(kAction);
        CheckTriggersAhead(kAction);
    }
    (void)map;
}

void Hero::FollowView(int32_t oldX, int32_t oldY) {
    MapState& map = *World().map;
    const int32_t chip = map.settings.chipSize;
    if (pixelY > oldY && pixelY - map.scrollY > 28 * chip) map.MoveView(2, pixelY - oldY);
    if (pixelX < oldX && pixelX - map.scrollX < 38 * chip) map.MoveView(4, oldX - pixelX);
    if (pixelX > oldX && pixelX - map.scrollX > 38 * chip) map.MoveView(6, pixelX - oldX);
    if (pixelY < oldY && pixelY - map.scrollY < 28 * chip) map.MoveView(8, oldY - pixelY);
}

void Hero::CarryOnLoop() {
    CharacterWorld& world = World();
    MapState& map = *world.map;
    const int32_t chip = map.settings.chipSize;
    struct Axis {
        bool loops;
        GridCoordinate& grid;
        int32_t& pixel;
        int32_t& scroll;
        int32_t cells;
    } axes[] = {{map.loopX, gridX, pixelX, map.scrollX, 2 * map.GetWidth()},
                {map.loopY, gridY, pixelY, map.scrollY, 2 * map.GetHeight()}};
    for (Axis& axis : axes) {
        if (!axis.loops || axis.cells <= 0) continue;
        if ((axis.grid >= 0 && axis.grid < axis.cells) || axis.pixel != GridTarget(axis.grid)) continue;
        if (world.values.viewLock) {
            axis.grid = WrapGrid(axis.grid, axis.cells);
            axis.pixel = GridTarget(axis.grid);
            continue;
        }
        // The view moves with the hero, so the picture does not jump.
        const int32_t width = 2 * chip * axis.cells;
        while (axis.grid >= axis.cells) {
            axis.scroll -= width;
            axis.grid -= axis.cells;
            axis.pixel -= width;
        }
        while (axis.grid < 0) {
            axis.scroll += width;
            axis.grid += axis.cells;
            axis.pixel += width;
        }
    }
}

void Hero::UpdateFollowers() {
    CharacterWorld& world = World();
    MapState& map = *world.map;
    const PlayValues& values = world.values;
    const size_t spacing = static_cast<size_t>(std::max<int32_t>(values.followerSpacing, 1));
    for (size_t i = 0; i < followers.size(); ++i) {
        Character& follower = followers[i];
        if (values.followersWalk) follower.moveSpeed = moveSpeed;
        const int32_t shadow = i < values.followerShadows.size() ? values.followerShadows[i] : -1;
        follower.bytes.resize(std::max<size_t>(follower.bytes.size(), 1));
        follower.bytes[0] = static_cast<uint8_t>(shadow >= 0 ? shadow : shadow == -1 ? values.heroShadow : 255);
        if (values.followersWalk && stepped) {
            int32_t direction = lastDirection;
            if (!formation) {
                // An entry past the trail's end is no step.
                const size_t index = (i + 1) * spacing;
                direction = index < stepTrail.size() ? stepTrail[index] : 0;
            }
            if (direction >= 1 && direction <= 9 && direction != 5) follower.Step(direction, true);
        }
        follower.Update();
        const int32_t w2 = 2 * map.GetWidth(), h2 = 2 * map.GetHeight();
        if (map.loopX && w2 > 0 && (follower.gridX < 0 || follower.gridX >= w2) &&
            follower.pixelX == follower.GridTarget(follower.gridX)) {
            follower.gridX = WrapGrid(follower.gridX, w2);
            follower.pixelX = follower.GridTarget(follower.gridX);
        }
        if (map.loopY && h2 > 0 && (follower.gridY < 0 || follower.gridY >= h2) &&
            follower.pixelY == follower.GridTarget(follower.gridY)) {
            follower.gridY = WrapGrid(follower.gridY, h2);
            follower.pixelY = follower.GridTarget(follower.gridY);
        }
    }
    if (stepped) {
        // The trail keeps every follower's entry; in formation no entry was
        // added, so none is taken unless the trail is longer than needed.
        if (!stepTrail.empty() && (!formation || stepTrail.size() > TrailMinimum())) stepTrail.pop_back();
        while (stepTrail.size() < TrailMinimum())
            stepTrail.push_back(0);
    }
    stepped = 0;
}

// Start checks.

bool Hero::CheckTriggersHere(const bool (&mask)[5]) {
    CharacterWorld& world = World();
    if (world.EventRunning()) return false;
    bool any = false;
    for (MapEvent& event : world.map->events) {
        if (!Allowed(mask, event.trigger)) continue;
        if (!event.InReach(gridX, gridY, event.trigger == 4) || event.IsMoving() || !event.CanBeSteppedOn()) continue;
        any |= event.RequestStart(-1);
    }
    return any;
}

bool Hero::RequestAhead(const bool (&mask)[5], int32_t x, int32_t y) {
    for (MapEvent& event : World().map->events) {
        if (!Allowed(mask, event.trigger)) continue;
        if (!event.InReach(x, y, true) || event.IsMoving() || event.CanBeSteppedOn()) continue;
        event.RequestStart(-1);
        return true;
    }
    return false;
}

bool Hero::CheckTriggersAhead(const bool (&mask)[5]) {
    CharacterWorld& world = World();
    if (world.EventRunning()) return false;
    MapState& map = *world.map;
    const int32_t w2 = 2 * map.GetWidth(), h2 = 2 * map.GetHeight();
    const int32_t sx = DirectionX(facing);
    const int32_t sy = DirectionY(facing);
    auto wrap = [&](int32_t& x, int32_t& y) {
        if (map.loopX) x = WrapGrid(x, w2);
        if (map.loopY) y = WrapGrid(y, h2);
    };
    int32_t x = gridX + sx * stepSize;
    int32_t y = gridY + (sy < 0 && tall ? -2 : sy * stepSize);
    wrap(x, y);
    if (RequestAhead(mask, x, y)) return true;
    if (!map.IsNearCounter(x, y)) return false;
    // Across a counter: one step further, then half a tile more.
    x += sx * stepSize;
    y += sy * stepSize;
    wrap(x, y);
    if (RequestAhead(mask, x, y)) return true;
    x += sx;
    y += sy;
    wrap(x, y);
    return RequestAhead(mask, x, y);
}

bool Hero::CheckTouchAt(int32_t x, int32_t y) {
    bool any = false;
    for (MapEvent& event : World().map->events) {
        if (event.trigger != 3 && event.trigger != 4) continue;
        if (!event.InReach(x, y, true) || event.IsMoving() || event.CanBeSteppedOn()) continue;
        any |= event.RequestStart(-1);
    }
    return any;
}

// Saves.

void Hero::WriteSave(ByteWriter& out) const {
    Character::WriteSave(out);
    out.WriteU32(static_cast<uint32_t>(followers.size()));
    for (const Character& follower : followers)
        follower.WriteSave(out);
    out.WriteU8(formation);
    out.WriteU8(stepped);
    out.WriteU32(static_cast<uint32_t>(stepTrail.size()));
    for (int32_t direction : stepTrail)
        out.WriteI32(direction);
}

bool Hero::ReadSave(SaveStream& save) {
    if (!Character::ReadSave(save)) return false;
    auto count = save.ReadU32();
    // Every follower takes at least the fixed part of a character.
    if (!count || !save.CanHold(*count, 64)) {
        save.errorFlag = true;
        return false;
    }
    followers.resize(*count);
    for (Character& follower : followers) {
        if (!follower.ReadSave(save)) return false;
        follower.isFollower = 1;
    }
    auto formationByte = save.ReadU8();
    auto steppedByte = save.ReadU8();
    auto trailLength = save.ReadU32();
    if (!formationByte || !steppedByte || !trailLength) return false;
    formation = *formationByte;
    stepped = *steppedByte;
    if (!save.CanHold(*trailLength, 4)) {
        save.errorFlag = true;
        return false;
    }
    stepTrail.resize(*trailLength);
    for (int32_t& direction : stepTrail) {
        auto value = save.ReadI32();
        if (!value) return false;
        direction = *value;
    }
    return true;
}

}  // namespace velk
