#include "game/data/game_owners.h"

namespace velk {
namespace {

GameOwners IdleOwners() {
    static MapOwner map;
    static SceneOwner scene;
    static InputOwner input;
    static SoundOwner sound;
    static EventOwner events;
    return {&map, &scene, &input, &sound, &events};
}

}  // namespace

CalendarTime SceneOwner::LocalTime() { return platform::LocalCalendarNow(); }

GameOwners& ActiveGameOwners() {
    static GameOwners owners = IdleOwners();
    return owners;
}

void ResetGameOwners() { ActiveGameOwners() = IdleOwners(); }

}  // namespace velk
