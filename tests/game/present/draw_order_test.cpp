// The order of characters and upper tile rows: pass-through events first,
// the others with the hero among the rows by their foot line, events drawn
// above after every row; and where the first tile row falls for views at
// every phase of a chip.

#include "game/map/draw_order_list.h"
#include "tests/game/present/scene_fixture.h"

namespace velk {
namespace {

class DrawOrderTest : public testing::SceneTest {
protected:
    // An event standing on tile (x, y).
    MapEvent& AddEvent(int32_t x, int32_t y) {
        MapEventData data(static_cast<int32_t>(map_.events.size()));
        data.x = x;
        data.y = y;
        return map_.events.emplace_back(0, data);
    }
    // Codes until the end, tile rows written as 1000 + row.
    std::vector<int32_t> Walk(int32_t viewY) {
        std::vector<int32_t> codes;
        for (int32_t code = order_.Next(viewY); code != DrawOrderList::kEnd && codes.size() < 1000;
             code = order_.Next(viewY)) {
            codes.push_back(DrawOrderList::IsTileRow(code) ? 1000 + DrawOrderList::TileRowOf(code) : code);
        }
        return codes;
    }
    static ptrdiff_t Place(const std::vector<int32_t>& codes, int32_t code) {
        auto found = std::find(codes.begin(), codes.end(), code);
        return found == codes.end() ? -1 : found - codes.begin();
    }

    DrawOrderList order_{32};
};

TEST_F(DrawOrderTest, CharactersStandBetweenTheRowsByTheirFootLine) {
    MapEvent& below = AddEvent(5, 10);
    below.passThrough = 1;
    MapEvent& among = AddEvent(5, 3);
    among.passThrough = 0;
    MapEvent& above = AddEvent(5, 0);
    above.passThrough = 0;
    above.drawAbove = 1;
    Hero hero;
    hero.SetPosition(2, 5, 0);
    for (Character& follower : hero.followers)
        follower.SetPosition(2, 5, 0);
    order_.Build(map_, hero);
    const std::vector<int32_t> codes = Walk(0);

    EXPECT_EQ(codes.front(), 0);
    EXPECT_EQ(codes.back(), 2);
    // Row r is drawn after the characters standing on it and before those
    // on the row below.
    EXPECT_LT(Place(codes, 1000 + 2), Place(codes, 1));
    EXPECT_LT(Place(codes, 1), Place(codes, 1000 + 3));
    EXPECT_LT(Place(codes, 1000 + 4), Place(codes, DrawOrderList::kHero));
    EXPECT_LT(Place(codes, DrawOrderList::kHero), Place(codes, DrawOrderList::kFirstFollower));
    EXPECT_LT(Place(codes, DrawOrderList::kLastFollower), Place(codes, 1000 + 5));
    // Every row from the one above the screen to below it, once, in order.
    std::vector<int32_t> rows;
    for (int32_t code : codes)
        if (code >= 1000 - 10) rows.push_back(code - 1000);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), -1);
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], rows[i - 1] + 1);
}

TEST_F(DrawOrderTest, TheFirstTileRowFollowsTheViewsPhase) {
    Hero hero;
    hero.SetPosition(0, 0, 0);
    struct Case {
        int32_t viewY;
        int32_t firstRow;
    };
    // Worked out by hand from each phase's offset and bucket.
    const Case cases[] = {{0, -1}, {20, 0}, {30, 0}, {10, -1}, {-5, -1}, {-10, -1}, {-20, -2}, {64, 1}};
    for (const Case& c : cases) {
        order_.Build(map_, hero);
        const std::vector<int32_t> codes = Walk(c.viewY);
        int32_t first = -100;
        for (int32_t code : codes) {
            if (code >= 1000 - 10) {
                first = code - 1000;
                break;
            }
        }
        EXPECT_EQ(first, c.firstRow) << "view " << c.viewY;
    }
}

TEST_F(DrawOrderTest, EventsFarBelowTheScreenAreLeftOut) {
    UseMap(20, 40);
    MapEvent& far = AddEvent(1, 30);
    far.passThrough = 0;
    AddEvent(1, 2).passThrough = 0;
    Hero hero;
    order_.Build(map_, hero);
    const std::vector<int32_t> codes = Walk(0);
    EXPECT_EQ(Place(codes, 0), -1);
    EXPECT_NE(Place(codes, 1), -1);
}

TEST_F(DrawOrderTest, ATallMapKeepsOnlyTheRowsAScreenCanShow) {
    // A million rows hold no more buckets than forty (the 88 rows of eight
    // pixels a walk can reach, and the two ends), and the characters on the
    // screen stand between the same rows as on the forty-row map.
    Hero hero;
    hero.SetPosition(2, 5, 0);
    AddEvent(5, 3).passThrough = 0;
    map_.map.header.height = 40;
    order_.Build(map_, hero);
    EXPECT_EQ(order_.StoredBuckets(), 90u);
    const std::vector<int32_t> fortyRows = Walk(0);
    map_.map.header.height = 1000000;
    order_.Build(map_, hero);
    EXPECT_EQ(order_.BucketCount(), 4000000);
    EXPECT_EQ(order_.StoredBuckets(), 90u);
    const std::vector<int32_t> tall = Walk(0);
    EXPECT_EQ(tall, fortyRows);
    EXPECT_LT(Place(tall, 1000 + 2), Place(tall, 0));
    EXPECT_LT(Place(tall, 0), Place(tall, 1000 + 3));
    EXPECT_LT(Place(tall, 1000 + 4), Place(tall, DrawOrderList::kHero));
}

}  // namespace
}  // namespace velk
