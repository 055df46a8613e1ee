#include <gtest/gtest.h>

#include "game/data/byte_writer.h"
#include "game/data/save_stream.h"
#include "game/map/map_state_owner.h"
#include "tests/game/map/character_test_support.h"

namespace velk {
namespace {

using testing::CharacterWorldTest;
using testing::Page;

// A page that applies while normal variable 0 equals `value`.
EventPage PageWhen(int32_t value, int32_t trigger = 0) {
    EventPage page = Page(trigger);
    page.conditions.flags[0] = 0x21;
    page.conditions.left[0] = kVariableBase;
    page.conditions.right[0] = value;
    return page;
}

class MapEvents : public CharacterWorldTest {
protected:
    HeroInput Confirm() {
        HeroInput input;
        input.confirmPressed = true;
        return input;
    }
    std::vector<int32_t> Requests() {
        std::vector<int32_t> ids;
        for (MapEvent& event : map.events) {
            if (event.startRequest) ids.push_back(event.id);
        }
        return ids;
    }
    void ClearRequests() {
        for (MapEvent& event : map.events)
            event.ClearStartRequest();
    }
};

TEST_F(MapEvents, TheLastPageWhoseConditionsHoldWins) {
    EventPage first = Page(0);
    first.graphic.fileName = "first.png";
    EventPage second = PageWhen(1);
    second.graphic.fileName = "second.png";
    second.graphic.facing = 8;
    second.route.options = {2, 4, 5, 3, 0x1C, 0};
    MapEvent& event = AddEvent(1, 3, 3, {first, second});
    EXPECT_EQ(event.pageIndex, 0);
    EXPECT_EQ(event.graphicFileName, "first.png");
    store.SetInt(kVariableBase, 1);
    map.RefreshPages();
    EXPECT_EQ(event.pageIndex, 1);
    EXPECT_EQ(event.graphicFileName, "second.png");
    EXPECT_EQ(event.facing, 8);
    EXPECT_EQ(event.moveType, 2);
    EXPECT_EQ(event.animationSpeed, 4);
    EXPECT_EQ(event.moveSpeed, 5);
    EXPECT_EQ(event.moveFrequency, 3);
    EXPECT_TRUE(event.fixedFacing);
    EXPECT_TRUE(event.passThrough);
    EXPECT_TRUE(event.drawAbove);
    // The same page again re-applies nothing: facing and route stay.
    event.facing = 4;
    event.routeIndex = 1;
    map.RefreshPages();
    EXPECT_EQ(event.facing, 4);
    EXPECT_EQ(event.routeIndex, 1);
}

TEST_F(MapEvents, WithoutAPageAnEventShowsNothingAndNeverStarts) {
    MapEvent& event = AddEvent(1, 3, 3, {PageWhen(5, 1)});
    EXPECT_EQ(event.pageIndex, -1);
    EXPECT_FALSE(event.HasGraphic());
    EXPECT_EQ(event.moveType, 0);
    EXPECT_FALSE(event.RequestStart(-1));
    map.Update();
    EXPECT_FALSE(event.startRequest);
}

TEST_F(MapEvents, AutomaticStartAndTheStarterTakingIt) {
    AddEvent(1, 3, 3, {Page(0)});
    AddEvent(2, 5, 3, {Page(1)});
    EXPECT_EQ(Requests(), (std::vector<int32_t>{2}));
    auto started = link->TakeStartingEvent();
    ASSERT_TRUE(started);
    EXPECT_EQ(started->eventId, 2);
    // An automatic start keeps asking.
    EXPECT_EQ(Requests(), (std::vector<int32_t>{2}));
}

TEST_F(MapEvents, OtherEventsCallPagesAndAskForStarts) {
    // Event 1's page 1 applies; event 2 has no page that holds.
    EventPage first = Page(0);
    first.commands.front().arguments = {CodeValue(CommandCode::kWait), 11};
    MapEvent& event = AddEvent(1, 3, 3, {first, Page(0)});
    AddEvent(2, 5, 3, {PageWhen(5)});
    EXPECT_EQ(link->EventPageCount(1), 2);
    EXPECT_EQ(link->EventPageCount(3), -1);
    SharedCommandList page0 = link->EventPageCommands(1, 0);
    ASSERT_TRUE(page0);
    EXPECT_EQ((*page0)[0].arguments[1], 11) << "page 0 whatever page applies";
    EXPECT_EQ(link->EventPageCommands(1, -1), event.commands) << "the current page";
    EXPECT_FALSE(link->EventPageCommands(1, 2));
    EXPECT_FALSE(link->EventPageCommands(3, 0));
    SharedCommandList none = link->EventPageCommands(2, -1);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Size(), 0u) << "no current page: nothing to run";

    link->RequestEventStart(1);
    link->RequestEventStart(2);
    link->RequestEventStart(3);
    EXPECT_EQ(Requests(), (std::vector<int32_t>{1}));
    ClearRequests();
    event.StartErase(10);
    link->RequestEventStart(1);
    EXPECT_TRUE(Requests().empty()) << "an event being erased does not start";
}

TEST_F(MapEvents, ConfirmStartsTheEventHereOrAhead) {
    // Event 1 shows nothing and stands on the hero's cell; event 2 shows a
    // graphic one tile right of the hero.
    MapEvent& here = AddEvent(1, 3, 3, {Page(0, false)});
    MapEvent& ahead = AddEvent(2, 4, 3, {Page(0)});
    Place(*hero, 6, 6);
    hero->facing = 6;
    hero->stepSize = 2;
    Frames(1);
    EXPECT_TRUE(Requests().empty());
    Frames(1, Confirm());
    EXPECT_EQ(Requests(), (std::vector<int32_t>{1, 2}));
    // The starter clears the request and turns the event to the hero.
    ahead.facing = 2;
    auto started = link->TakeStartingEvent();
    ASSERT_TRUE(started);
    EXPECT_EQ(started->eventId, 1);
    started = link->TakeStartingEvent();
    ASSERT_TRUE(started);
    EXPECT_EQ(started->eventId, 2);
    EXPECT_EQ(ahead.facing, 4);
    EXPECT_TRUE(Requests().empty());
    link->RestoreFacingAfterEvent(2);
    EXPECT_EQ(ahead.facing, 2);
    // A steppable event in front and a solid one underfoot do not start.
    ClearRequests();
    here.graphicFileName = "solid.png";
    here.passThrough = 0;
    ahead.graphicFileName.clear();
    Frames(1, Confirm());
    EXPECT_TRUE(Requests().empty());
}

TEST_F(MapEvents, ConfirmReachesAcrossACounter) {
    map.map.Tile(0, 4, 3) = testing::kCounterTile;
    AddEvent(2, 5, 3, {Page(0)});
    Place(*hero, 6, 6);
    hero->facing = 6;
    hero->stepSize = 2;
    Frames(1, Confirm());
    EXPECT_EQ(Requests(), (std::vector<int32_t>{2}));
}

TEST_F(MapEvents, TouchTriggers) {
    // Hero touch: walking into a solid event, or onto a steppable one.
    MapEvent& solid = AddEvent(1, 4, 3, {Page(3)});
    MapEvent& floor = AddEvent(2, 3, 5, {Page(3, false)});
    Place(*hero, 6, 6);
    // Touch: also half a tile beside the cell where the hero stops; a hero
    // touch there does not start.
    Place(AddEvent(3, 0, 0, {Page(4, false)}), 7, 10);
    Place(AddEvent(4, 0, 0, {Page(3, false)}), 5, 10);
    HeroInput right;
    right.direction8 = right.direction4 = 6;
    Frames(1, right);
    EXPECT_EQ(Requests(), (std::vector<int32_t>{1}));
    EXPECT_EQ(hero->gridX, 6);
    ClearRequests();
    HeroInput down;
    down.direction8 = down.direction4 = 2;
    for (int i = 0; i < 4 && Requests().empty(); ++i)
        Frames(8, down);
    EXPECT_EQ(Requests(), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(hero->gridY, 10);
    (void)solid;
    (void)floor;
}

TEST_F(MapEvents, TouchByTheEventItself) {
    // A custom route stepping right, every standing frame.
    EventPage page = Page(4);
    page.route = testing::Route({testing::Move(2)}, kRouteRepeat);
    page.route.options[0] = 1;
    page.route.options[3] = 0;
    MapEvent& event = AddEvent(1, 3, 3, {page});
    Place(*hero, 8, 6);
    // The event steps into the hero: it asks to start and stays put.
    map.Update();
    EXPECT_EQ(Requests(), (std::vector<int32_t>{1}));
    EXPECT_EQ(event.gridX, 6);
    // Not while an event runs (movement in events allowed, so it tries).
    ClearRequests();
    ActiveCharacterWorld().values.movementInEvents = 1;
    mainInterpreter.Setup(std::make_shared<CommandList>(std::vector<EventCommand>(1)), 1, -1);
    map.Update();
    EXPECT_TRUE(Requests().empty());
    mainInterpreter.Reset();
}

TEST_F(MapEvents, ParallelPageRestartsAfterItsCommandsEnd) {
    int runs = 0;
    table.Register(CommandCode::kWait, 1, 0, [&runs](EventInterpreter&, const EventCommand&) {
        ++runs;
        return CommandResult::kNext;
    });
    MapEvent& event = AddEvent(1, 3, 3, {Page(2)});
    ASSERT_EQ(event.interpreters.size(), 1u);
    for (int i = 0; i < 3; ++i)
        map.Update();
    EXPECT_EQ(runs, 3);
    EXPECT_FALSE(event.startRequest);
}

TEST_F(MapEvents, EraseFadesThenDropsThePage) {
    MapEvent& event = AddEvent(1, 3, 3, {Page(0)});
    link->StartErase(1, 4);
    map.Update();
    EXPECT_EQ(event.opacity, 255 * 3 / 4);
    EXPECT_FALSE(event.RequestStart(-1));
    for (int i = 0; i < 4; ++i)
        map.Update();
    EXPECT_TRUE(event.erased);
    EXPECT_EQ(event.pageIndex, -1);
    EXPECT_FALSE(event.HasGraphic());
    map.RefreshPages();
    EXPECT_EQ(event.pageIndex, -1);
}

TEST_F(MapEvents, RandomAndApproachingMovement) {
    EventPage page = Page(0);
    page.route.options = {3, 2, 4, 0, 0, 0};
    MapEvent& event = AddEvent(1, 3, 3, {page});
    Place(*hero, 14, 6);
    for (int i = 0; i < 200; ++i)
        map.Update();
    // Always nearer, never onto the hero.
    EXPECT_LT(std::abs(event.gridX - hero->gridX) + std::abs(event.gridY - hero->gridY), 8);
    EventPage random = Page(0);
    random.route.options = {2, 2, 4, 0, 0, 0};
    MapEvent& wanderer = AddEvent(2, 8, 8, {random});
    const int32_t startX = wanderer.gridX, startY = wanderer.gridY;
    for (int i = 0; i < 100; ++i)
        map.Update();
    EXPECT_TRUE(wanderer.gridX != startX || wanderer.gridY != startY);
}

TEST_F(MapEvents, HalfTileUpStartAndSaveRoundTrip) {
    EventPage page = Page(0);
    page.route.options[4] = 0x40;
    MapEvent& event = AddEvent(7, 3, 3, {page});
    EXPECT_EQ(event.gridY, 5);
    event.graphicFileName = std::string(300, 'n');
    event.extraInts = {4, 5};
    ByteWriter out;
    event.WriteSave(out);
    std::vector<uint8_t> bytes = out.Bytes();
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        SaveStream save(part);
        Character copy;
        EXPECT_FALSE(copy.ReadSave(save)) << cut;
        EXPECT_TRUE(save.errorFlag) << cut;
    }
    SaveStream save(bytes);
    Character copy;
    ASSERT_TRUE(copy.ReadSave(save));
    EXPECT_EQ(copy.graphicFileName, event.graphicFileName);
    EXPECT_EQ(copy.extraInts, event.extraInts);
    EXPECT_EQ(copy.gridY, 5);
    EXPECT_EQ(copy.pixelY, 5 * 64);
    EXPECT_EQ(copy.id, 7);
}

TEST_F(MapEvents, TheVariableStoreReachesEventsAndTheParty) {
    MapStateOwner owner(map, hero.get());
    ActiveGameOwners().map = &owner;
    AddEvent(5, 3, 4, {Page(0)});
    Place(*hero, 9, 12);
    EXPECT_EQ(store.GetInt(9100000 + 5 * 10 + kFieldTileX), 3);
    EXPECT_EQ(store.GetInt(9100000 + 5 * 10 + kFieldHalfTileY), 8);
    EXPECT_EQ(store.GetInt(kPartyDataBase + kFieldHalfTileX), 9);
    store.SetInt(kPartyDataBase + 2 * 10 + kFieldTileY, 6);
    EXPECT_EQ(hero->followers[1].gridY, 12);
    EXPECT_EQ(store.GetInt(kPartyDataBase + 9 * 10 + kFieldTileX), -1);
    // A map event's route reaches its own data through the relative ids.
    map.events[0].StartMoveRoute(testing::Route({testing::Move(28, {9190000 + kFieldHalfTileX, 17})}));
    EXPECT_EQ(map.events[0].gridX, 17);
}

}  // namespace
}  // namespace velk
