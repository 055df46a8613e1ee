#pragma once
// A small game for the save tests: a map state without a map, a main
// interpreter with its variable store, a stand-in hero part, the picture list
// of the picture fixture and the databases, run inside a scratch game folder,
// with the slot cache over them and the file access counted.

#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "game/data/byte_writer.h"
#include "game/data/game_file_source.h"
#include "game/data/save_stream.h"
#include "game/map/map_state.h"
#include "game/shell/save_file.h"
#include "game/shell/save_slot_cache.h"
#include "tests/game/present/picture_fixture.h"
#include "tests/support/scratch_dir.h"

namespace velk::testing {

// The hero and party part: a count and that many values. It can stand for
// a part whose copy runs out of memory; a fresh one never does.
class FakeHeroPart final : public SavePartObject {
public:
    bool Write(ByteWriter& out) const override {
        if (outOfMemory) throw std::bad_alloc();
        out.WriteU32(static_cast<uint32_t>(values.size()));
        for (int32_t value : values) out.WriteI32(value);
        return true;
    }
    bool Read(SaveStream& in) override {
        if (outOfMemory) throw std::bad_alloc();
        auto count = in.ReadU32();
        if (!count || !in.CanHold(*count, 4)) return false;
        std::vector<int32_t> read(*count);
        for (int32_t& value : read) value = *in.ReadI32();
        values = std::move(read);
        return true;
    }
    std::unique_ptr<SavePartObject> MakeFresh() const override { return std::make_unique<FakeHeroPart>(); }

    std::vector<int32_t> values;
    bool outOfMemory = false;
};

inline constexpr char kTitle[] = "Ten Bytes!";

class SaveTest : public PictureTest {
protected:
    SaveTest() : folder_(scratch_.path()) {
        // Types up to 23; type 14 sizes the normal variables.
        while (databases_.system.types.size() < 24) databases_.system.types.emplace_back().rows.clear();
        databases_.system.types[14].rows.resize(20);
        variables_.Resize();
        // No map has been read: the map part carries no cells.
        for (auto& layer : map_.map.layers) layer.clear();
        variables_.SetSystemVariable(kSystemVariableLastSlot, 0);
        // A changeable database of one type: two numbers and one string.
        DbTypeData& type = databases_.changeable.types.emplace_back();
        type.itemKinds = {1000, 2000, 1001, 3000};
        type.rows = {DbRow{{5, 6}, {"five"}}, DbRow{{7, 8}, {"seven"}}};
        type.dataNameSource = 1;
        databases_.changeable.typeDefs.emplace_back().itemNames = {"a", "b", "c", "d"};
        hooks_.readFile = [this](const std::string& path) {
            ++reads_[path];
            return defaultRead_(path);
        };
        hooks_.drawSeeds = [this] { return seeds_; };
    }

    SaveGameState State() { return {map_, main_, variables_, hero_, pictures_, databases_, title_, 32}; }
    SaveSlotCache& Cache() {
        if (!cache_) cache_ = std::make_unique<SaveSlotCache>(State(), hooks_);
        return *cache_;
    }
    std::string SavedText(const std::string& name) const { return scratch_.ReadFile("Save/" + name); }
    std::vector<uint8_t> FileBytes(const std::string& name) const {
        std::string text = SavedText(name);
        return std::vector<uint8_t>(text.begin(), text.end());
    }
    void PutFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
        scratch_.WriteFile("Save/" + name, std::string(bytes.begin(), bytes.end()));
    }

    const std::string title_ = kTitle;
    ScratchDir scratch_;
    InFolder folder_;
    MapState map_{MapSettings{}};
    MainEventInterpreter main_{32};
    VariableStore variables_{&main_, &databases_};
    FakeHeroPart hero_;
    SaveHooks hooks_;
    std::function<std::optional<std::vector<uint8_t>>(const std::string&)> defaultRead_ = [](const std::string& path) {
        return ReadGameFile(path);
    };
    std::map<std::string, int> reads_;
    ContainerSeeds seeds_{0x12, 0x34, 0x56};
    std::unique_ptr<SaveSlotCache> cache_;
};

}  // namespace velk::testing
