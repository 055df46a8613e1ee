#pragma once
// One character of the map: the hero, a party follower or a map event. It
// stands on a grid of half tiles and is drawn at a position in quarter pixels
// that glides toward its cell after each step; it faces one of eight numpad
// directions, cycles its walk patterns, jumps, and runs move routes (a
// route its owner gives it, and forced routes given by event commands).
// State only: the sprites read the screen position, pattern, facing,
// opacity and blend mode from here.

#include <cstdint>
#include <string>
#include <vector>

#include "game/event/event_records.h"

namespace velk {

class ByteWriter;
class EventInterpreter;
class GameSystem;
class Hero;
class MapState;
class SaveStream;

// The game-wide movement settings (Game.dat).
struct MovementRules {
    // Eight facings drawn (else four).
    bool eightDirectionGraphics = true;
    // 8 or 4 directions of automatic movement; others switch it off.
    int32_t moveDirections = 8;
    // 3 or 5 columns of walk patterns.
    int32_t walkPatterns = 3;
    // 1: full-tile steps.
    int32_t stepSetting = 0;
    // Characters also occupy the half row above their feet.
    bool tall = false;
    // Move speed factors of map events and of the hero's party.
    int32_t eventSpeedFactor = 4;
    int32_t heroSpeedFactor = 4;

    static MovementRules FromGameInfo();
    // Frames the animation timer must pass for speed `index` (clamped to
    // the table's seven entries).
    int32_t AnimationThreshold(int32_t index) const;
};

// Values that events set and the map's characters read.
struct PlayValues {
    static constexpr int32_t kPartySize = 5;
    // The hero's shadow graphic (system database type 9).
    int16_t heroShadow = 0;
    // Per follower: -1 the hero's, below -1 none, else a type 9 entry.
    std::vector<int32_t> followerShadows = std::vector<int32_t>(kPartySize, -1);
    // Steps between followers (below 1 counts as 1).
    int16_t followerSpacing = 1;
    // Followers walk the hero's trail.
    uint8_t followersWalk = 0;
    // Non-zero: the view does not follow the hero.
    int32_t viewLock = 0;
    // Characters keep their own movement while an event runs.
    uint8_t movementInEvents = 0;
};

// What characters look at around them: the map, the hero, the settings, the
// main interpreter and the values events set. The shell fills the active
// world when it builds the game objects (tests fill their own).
struct CharacterWorld {
    MapState* map = nullptr;
    Hero* hero = nullptr;
    MovementRules rules;
    // Null: no event ever runs.
    const EventInterpreter* mainInterpreter = nullptr;
    PlayValues values;
    // Null: nothing blocks the hero's input but `inputBlocked`.
    const GameSystem* system = nullptr;
    bool inputBlocked = false;

    // The main interpreter runs an event.
    bool EventRunning() const;
    // A window is open, or a transition that events wait for runs.
    bool InputBlocked() const;
    // Own movement goes on: no event runs, or events allow it.
    bool MovementAllowed() const { return !EventRunning() || values.movementInEvents != 0; }
};

CharacterWorld& ActiveCharacterWorld();

// Route option bits (byte 5 of a route).
inline constexpr uint8_t kRouteRepeat = 0x01;
inline constexpr uint8_t kRouteSkipBlocked = 0x02;

// Character ids.
inline constexpr int32_t kHeroId = -2;
inline constexpr int32_t FollowerId(int32_t index) { return -3 - index; }

// A grid coordinate of a character (half tiles). It reads as a plain
// number; every change to one, anywhere, is counted, so the map's index of
// events by cell can tell that a position changed behind its back.
class GridCoordinate {
public:
    GridCoordinate(int32_t value = 0) noexcept : value_(value) { ++changes_; }
    GridCoordinate(const GridCoordinate& other) noexcept : value_(other.value_) { ++changes_; }
    GridCoordinate& operator=(const GridCoordinate& other) noexcept { return *this = other.value_; }
    GridCoordinate& operator=(int32_t value) noexcept {
        value_ = value;
        ++changes_;
        return *this;
    }
    GridCoordinate& operator+=(int32_t delta) { return *this = value_ + delta; }
    GridCoordinate& operator-=(int32_t delta) { return *this = value_ - delta; }
    GridCoordinate& operator++() { return *this += 1; }
    GridCoordinate& operator--() { return *this -= 1; }
    operator int32_t() const { return value_; }

    // Changes made to any character's coordinates so far.
    static uint64_t Changes() { return changes_; }

private:
    int32_t value_;
    static uint64_t changes_;
};

class Character {
public:
    Character();
    virtual ~Character() = default;
    Character(const Character&) = default;
    Character& operator=(const Character&) = default;
    Character(Character&&) = default;
    Character& operator=(Character&&) = default;

    void ApplyGameSettings(const MovementRules& rules);

    // Places the character on tile (precise 0) or half-tile (1) (x, y); a
    // place beyond the map is reported and pulled inside.
    void SetPosition(int32_t x, int32_t y, int32_t precise);
    // Screen pixels: the cell's centre, the foot line, and where the
    // graphic's top is drawn (height and jump arc taken off).
    int32_t GetScreenX(bool wrap) const;
    int32_t GetScreenY(bool wrap) const;
    int32_t GetDrawY(bool wrap) const;
    int32_t GetDrawPriority() const { return drawAbove ? 999 : 0; }
    uint8_t GetTerrainTag() const;
    bool IsMoving();
    bool IsMoving() const;
    // Also true for the frame after arrival.
    bool WasMoving();
    bool IsJumping() const { return jumpFramesLeft > 0; }
    bool HasGraphic() const { return !graphicFileName.empty() || graphicTileNumber != -1; }
    int32_t GridTarget(int32_t grid) const;

    void FaceHeroForEvent();
    void RestoreFacingAfterEvent();
    void StartColorEffect(uint32_t packedTarget, int32_t frames);
    void StartShake(int32_t amplitudeX, int32_t amplitudeY, int32_t swings, int32_t period);
    void ResetAnimation();

    // One frame.
    void Update();

    // Moves the character to grid (x, y) at once (its drawn position stays),
    // keeping the map's index of events by cell current.
    void PlaceOnGrid(int32_t x, int32_t y);

    // Movement tests; direction 0 tests the cell itself.
    bool CanMoveTo(int32_t x, int32_t y, int32_t direction) const;
    bool CanStep(int32_t x, int32_t y, int32_t direction) const;

    // Steps in a numpad direction (1-4, 6-9); true when taken.
    bool Step(int32_t direction, bool turnFirst);
    bool StepDown(bool turnFirst) { return Step(2, turnFirst); }
    bool StepLeft(bool turnFirst) { return Step(4, turnFirst); }
    bool StepRight(bool turnFirst) { return Step(6, turnFirst); }
    bool StepUp(bool turnFirst) { return Step(8, turnFirst); }
    void StepRandom();
    void StepTowardHero();
    void StepAwayFromHero();
    // byCharacter: toward character id a; else toward tile (a, b).
    void StepToward(bool byCharacter, int32_t a, int32_t b);
    void StepForward();
    void StepBackward();
    void Jump(int32_t dx, int32_t dy);

    // Facing: nothing at all while the facing is fixed.
    void Face(int32_t direction);
    void TurnClockwise();
    void TurnCounterClockwise();
    void TurnRandom();
    void FaceRandom();
    void FaceHero();
    void FaceAwayFromHero();

    // Runs the current route (a forced route, or the hero's).
    void RunMoveRoute();
    // Starts a forced route; the running one resumes after it.
    void StartMoveRoute(const MoveRoute& route);

    void WriteSave(ByteWriter& out) const;
    // False (with the stream's error flag set) on short data.
    bool ReadSave(SaveStream& save);

    int32_t id = -2;
    GridCoordinate gridX = 0, gridY = 0;
    int32_t pixelX = 0, pixelY = 0;
    int32_t graphicTileNumber = -1;
    std::string graphicFileName;
    int16_t opacity = 255;
    uint16_t blendMode = 0;
    int16_t facing = 2;
    int16_t pattern = 1;
    int16_t restPattern = 1;
    int16_t pageFacing = 2;
    int16_t pagePattern = 1;
    uint8_t forcedRoute = 0;
    uint8_t passThrough = 0;
    uint8_t isHero = 0;
    uint8_t eightDirectionGraphics = 1;
    uint8_t shadowOff = 0;
    uint8_t countOnlyWhenEventTurned = 0;
    int16_t moveType = 0;
    int16_t moveSpeed = 4;
    int16_t animationSpeed = 2;
    int16_t moveFrequency = 6;
    int16_t animationStep = 0;
    int16_t cycleCentre = 1;
    int32_t stopCounter = 0;
    int32_t jumpFramesLeft = 0;
    int32_t jumpHalfLength = 0;
    int32_t routeWait = 0;
    int32_t savedFacing = 0;
    MoveRoute currentRoute;
    MoveRoute suspendedRoute;
    uint16_t routeIndex = 0;
    uint16_t suspendedIndex = 0;
    uint8_t walkAnimation = 1;
    uint8_t stepAnimation = 0;
    uint8_t fixedFacing = 0;
    uint8_t drawAbove = 0;
    uint8_t turnedForEvent = 0;
    int32_t stepSize = 1;
    uint8_t tall = 0;
    uint8_t slideOnDiagonal = 0;
    uint8_t slideThisStep = 0;
    int16_t shadowGraphicNumber = -1;
    uint8_t erased = 0;
    uint8_t isFollower = 0;
    uint8_t stepped = 0;
    uint8_t moving = 0;
    uint8_t wasMoving = 0;
    int32_t height = 0;
    std::vector<int32_t> extraInts;
    int32_t cellWidth = 0, cellHeight = 0;
    uint32_t colorEffectTarget = 0;
    int32_t colorEffectTotal = 1;
    int32_t colorEffectLeft = 0;
    int32_t shakeAmplitudeX = 0, shakeAmplitudeY = 0;
    int32_t shakeSwings = 0;
    int32_t shakePeriod = 1;
    int32_t shakePhase = 0;
    int32_t shakeOffsetX = 0, shakeOffsetY = 0;
    // Item 0 the shadow graphic (255 none); items 1 and 2 a page's extents.
    std::vector<uint8_t> bytes = std::vector<uint8_t>(1, 0);
    std::vector<int32_t> stepTrail;
    double animationTimer = 0.0;

protected:
    // A step this character takes on its own (its route or automatic
    // movement); map events and the hero look for touches first.
    virtual bool OwnStep(int32_t direction, bool turnFirst) { return Step(direction, turnFirst); }
    // Every step taken (the hero records it for the followers).
    virtual void StepTaken(int32_t direction) {}
    // The route interpreter; `ownSteps` uses OwnStep and reads only the
    // arguments that name variables through this character's ids.
    void RunRoute(bool ownSteps);
    // Toward a point `dx`, `dy` grid units away (this minus the target).
    void StepTowardDelta(int32_t dx, int32_t dy, bool ownSteps);
    void StepRandomWith(bool ownSteps);
    void StepForwardWith(bool ownSteps);

    static CharacterWorld& World() { return ActiveCharacterWorld(); }
    // A difference of grid positions the shorter way round a looping map.
    void LoopAdjust(int32_t& dx, int32_t& dy) const;

private:
    void JumpFrame();
    void MoveFrame();
    void IdleFrame();
    void ShakeFrame();
    void AnimationFrame();
    bool StepStraight(int32_t direction, bool turnFirst);
    bool StepDiagonal(int32_t direction, bool turnFirst);
    bool CanMoveRow(int32_t x, int32_t y, int32_t row, int32_t direction) const;
    void MoveBy(int32_t direction);
    void FaceDiagonal(int32_t direction);
    void StepAway(int32_t dx, int32_t dy);
    int32_t RewriteArgument(int32_t value, bool& refused) const;
};

// `value` brought into 0..period-1 (as it stands when period is 0).
int32_t WrapGrid(int32_t value, int32_t period);
// The numpad direction's grid offsets (0 for none).
int32_t DirectionX(int32_t direction);
int32_t DirectionY(int32_t direction);
int32_t OppositeDirection(int32_t direction);

}  // namespace velk
