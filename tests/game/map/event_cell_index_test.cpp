// The movement test finds the events that may block a step from the map's
// index of events by cell. Its answers must be those of a scan of every
// event, however the events came to stand where they stand.
#include <random>

#include <gtest/gtest.h>

#include "game/data/byte_writer.h"
#include "game/data/save_stream.h"
#include "tests/game/map/character_test_support.h"

namespace velk {
namespace {

using testing::CharacterWorldTest;

// One row of the movement test with every map event looked at.
bool ScannedCanMoveRow(const Character& mover, int32_t x, int32_t row, int32_t direction) {
    const CharacterWorld& world = ActiveCharacterWorld();
    const MapState& map = *world.map;
    const int32_t s = mover.stepSize;
    const int32_t w2 = 2 * map.GetWidth(), h2 = 2 * map.GetHeight();
    if (w2 <= 0 || h2 <= 0) return false;
    int32_t nx = x + DirectionX(direction) * s;
    int32_t ny = row + DirectionY(direction) * s;
    if (!map.IsInside(nx, ny + ((s == 1 && mover.tall) ? 1 : 0))) return false;
    if (map.loopX) nx = WrapGrid(nx, w2);
    if (map.loopY) ny = WrapGrid(ny, h2);
    if (mover.passThrough) return true;
    if (!map.IsPassable(x, row, direction, mover.id, s) || !map.IsPassable(nx, ny, 10 - direction, -1, s)) return false;
    // The target's neighbours are found with a remainder that keeps the
    // sign: only a looping axis has wrapped the target, so row -1 (a tall
    // half-stepper's upper half at the top of a map that does not loop) is
    // no row of the map. The others' positions are wrapped whole.
    for (const MapEvent& other : map.events) {
        if (other.id == mover.id || other.passThrough) continue;
        const int32_t ey = WrapGrid(other.gridY, h2);
        const bool vertical = ey == ny % h2 || (other.tall && (ey == ny || ey == (ny + 1) % h2));
        const int32_t ex = WrapGrid(other.gridX, w2);
        const bool horizontal = ex == nx || ex == (nx + w2 - 1) % w2 || ex == (nx + 1) % w2;
        if (vertical && horizontal && (!mover.isHero || other.HasGraphic())) return false;
    }
    if (!mover.isHero && world.hero) {
        const Character& hero = *world.hero;
        const int32_t hy = WrapGrid(hero.gridY, h2);
        const bool vertical = hy == ny || (hero.tall && WrapGrid(hero.gridY - 1, h2) == ny);
        const int32_t hx = WrapGrid(hero.gridX, w2);
        const bool horizontal = hx == nx || hx == (nx + 1) % w2 || hx == (nx + w2 - 1) % w2;
        if (vertical && horizontal && !hero.passThrough && mover.HasGraphic()) return false;
    }
    return true;
}

bool ScannedCanMoveTo(const Character& mover, int32_t x, int32_t y, int32_t direction) {
    if (!ScannedCanMoveRow(mover, x, y, direction)) return false;
    return !(mover.stepSize == 1 && mover.tall) || ScannedCanMoveRow(mover, x, y - 1, direction);
}

class EventCells : public CharacterWorldTest {
protected:
    int32_t Random(int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(random_); }
    bool Chance(int percent) { return Random(0, 99) < percent; }

    // A page that shows a graphic or not, lets others through or not, is
    // tall or not, and strolls about or stands; applied while variable 0
    // holds `value` (any value when negative).
    EventPage RandomPage(int32_t value) {
        EventPage page = testing::Page(0, Chance(70));
        if (Chance(10)) page.graphic.tileNumber = 3;
        page.route.options = {static_cast<uint8_t>(Chance(60) ? 2 : 0), 2, 6, 0, 0, 0};
        if (Chance(25)) page.route.options[4] |= 0x08;
        if (Chance(35)) page.route.options[4] |= 0x20;
        if (value >= 0) {
            page.conditions.flags[0] = 0x21;
            page.conditions.left[0] = kVariableBase;
            page.conditions.right[0] = value;
        }
        return page;
    }
    void AddRandomEvent() {
        std::vector<EventPage> pages = {RandomPage(-1)};
        if (Chance(50)) pages.push_back(RandomPage(Random(0, 2)));
        AddEvent(nextId_++, Random(0, map.GetWidth() - 1), Random(0, map.GetHeight() - 1), std::move(pages));
    }
    MapEvent& AnyEvent() {
        return map.events[static_cast<size_t>(Random(0, static_cast<int32_t>(map.events.size()) - 1))];
    }
    void RandomMap() {
        BuildMap(Random(1, 9), Random(1, 8));
        map.loopX = Chance(50);
        map.loopY = Chance(50);
        map.events.clear();
        for (int32_t x = 0; x < map.GetWidth(); ++x) {
            for (int32_t y = 0; y < map.GetHeight(); ++y) {
                if (Chance(12)) Wall(x, y);
            }
        }
        ActiveCharacterWorld().rules.stepSetting = Chance(30) ? 1 : 0;
        ActiveCharacterWorld().rules.tall = Chance(30);
        const int count = Random(0, 24);
        for (int i = 0; i < count; ++i)
            AddRandomEvent();
        Place(*hero, Random(0, 2 * map.GetWidth() - 1), Random(0, 2 * map.GetHeight() - 1));
        hero->tall = Chance(30);
        hero->passThrough = Chance(10);
        stranger_.id = 1000;
    }

    // A position just off the map as well as on it (looping characters stand
    // off it until they arrive), near an edge one time in three.
    int32_t AnyOf(int32_t cells) {
        return Chance(33) ? (Chance(50) ? Random(-2, 1) : cells + Random(-2, 1)) : Random(0, cells - 1);
    }
    int32_t AnyX() { return AnyOf(2 * map.GetWidth()); }
    int32_t AnyY() { return AnyOf(2 * map.GetHeight()); }

    // Changes the events one way or another.
    void Shake() {
        switch (Random(0, 11)) {
            case 0:
            case 1: Frames(Random(1, 12)); break;
            case 2:
                if (!map.events.empty()) AnyEvent().Step(Random(1, 9), Chance(50));
                break;
            case 3:
                if (!map.events.empty()) AnyEvent().Jump(Random(-2, 2), Random(-2, 2));
                break;
            case 4:
                if (!map.events.empty()) Place(AnyEvent(), AnyX(), AnyY());
                break;
            case 5:
                store.SetInt(kVariableBase, Random(0, 2));
                map.RefreshPages();
                break;
            case 6:
                if (!map.events.empty()) {
                    AnyEvent().StartErase(Random(0, 2));
                    Frames(4);
                }
                break;
            case 7: AddRandomEvent(); break;
            case 8:
                if (!map.events.empty())
                    map.events.erase(map.events.begin() + Random(0, static_cast<int32_t>(map.events.size()) - 1));
                break;
            case 9:
                if (!map.events.empty()) {
                    // An event read back from another's save takes its place.
                    ByteWriter out;
                    AnyEvent().WriteSave(out);
                    SaveStream in(out.Take());
                    MapEvent& target = AnyEvent();
                    const int32_t id = target.id;
                    ASSERT_TRUE(target.ReadSave(in));
                    target.id = id;
                }
                break;
            case 10:
                if (!map.events.empty()) {
                    MapEvent& event = AnyEvent();
                    event.passThrough = Chance(50);
                    event.tall = Chance(50);
                    event.graphicFileName = Chance(50) ? "e.png" : "";
                }
                break;
            default: hero->Step(Random(1, 9), true); break;
        }
    }

    // Random movers and steps, each answered as a scan answers it.
    void CompareAnswers(int trial) {
        // Not one of the map's events (nor a new one: that would be a
        // change the index was not told of).
        Character& stranger = stranger_;
        stranger.graphicFileName = Chance(50) ? "s.png" : "";
        for (int i = 0; i < 12; ++i) {
            const int pick = Random(0, 3);
            Character& mover = pick == 0                         ? static_cast<Character&>(*hero)
                               : pick == 1 || map.events.empty() ? stranger
                                                                 : AnyEvent();
            if (Chance(20)) mover.stepSize = Random(1, 2);
            if (Chance(20)) mover.tall = Chance(50);
            const int32_t x = AnyX(), y = AnyY(), direction = Random(0, 9);
            ASSERT_EQ(mover.CanMoveTo(x, y, direction), ScannedCanMoveTo(mover, x, y, direction))
                << "trial " << trial << ": mover " << mover.id << " at " << x << "," << y << " direction " << direction
                << " on " << map.GetWidth() << " x " << map.GetHeight() << " loops " << map.loopX << map.loopY
                << " with " << map.events.size() << " events";
        }
    }

    std::mt19937 random_{20240611};
    Character stranger_;
    int32_t nextId_ = 1;
};

TEST_F(EventCells, EveryAnswerIsTheScansOnRandomMapsAndMoves) {
    for (int trial = 0; trial < 300; ++trial) {
        RandomMap();
        for (int change = 0; change < 20; ++change) {
            Shake();
            CompareAnswers(trial);
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(EventCells, StepsRefileOnlyTheEventThatMoved) {
    map.loopX = true;
    for (int32_t i = 0; i < 20; ++i) {
        EventPage page = testing::Page(0);
        page.route.options = {2, 2, 6, 0, 0, 0};
        AddEvent(i + 1, i % 20, i % 15, {page});
    }
    Place(*hero, 30, 20);
    Frames(1);
    const uint64_t builds = map.EventCells().Builds();
    // Random strolls across the looping edge, the hero's own steps, and
    // every event asked about.
    for (int frame = 0; frame < 200; ++frame) {
        Frames(1);
        hero->Step(frame % 2 ? 4 : 6, true);
        for (MapEvent& event : map.events)
            ASSERT_EQ(event.CanMoveTo(event.gridX, event.gridY, 6),
                      ScannedCanMoveTo(event, event.gridX, event.gridY, 6));
    }
    EXPECT_EQ(map.EventCells().Builds(), builds);
    // A position written by hand is found all the same, by filing every
    // event again.
    MapEvent& walker = map.events[1];
    Place(map.events[0], walker.gridX + 2, walker.gridY);
    EXPECT_FALSE(walker.CanMoveTo(walker.gridX, walker.gridY, 6));
    EXPECT_EQ(map.EventCells().Builds(), builds + 1);
}

}  // namespace
}  // namespace velk
