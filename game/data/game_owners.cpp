#include "game/data/game_owners.h"

#include <ctime>

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

LocalDateTime SceneOwner::LocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm* converted = std::localtime(&now)) local = *converted;
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

GameOwners& ActiveGameOwners() {
    static GameOwners owners = IdleOwners();
    return owners;
}

void ResetGameOwners() { ActiveGameOwners() = IdleOwners(); }

}  // namespace velk
