#pragma once
// What the map state reaches above itself: the game's sound state for the
// map's music and the characters' sound effects, and the runners of parallel common events, which the event
// layer builds. Each is an interface whose defaults do nothing; the shell
// installs the real ones in the map state.

#include <cstdint>
#include <string>

namespace velk {

enum class MapSoundKind { kMusic = 0, kBackgroundSound = 1, kSoundEffect = 2 };

class MapSoundPlayer {
public:
    virtual ~MapSoundPlayer() = default;
    // Plays entry `number` of the kind's sound list (-1 stops the sound).
    virtual void Play(MapSoundKind kind, int32_t number, int32_t fadeFrames, int32_t option) {}
    // Adds a sound by file name to the kind's list; the entry's number, or
    // kSoundAddFailed.
    virtual int32_t AddSoundFile(MapSoundKind kind, const std::string& fileName, int32_t fadeFrames, int32_t option,
                                 int32_t volume, int32_t frequency) {
        return kSoundAddFailed;
    }
    static constexpr int32_t kSoundAddFailed = -10;
    // A new map was loaded: the sounds that nothing plays any more go.
    virtual void ReleaseUnusedSounds() {}
};

// The common events that run beside the map every frame.
class ParallelCommonEvents {
public:
    virtual ~ParallelCommonEvents() = default;
    // One runner for every common event whose trigger is parallel.
    virtual void Rebuild() {}
    // No runners (no map is shown).
    virtual void Clear() {}
    // Pages were refreshed: each runner re-checks its conditions.
    virtual void Refresh() {}
    // One frame of every runner, in order.
    virtual void Run() {}
};

// What the drawing must pick up after a map-tile command: the per-tile draw
// flags, and the graphics of characters drawn from tileset cells.
class MapRedrawNotices {
public:
    virtual ~MapRedrawNotices() = default;
    virtual void TileFlagsChanged() {}
    virtual void TilesetChanged() {}
};

struct MapLinks {
    MapSoundPlayer* sound = nullptr;
    ParallelCommonEvents* parallelEvents = nullptr;
};

// The panorama the map scene shows; a map change may choose it, event
// commands change it. Held game-wide, as the scene reads it every frame.
struct PanoramaSelection {
    // -1 none; -2 the panorama the text describes.
    int32_t number = -1;
    // A description by text instead of a number.
    std::string text;
    bool fromText = false;
    // Eighths of a pixel per frame.
    int32_t speedX = 0, speedY = 0;
    // The map's scrolling is followed divided by this; 0 does not follow it.
    int32_t parallaxDivisor = 0;
};
PanoramaSelection& GlobalPanoramaSelection();

// The fog over the map, chosen the same way, with how it blends.
struct FogSelection : PanoramaSelection {
    // 0 alpha, 1 add, 2 subtract, 3 and above multiply.
    int32_t blendKind = 0;
    // Kept to 0..255 when drawn.
    int32_t opacity = 255;
};
FogSelection& GlobalFogSelection();

}  // namespace velk
