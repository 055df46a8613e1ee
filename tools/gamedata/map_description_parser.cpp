#include "tools/gamedata/map_description_parser.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>

namespace velk::gamedata {
namespace {

[[noreturn]] void Fail(const std::string& message) { throw MapDescriptionError{message}; }

int64_t Integer(const DescriptionWord& word, int64_t low, int64_t high) {
    int64_t value = 0;
    const char* first = word.text.data();
    const char* last = first + word.text.size();
    int base = 10;
    if (word.text.size() > 2 && word.text[0] == '0' && (word.text[1] == 'x' || word.text[1] == 'X')) {
        first += 2;
        base = 16;
    }
    auto [end, failure] = std::from_chars(first, last, value, base);
    if (word.quoted || failure != std::errc() || end != last) Fail("not a number: " + word.text);
    if (value < low || value > high) Fail("number out of range: " + word.text);
    return value;
}

int32_t Int32(const DescriptionWord& word) {
    return static_cast<int32_t>(
        Integer(word, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}
uint8_t Byte(const DescriptionWord& word) { return static_cast<uint8_t>(Integer(word, 0, 255)); }

void Expect(const std::vector<DescriptionWord>& words, size_t count) {
    if (words.size() != count) Fail("'" + words[0].text + "' takes " + std::to_string(count - 1) + " value(s)");
}

std::vector<uint8_t> Bytes(const std::vector<DescriptionWord>& words, size_t from) {
    std::vector<uint8_t> bytes;
    for (size_t i = from; i < words.size(); ++i)
        bytes.push_back(Byte(words[i]));
    return bytes;
}

ContainerSeeds Seeds(const std::vector<DescriptionWord>& words) {
    Expect(words, 4);
    return {Byte(words[1]), Byte(words[2]), Byte(words[3])};
}

MoveRoute Route(const std::vector<DescriptionWord>& words) {
    Expect(words, 7);
    MoveRoute route;
    for (size_t i = 0; i < 6; ++i)
        route.options[i] = Byte(words[i + 1]);
    return route;
}

EventCommand Command(const std::vector<DescriptionWord>& words) {
    EventCommand command;
    command.arguments.clear();
    size_t at = 1;
    for (; at < words.size() && words[at].text != "indent" && words[at].text != "text"; ++at) {
        command.arguments.push_back(Int32(words[at]));
    }
    if (command.arguments.empty()) Fail("a command needs its code");
    while (at < words.size()) {
        if (at + 1 >= words.size()) Fail("'" + words[at].text + "' needs a value");
        if (words[at].text == "indent") {
            command.indent = Byte(words[at + 1]);
        } else if (words[at].text == "text") {
            command.strings.push_back(words[at + 1].text);
        } else {
            Fail("unknown command option '" + words[at].text + "'");
        }
        at += 2;
    }
    return command;
}

void Fill(MapDescription& map, int32_t layer, int32_t x, int32_t y, int32_t w, int32_t h, int32_t value) {
    if (layer < 0 || layer > 2 || x < 0 || y < 0 || w < 0 || h < 0 || x + w > map.width || y + h > map.height) {
        Fail("the cells lie outside the map");
    }
    for (int32_t cx = x; cx < x + w; ++cx) {
        for (int32_t cy = y; cy < y + h; ++cy) {
            map.layers[layer][static_cast<size_t>(cx) * static_cast<size_t>(map.height) + static_cast<size_t>(cy)] =
                value;
        }
    }
}

}  // namespace

EventCommand ParseDescribedCommand(const std::vector<DescriptionWord>& words) { return Command(words); }

MapDescription& MapSectionReader::CurrentMap() {
    if (game_.maps.empty()) Fail("'map' must come first");
    return game_.maps.back();
}
MapEventDescription& MapSectionReader::CurrentEvent() {
    MapDescription& map = CurrentMap();
    if (map.events.empty()) Fail("'event' must come first");
    return map.events.back();
}
PageDescription& MapSectionReader::CurrentPage() {
    MapEventDescription& event = CurrentEvent();
    if (event.pages.empty()) Fail("'page' must come first");
    return event.pages.back();
}
MoveRoute& MapSectionReader::CurrentRoute() {
    PageDescription& page = CurrentPage();
    if (!commandRoute_) return page.route;
    if (page.commands.empty() || page.commands.back().routes.empty()) Fail("the last command has no route");
    return page.commands.back().routes.back();
}

void MapSectionReader::Statement(const std::vector<DescriptionWord>& words) {
    const std::string& word = words[0].text;
    if (word == "map") {
        Expect(words, 2);
        inTilesets_ = false;
        MapDescription& map = game_.maps.emplace_back();
        map.fileName = words[1].text;
        map.SizeLayers();
    } else if (word == "tilesets") {
        Expect(words, 1);
        inTilesets_ = true;
        game_.tilesets.emplace();
    } else if (inTilesets_) {
        TilesetStatement(words);
    } else {
        MapStatement(words);
    }
}

void MapSectionReader::MapStatement(const std::vector<DescriptionWord>& words) {
    MapDescription& map = CurrentMap();
    const std::string& word = words[0].text;
    if (word == "name") {
        Expect(words, 2);
        map.name = words[1].text;
    } else if (word == "tileset") {
        Expect(words, 2);
        map.tileset = Int32(words[1]);
    } else if (word == "size") {
        Expect(words, 3);
        map.width = Int32(words[1]);
        map.height = Int32(words[2]);
        if (static_cast<int64_t>(map.width) * map.height > (1 << 24)) Fail("the map is too large to write");
        map.SizeLayers();
    } else if (word == "seeds") {
        map.seeds = Seeds(words);
    } else if (word == "layout-seed") {
        Expect(words, 2);
        map.layoutSeed = static_cast<uint32_t>(Integer(words[1], 0, UINT32_MAX));
    } else if (word == "lead-word") {
        Expect(words, 2);
        map.leadWord = static_cast<uint32_t>(Integer(words[1], 0, UINT32_MAX));
    } else if (word == "event-count") {
        Expect(words, 2);
        map.eventCount = Int32(words[1]);
    } else if (word == "fill") {
        Expect(words, 7);
        Fill(map, Int32(words[1]), Int32(words[2]), Int32(words[3]), Int32(words[4]), Int32(words[5]), Int32(words[6]));
    } else if (word == "tile") {
        Expect(words, 5);
        Fill(map, Int32(words[1]), Int32(words[2]), Int32(words[3]), 1, 1, Int32(words[4]));
    } else if (word == "event") {
        Expect(words, 5);
        MapEventDescription& event = map.events.emplace_back();
        event.id = Int32(words[1]);
        event.name = words[2].text;
        event.x = Int32(words[3]);
        event.y = Int32(words[4]);
    } else if (word == "bytes") {
        CurrentEvent().bytes = Bytes(words, 1);
    } else if (word == "unused-word") {
        Expect(words, 2);
        CurrentEvent().unusedWord = static_cast<uint32_t>(Integer(words[1], 0, UINT32_MAX));
    } else if (word == "page-count") {
        Expect(words, 2);
        CurrentEvent().pageCount = Int32(words[1]);
    } else if (word == "page") {
        Expect(words, 1);
        CurrentEvent().pages.emplace_back();
        commandRoute_ = false;
    } else {
        PageStatement(words);
    }
}

void MapSectionReader::PageStatement(const std::vector<DescriptionWord>& words) {
    const std::string& word = words[0].text;
    static const char* const kPageWords[] = {"graphic", "trigger",       "condition", "route",
                                             "command", "command-route", "move",      "page-bytes", "no-end"};
    if (std::find(std::begin(kPageWords), std::end(kPageWords), word) == std::end(kPageWords)) {
        Fail("unknown map statement '" + word + "'");
    }
    PageDescription& page = CurrentPage();
    if (word == "graphic") {
        Expect(words, 7);
        page.graphicTile = Int32(words[1]);
        page.graphicFile = words[2].text;
        page.facing = Byte(words[3]);
        page.pattern = Byte(words[4]);
        page.opacity = Byte(words[5]);
        page.blendMode = Byte(words[6]);
    } else if (word == "trigger") {
        Expect(words, 2);
        page.trigger = Byte(words[1]);
    } else if (word == "condition") {
        Expect(words, 5);
        const size_t index = static_cast<size_t>(Integer(words[1], 0, 3));
        page.conditionFlags[index] = Byte(words[2]);
        page.conditionLeft[index] = Int32(words[3]);
        page.conditionRight[index] = Int32(words[4]);
    } else if (word == "route") {
        page.route = Route(words);
        commandRoute_ = false;
    } else if (word == "command") {
        page.commands.push_back(Command(words));
    } else if (word == "no-end") {
        Expect(words, 1);
        page.appendEnd = false;
    } else if (word == "command-route") {
        if (page.commands.empty()) Fail("'command' must come first");
        page.commands.back().routes = {Route(words)};
        commandRoute_ = true;
    } else if (word == "move") {
        if (words.size() < 3) Fail("'move' needs a code and a text");
        MoveCommand move;
        move.code = Byte(words[1]);
        move.text = words[2].text;
        for (size_t i = 3; i < words.size(); ++i)
            move.arguments.push_back(Int32(words[i]));
        CurrentRoute().commands.push_back(std::move(move));
    } else {
        page.bytes = Bytes(words, 1);
    }
}

void MapSectionReader::TilesetStatement(const std::vector<DescriptionWord>& words) {
    TilesetFileDescription& file = *game_.tilesets;
    const std::string& word = words[0].text;
    if (word == "version") {
        Expect(words, 2);
        file.version = Byte(words[1]);
    } else if (word == "closing") {
        Expect(words, 2);
        file.closing = Byte(words[1]);
    } else if (word == "seeds") {
        file.seeds = Seeds(words);
    } else if (word == "layout-seed") {
        Expect(words, 2);
        file.layoutSeed = static_cast<uint32_t>(Integer(words[1], 0, UINT32_MAX));
    } else if (word == "tileset") {
        Expect(words, 2);
        file.tilesets.emplace_back().name = words[1].text;
    } else {
        if (file.tilesets.empty()) Fail("'tileset' must come first");
        TilesetDescription& tileset = file.tilesets.back();
        if (word == "images") {
            if (words.size() > 9) Fail("a tileset has eight images");
            for (size_t i = 1; i < words.size(); ++i)
                tileset.images[i - 1] = words[i].text;
        } else if (word == "marker") {
            Expect(words, 2);
            tileset.marker = Byte(words[1]);
        } else if (word == "terrain") {
            tileset.terrainTags = Bytes(words, 1);
        } else if (word == "flags") {
            tileset.tileFlags.clear();
            for (size_t i = 1; i < words.size(); ++i)
                tileset.tileFlags.push_back(Int32(words[i]));
        } else {
            Fail("unknown tileset statement '" + word + "'");
        }
    }
}

}  // namespace velk::gamedata
