#include "game/map/map_state.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "game/data/byte_writer.h"
#include "game/data/databases.h"
#include "game/data/game_file_source.h"
#include "game/data/game_info.h"
#include "game/data/save_stream.h"
#include "game/map/map_texts.h"

namespace velk {
namespace {

// The map list of the system database: one row per map id.
constexpr int32_t kMapListType = 0;
constexpr int32_t kMapFileItem = 0;
constexpr int32_t kMapMusicItem = 1;
constexpr int32_t kMapBackgroundSoundItem = 2;
constexpr int32_t kMapLoopItem = 3;
constexpr int32_t kMapPanoramaItem = 4;
constexpr int32_t kMapMusicFileItem = 5;
constexpr int32_t kMapBackgroundSoundFileItem = 6;
constexpr int32_t kMapPanoramaTextItem = 7;

// A value of a sound or panorama item that names the file by text instead.
constexpr int32_t kNamedByText = -3;
constexpr int32_t kMapSoundFade = 5;

constexpr int32_t kViewTilesAcross = 20;
constexpr int32_t kViewTilesDown = 15;
// The fewest bytes a character's save part takes: no name, empty routes, no
// extra values.
constexpr size_t kSmallestCharacterPart = 72;
// Larger powers would overflow the shake's step arithmetic.
constexpr int32_t kLargestShakePower = 12;
// Save versions from which the map part carries the view (scroll and size,
// before it one byte stood there) and the cells with their tileset names and
// flags.
constexpr uint16_t kSinceViewValues = 100;
constexpr uint16_t kSinceCells = 105;

int32_t PowerOfTwo(int32_t exponent) { return 1 << std::clamp(exponent, 0, kLargestShakePower); }

// The last scroll position on an axis: the map's size less one screen.
int32_t ScrollLimit(int32_t tiles, int32_t chip, int32_t viewTiles) { return tiles * chip * 4 - chip * 4 * viewTiles; }

}  // namespace

MapSettings MapSettings::FromGameInfo() {
    const GameInfo& info = GlobalGameInfo();
    MapSettings settings;
    settings.chipSize = info.ChipSize();
    settings.frameStep = ComputeFrameStep(info.Setting(GameInfo::kFrameDivisorSetting));
    settings.stepSetting = info.Setting(8);
    return settings;
}

PanoramaSelection& GlobalPanoramaSelection() {
    static PanoramaSelection selection;
    return selection;
}

FogSelection& GlobalFogSelection() {
    static FogSelection selection;
    return selection;
}

MapState::MapState(const MapSettings& settings) : settings(settings) { Reset(); }

void MapState::Reset() {
    mapId = -1;
    scrollX = scrollY = 0;
    zoom = MapZoom();
    refreshPagesFlag = 0;
    frameCounter = 0;
    shakeX = ShakeAxis();
    shakeY = ShakeAxis();
    events.clear();
    if (links.parallelEvents) links.parallelEvents->Clear();
    savedIntegers.clear();
    tilesets = TilesetList();
    tilesets.Load(texts::kTilesetFileName);
}

bool MapState::LoadMap(int32_t id) { return LoadMapFor(id, true); }

bool MapState::LoadMapFor(int32_t id, bool live) {
    mapId = id;
    Database& system = GlobalDatabases().system;
    const int32_t items = system.GetItemCount(kMapListType);
    bool read = false;
    if (live) {
        read = map.Read(system.GetString(kMapListType, id, kMapFileItem));
    } else if (id >= 0 && id < system.GetDataCount(kMapListType) && items > kMapLoopItem) {
        // A snapshot shows nothing and ends nothing: a map that the list
        // does not name or that cannot be read only fails the read.
        auto file = ReadGameFile("Data\\" + system.GetString(kMapListType, id, kMapFileItem));
        read = file && ParseMapFile(*file, map) == MapFileStatus::kLoaded;
    }
    if (!read) {
        map = MapData();
        return false;
    }

    const int32_t number = map.header.tileset;
    // A tileset the list does not hold leaves the map with an empty one:
    // nothing drawn from it, every base tile outside its flags.
    if (number >= 0 && number < tilesets.GetCount()) {
        TakeTileset(tilesets.tilesets[static_cast<size_t>(number)]);
    } else {
        TakeTileset(Tileset());
    }
    scrollX = scrollY = 0;
    refreshPagesFlag = 0;

    events.clear();
    events.reserve(map.events.size());
    for (const MapEventData& data : map.events)
        events.emplace_back(id, data);
    if (live && links.parallelEvents) links.parallelEvents->Rebuild();

    scrollDirectionX = scrollDirectionY = 0;
    scrollRemainingX = scrollRemainingY = 0;
    scrollSpeedX = scrollSpeedY = 4;

    if (live && items > kMapPanoramaItem) {
        PanoramaSelection& panorama = GlobalPanoramaSelection();
        const int32_t value = system.GetInt(kMapListType, id, kMapPanoramaItem);
        if (value >= -1) {
            panorama.number = value;
        } else if (value == kNamedByText && items > kMapPanoramaTextItem) {
            panorama.text = system.GetString(kMapListType, id, kMapPanoramaTextItem);
            panorama.fromText = panorama.text.size() >= 2;
            if (!panorama.fromText) panorama.number = -1;
        }
    }
    const int32_t loop = system.GetInt(kMapListType, id, kMapLoopItem);
    loopX = loop == 1 || loop == 3;
    loopY = loop == 2 || loop == 3;
    return true;
}

void MapState::TakeTileset(const Tileset& chosen) {
    tileset = chosen;
    baseImageName = chosen.images[0];
    for (int i = 0; i < kAutoTileImageCount; ++i)
        autoTileImageNames[static_cast<size_t>(i)] = chosen.images[i + 1];
    tileFlags = chosen.tileFlags;
    loadedTileFlags = chosen.tileFlags;
    terrainTags = chosen.terrainTags;
}

void MapState::PlayMapSound() {
    if (!links.sound) return;
    Database& system = GlobalDatabases().system;
    const int32_t items = system.GetItemCount(kMapListType);
    const struct {
        MapSoundKind kind;
        int32_t numberItem;
        int32_t fileItem;
    } sounds[] = {{MapSoundKind::kMusic, kMapMusicItem, kMapMusicFileItem},
                  {MapSoundKind::kBackgroundSound, kMapBackgroundSoundItem, kMapBackgroundSoundFileItem}};
    for (const auto& sound : sounds) {
        const int32_t value = system.GetInt(kMapListType, mapId, sound.numberItem);
        if (value >= -1) {
            links.sound->Play(sound.kind, value, kMapSoundFade, 0);
        } else if (value == kNamedByText && items > sound.fileItem) {
            const std::string file = system.GetString(kMapListType, mapId, sound.fileItem);
            const int32_t number = links.sound->AddSoundFile(sound.kind, file, kMapSoundFade, 0, 100, 100);
            if (number != MapSoundPlayer::kSoundAddFailed) links.sound->Play(sound.kind, number, kMapSoundFade, 0);
        }
    }
}

void MapState::RefreshPages() {
    if (mapId >= 0) {
        for (MapEvent& event : events)
            event.RefreshPage();
        if (links.parallelEvents) links.parallelEvents->Refresh();
    }
    refreshPagesFlag = 0;
}

MapEvent* MapState::FindEvent(int32_t eventId) {
    for (MapEvent& event : events) {
        if (event.id == eventId) return &event;
    }
    return nullptr;
}

const MapEvent* MapState::FindEvent(int32_t eventId) const {
    return const_cast<MapState*>(this)->FindEvent(eventId);
}

void MapState::MoveView(int32_t direction, int32_t distance) {
    if (distance <= 0) return;
    const int32_t chip = settings.chipSize;
    int32_t remaining = distance;
    if (direction == 4 || direction == 6) {
        ScrollAxis(scrollX, remaining, distance, direction, ScrollLimit(GetWidth(), chip, kViewTilesAcross), loopX);
    } else if (direction == 2 || direction == 8) {
        ScrollAxis(scrollY, remaining, distance, direction, ScrollLimit(GetHeight(), chip, kViewTilesDown), loopY);
    }
}

bool MapState::IsInside(int32_t x, int32_t y) const {
    const int64_t width = map.header.width;
    const int64_t height = map.header.height;
    const bool insideX = loopX || (x >= 0 && x < 2 * width - 1);
    const bool insideY = loopY || (y >= 0 && y < 2 * height);
    return insideX && insideY;
}

void MapState::StartScroll(int32_t dx, int32_t dy, int32_t speed) {
    scrollDirectionX = dx < 1 ? 4 : 6;
    scrollDirectionY = dy < 1 ? 8 : 2;
    const double ax = std::abs(static_cast<double>(dx));
    const double ay = std::abs(static_cast<double>(dy));
    scrollRemainingX = static_cast<int32_t>(std::min(ax, 2147483647.0));
    scrollRemainingY = static_cast<int32_t>(std::min(ay, 2147483647.0));
    const double distance = std::sqrt(ax * ax + ay * ay);
    // A scroll of nothing ends at once (and would divide by zero below).
    if (distance == 0) return;
    const double factor = speed >= 8 ? 1e8 : std::pow(2.0, speed + 1);
    auto axisSpeed = [&](double length) {
        const double value = std::trunc(length * factor / distance);
        return value >= 1 ? static_cast<int32_t>(std::min(value, 2147483647.0)) : 1;
    };
    scrollSpeedX = axisSpeed(ax);
    scrollSpeedY = axisSpeed(ay);
}

void MapState::ScrollAxis(int32_t& position, int32_t& remaining, int32_t speed, int32_t direction, int32_t limit,
                          bool loops) {
    if (remaining <= 0) return;
    const int32_t step = std::clamp(speed, -remaining, remaining);
    if (direction == 4 || direction == 8) {
        position -= step;
        if (!loops && position < 1) position = 0;
    } else if (!loops && static_cast<int64_t>(position) + step >= limit) {
        position = limit;
    } else {
        position += step;
    }
    remaining = std::max(0, remaining - speed);
}

void MapState::StartShake(int32_t strength, int32_t speed, int32_t axis, int32_t frames) {
    ShakeAxis& shake = axis == 0 ? shakeY : shakeX;
    shake.amplitude = PowerOfTwo(strength);
    shake.speed = PowerOfTwo(speed);
    shake.remaining = static_cast<int32_t>(std::min<int64_t>(int64_t{frames} + 1, INT32_MAX));
    shake.direction = 1;
}

void MapState::StopShake() {
    shakeX.remaining = 0;
    shakeY.remaining = 0;
}

void MapState::ShakeStep(ShakeAxis& axis) {
    if (axis.remaining < 1 && axis.offset == 0) return;
    const int32_t frameStep = std::max(settings.frameStep, 1);
    const int32_t step = axis.amplitude * axis.speed * axis.direction * 64 / frameStep / 10;
    if (axis.remaining < 2) {
        // The last frame: stop at the centre rather than swing past it.
        const int64_t next = static_cast<int64_t>(axis.offset) + step;
        axis.offset = next * axis.offset < 1 ? 0 : static_cast<int32_t>(next);
    } else {
        axis.offset += step;
    }
    if (axis.offset > axis.amplitude * 128) axis.direction = -1;
    if (axis.offset < -(axis.amplitude * 128)) axis.direction = 1;
    if (axis.remaining >= 1) axis.remaining -= 1;
}

void MapState::StartZoom(int32_t centreX, int32_t centreY, int32_t newZoom, int32_t frames) {
    const int64_t total = std::max(zoom.total, 1);
    const int64_t remaining = zoom.remaining;
    auto reached = [&](int64_t target, int64_t start) {
        return static_cast<int32_t>(target - (target - start) * remaining / total);
    };
    zoom.startZoom = reached(zoom.targetZoom, zoom.startZoom);
    if (zoom.startZoom != 100) {
        zoom.startX = reached(zoom.targetX, zoom.startX);
        zoom.startY = reached(zoom.targetY, zoom.startY);
    } else {
        // Unzoomed, a change of centre shows nothing: it moves at once.
        zoom.startX = centreX;
        zoom.startY = centreY;
    }
    zoom.targetX = centreX;
    zoom.targetY = centreY;
    zoom.targetZoom = newZoom;
    zoom.total = zoom.remaining = frames;
}

void MapState::ZoomStep() {
    if (zoom.remaining < 1) {
        zoom.currentX = zoom.targetX;
        zoom.currentY = zoom.targetY;
        zoom.currentZoom = zoom.targetZoom;
        return;
    }
    zoom.remaining -= 1;
    if (zoom.remaining == 0) zoom.startZoom = zoom.targetZoom;
    const int64_t total = std::max(zoom.total, 1);
    auto between = [&](int64_t target, int64_t start) {
        return static_cast<int32_t>(target - (target - start) * zoom.remaining / total);
    };
    zoom.currentX = between(zoom.targetX, zoom.startX);
    zoom.currentY = between(zoom.targetY, zoom.startY);
    zoom.currentZoom = between(zoom.targetZoom, zoom.startZoom);
}

void MapState::Update() {
    if (refreshPagesFlag) RefreshPages();
    const int32_t chip = settings.chipSize;
    ScrollAxis(scrollX, scrollRemainingX, scrollSpeedX, scrollDirectionX,
               ScrollLimit(GetWidth(), chip, kViewTilesAcross), loopX);
    ScrollAxis(scrollY, scrollRemainingY, scrollSpeedY, scrollDirectionY,
               ScrollLimit(GetHeight(), chip, kViewTilesDown), loopY);
    ShakeStep(shakeX);
    ShakeStep(shakeY);
    shakePixelX = chip * shakeX.offset / 32 / 64;
    shakePixelY = chip * shakeY.offset / 32 / 64;
    ZoomStep();
    for (MapEvent& event : events)
        event.Update();
    if (links.parallelEvents) links.parallelEvents->Run();
    frameCounter = (frameCounter + 1) % kFrameCounterPeriod;
}

bool MapState::WriteSave(ByteWriter& out) const {
    // Without a map read (none shown yet) the header's size has no cells.
    bool cellsHeld = GetWidth() > 0 && GetHeight() > 0;
    for (const auto& layer : map.layers)
        cellsHeld = cellsHeld && layer.size() == static_cast<size_t>(GetWidth()) * static_cast<size_t>(GetHeight());
    const int32_t width = cellsHeld ? GetWidth() : 0;
    const int32_t height = cellsHeld ? GetHeight() : 0;
    out.WriteI32(mapId);
    out.WriteI32(scrollX);
    out.WriteI32(scrollY);
    out.WriteI32(width);
    out.WriteI32(height);
    for (int layer = 0; layer < MapData::kLayerCount; ++layer) {
        for (int32_t x = 0; x < width; ++x) {
            for (int32_t y = 0; y < height; ++y)
                out.WriteI32(map.Tile(layer, x, y));
        }
    }
    out.WriteString(baseImageName);
    for (const std::string& name : autoTileImageNames)
        out.WriteString(name);
    out.WriteU32(static_cast<uint32_t>(tileFlags.size()));
    for (int32_t flags : tileFlags)
        out.WriteI32(flags);
    out.WriteU32(static_cast<uint32_t>(events.size()));
    for (const MapEvent& event : events)
        event.WriteSave(out);
    out.WriteU32(static_cast<uint32_t>(savedIntegers.size()));
    for (int32_t value : savedIntegers)
        out.WriteI32(value);
    return true;
}

bool MapState::ReadSavedCells(SaveStream& save, int32_t width, int32_t height, bool noMap) {
    // The layers come in the size they were saved with, and the map takes
    // that size too, so every lookup stays inside them.
    const int64_t cells = static_cast<int64_t>(width) * height;
    const bool sizeFits = noMap ? width >= 0 && height >= 0 : width > 0 && height > 0;
    if (!sizeFits || !save.CanHold(static_cast<uint64_t>(cells) * MapData::kLayerCount, 4)) {
        save.errorFlag = true;
        return false;
    }
    map.header.width = width;
    map.header.height = height;
    for (auto& layer : map.layers) {
        layer.resize(static_cast<size_t>(cells));
        for (int32_t& value : layer) {
            auto read = save.ReadI32();
            if (!read) return false;
            value = *read;
        }
    }
    auto base = save.ReadString();
    if (!base) return false;
    baseImageName = std::move(*base);
    for (std::string& name : autoTileImageNames) {
        auto read = save.ReadString();
        if (!read) return false;
        name = std::move(*read);
    }
    auto flagCount = save.ReadU32();
    if (!flagCount || !save.CanHold(*flagCount, 4)) return false;
    tileFlags.resize(*flagCount);
    for (int32_t& flags : tileFlags) {
        auto read = save.ReadI32();
        if (!read) return false;
        flags = *read;
    }
    return true;
}

bool MapState::ReadSave(SaveStream& save, bool live) {
    auto id = save.ReadI32();
    if (!id) return false;
    const bool noMap = *id == -1;
    if (noMap) {
        // Saved before any map was shown: there is no map to read.
        mapId = -1;
        map = MapData();
        events.clear();
    } else if (!LoadMapFor(*id, live)) {
        // The map the save was made on is gone: the save cannot be shown.
        save.errorFlag = true;
        return false;
    }
    // Older saves lack the view and the cells: those stay as the map file
    // and its tileset give them.
    if (save.version < kSinceViewValues) {
        if (!save.ReadU8()) return false;
    } else {
        auto sx = save.ReadI32();
        auto sy = save.ReadI32();
        auto width = save.ReadI32();
        auto height = save.ReadI32();
        if (!sx || !sy || !width || !height) return false;
        scrollX = *sx;
        scrollY = *sy;
        if (save.version >= kSinceCells && !ReadSavedCells(save, *width, *height, noMap)) return false;
    }
    auto eventCount = save.ReadU32();
    if (!eventCount || !save.CanHold(*eventCount, kSmallestCharacterPart)) return false;
    if (events.size() < *eventCount) {
        while (events.size() < *eventCount)
            events.emplace_back(mapId, MapEventData(-1));
    }
    for (uint32_t i = 0; i < *eventCount; ++i) {
        if (!events[i].ReadSave(save)) return false;
    }
    auto integerCount = save.ReadU32();
    if (!integerCount || !save.CanHold(*integerCount, 4)) return false;
    savedIntegers.resize(*integerCount);
    for (int32_t& value : savedIntegers) {
        auto read = save.ReadI32();
        if (!read) return false;
        value = *read;
    }
    return true;
}

}  // namespace velk
