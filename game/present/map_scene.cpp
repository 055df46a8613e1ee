#include "game/present/map_scene.h"

#include "game/data/game_info.h"
#include "game/event/main_event_interpreter.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"
#include "game/present/scene_drawing.h"
#include "game/present/screen_effects.h"

namespace velk {
namespace {

constexpr size_t kShadowSetting = 5;
constexpr size_t kWalkPatternSetting = 7;

}  // namespace

MapSceneSettings MapSceneSettings::FromGameInfo() {
    const GameInfo& info = GlobalGameInfo();
    MapSceneSettings settings;
    settings.chip = info.ChipSize();
    settings.scale = settings.chip == 16 ? 2 : 1;
    settings.frameStep = ComputeFrameStep(info.Setting(GameInfo::kFrameDivisorSetting));
    settings.walkPatterns = info.Setting(kWalkPatternSetting) == 5 ? 5 : 3;
    settings.shadows = info.Setting(kShadowSetting) == 1;
    return settings;
}

MapScene::MapScene(GraphicCache& cache, SceneDrawing& drawing, Database& systemDatabase, MapState& map, Hero& hero,
                   const ScreenTone& tone, const MapSceneSettings& settings)
    : tiles(cache, drawing, settings.chip, settings.scale),
      order(settings.chip),
      panorama(ParallaxLayer::Kind::kPanorama, cache, drawing, systemDatabase, settings.scale, settings.frameStep),
      fog(ParallaxLayer::Kind::kFog, cache, drawing, systemDatabase, settings.scale, settings.frameStep),
      cache_(cache),
      drawing_(drawing),
      systemDatabase_(systemDatabase),
      map_(map),
      hero_(hero),
      tone_(tone),
      settings_(settings) {
    Reset();
}

void MapScene::Reset() {
    heroSprite = CharacterSprite(&hero_);
    followerSprites.clear();
    eventSprites.clear();
    MatchSprites();
    tiles.damagedTile = false;
    refreshClasses_ = true;
    panorama.Reset();
    fog.Reset();
}

// Sprites keep pointing at their characters even when the vectors holding
// those were rebuilt or moved.
void MapScene::MatchSprites() {
    heroSprite.character = &hero_;
    if (followerSprites.size() != hero_.followers.size()) followerSprites.resize(hero_.followers.size());
    for (size_t i = 0; i < followerSprites.size(); ++i)
        followerSprites[i].character = &hero_.followers[i];
    if (eventSprites.size() != map_.events.size()) eventSprites.resize(map_.events.size());
    for (size_t i = 0; i < eventSprites.size(); ++i)
        eventSprites[i].character = &map_.events[i];
}

void MapScene::DrawMap(const PictureBands& pictures, bool forceReload) {
    if (refreshClasses_) {
        tiles.RefreshClasses(map_);
        refreshClasses_ = false;
    }
    MatchSprites();
    tiles.viewX = map_.scrollX / 4;
    tiles.viewY = map_.scrollY / 4;
    DrawTint(drawing_, tone_, false, false);
    panorama.Draw(map_);
    if (pictures) pictures(kPicturesBelowMap);
    tiles.Draw(map_, MapTileRenderer::kLowerPass);
    drawing_.SetDrawMode(settings_.pictureDrawMode);
    if (pictures) pictures(kPicturesAmongMap);
    drawing_.SetDrawMode(0);

    SpriteContext context{cache_,
                          drawing_,
                          systemDatabase_,
                          map_,
                          SpriteSettings{settings_.chip, settings_.scale, settings_.walkPatterns, settings_.shadows},
                          &tone_,
                          forceReload};
    order.Build(map_, hero_);
    for (int32_t code = order.Next(tiles.viewY); code != DrawOrderList::kEnd; code = order.Next(tiles.viewY)) {
        if (code >= 0) {
            if (static_cast<size_t>(code) < eventSprites.size()) {
                DrawCharacterSprite(eventSprites[static_cast<size_t>(code)], context);
            }
        } else if (code == DrawOrderList::kHero) {
            DrawCharacterSprite(heroSprite, context);
        } else if (code <= DrawOrderList::kFirstFollower && code >= DrawOrderList::kLastFollower) {
            const size_t index = static_cast<size_t>(DrawOrderList::kFirstFollower - code);
            if (index < followerSprites.size()) DrawCharacterSprite(followerSprites[index], context);
        } else if (DrawOrderList::IsTileRow(code)) {
            tiles.Draw(map_, MapTileRenderer::kRowPass, DrawOrderList::TileRowOf(code));
        }
    }
    tiles.Draw(map_, MapTileRenderer::kUpperPass);
    fog.Draw(map_);
    drawing_.SetDrawBlendMode(0, 255);
}

}  // namespace velk
