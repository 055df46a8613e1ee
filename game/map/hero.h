#pragma once
// The player's character: moved by the direction input, followed by the
// party along a trail of its recorded steps, with the view following it and
// carried along on looping maps.

#include <cstdint>
#include <vector>

#include "game/map/character.h"

namespace velk {

class InputState;

// What the hero reads of the player's input in one frame.
struct HeroInput {
    // Numpad codes, 0 none.
    int32_t direction8 = 0;
    int32_t direction4 = 0;
    bool confirmPressed = false;

    static HeroInput From(const InputState& input);
};

class Hero : public Character {
public:
    static constexpr int32_t kTrailLength = 100;

    Hero();

    // One frame while the map is shown.
    void Update(const HeroInput& input);
    void UpdateFollowers();
    void RecordStep(int32_t direction);
    // Every follower onto the hero; the trail starts afresh.
    void GatherFollowers();
    // The view so that grid (x, y) is 9.5 tiles from the left, 7 from the top.
    void CenterView(int32_t x, int32_t y);
    void PlaceAndCenter(int32_t x, int32_t y, int32_t precise);

    // Start checks (masks: one flag per trigger kind 0-4).
    bool CheckTriggersHere(const bool (&mask)[5]);
    bool CheckTriggersAhead(const bool (&mask)[5]);
    bool CheckTouchAt(int32_t x, int32_t y);

    void WriteSave(ByteWriter& out) const;
    bool ReadSave(SaveStream& save);

    uint8_t moved = 0;
    uint8_t formation = 0;
    int32_t lastDirection = 0;
    std::vector<Character> followers;

protected:
    bool OwnStep(int32_t direction, bool turnFirst) override;
    void StepTaken(int32_t direction) override { RecordStep(direction); }

private:
    // The trail's length that keeps every follower's entry inside it.
    size_t TrailMinimum() const;
    void FollowView(int32_t oldX, int32_t oldY);
    void CarryOnLoop();
    bool RequestAhead(const bool (&mask)[5], int32_t x, int32_t y);
};

}  // namespace velk
