#pragma once
// The text side over the fake library: a graphics cache, the game's fonts and
// icons, a variable store, a system database with text colours, and the
// renderer with its settings.

#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/data/variable_store.h"
#include "game/present/escape_codes.h"
#include "game/present/graphic_cache.h"
#include "game/present/system_resources.h"
#include "game/present/text_box.h"
#include "game/present/text_renderer.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/data/store_fakes.h"
#include "tests/game/present/fake_library.h"

namespace velk::testing {

// Colour row i is (i, 100 + i, 200 + i).
inline uint32_t RowColor(int row) { return static_cast<uint32_t>(row << 16 | (100 + row) << 8 | (200 + row)); }

class TextTest : public ::testing::Test {
protected:
    TextTest() {
        for (int32_t type = 0; type < 13; ++type) {
            DbTypeData& data = databases_.system.types.emplace_back();
            data.itemKinds = {1000, 1001, 1002};
            data.rows.clear();
            databases_.system.typeDefs.emplace_back().itemNames = {"r", "g", "b"};
        }
        SetColorRows(16);
        interpreter_.block.sysVar19 = 0;
        store_ = VariableStore(&interpreter_, &databases_);
        resources_.SetupFonts({"", "", "", ""}, false);
    }

    void SetColorRows(int32_t rows) {
        DbTypeData& colors = databases_.system.types[kTextColorType];
        colors.rows.clear();
        for (int32_t i = 0; i < rows; ++i)
            colors.rows.push_back(DbRow{{i, 100 + i, 200 + i}, {""}});
        renderer_.MarkColorsChanged();
    }

    // A box showing the converted text.
    TextBox Box(const std::string& text, int32_t x = 0, int32_t y = 0) {
        TextBox box(x, y);
        box.shownText = ConvertEscapeCodes(store_, text, EscapeCodeOptions{});
        return box;
    }

    // A box laid out afresh that has shown `progress` bytes.
    TextBox Ready(const std::string& text, double progress, int32_t x = 0, int32_t y = 0) {
        TextBox box = Box(text, x, y);
        box.Reset();
        box.progress = progress;
        return box;
    }

    std::string DrawnText() const {
        std::string drawn;
        for (const TextDraw& draw : library_.textDraws)
            drawn += draw.text;
        return drawn;
    }

    RecordingReporter reporter_;
    FakeOwners owners_;
    FakeInterpreter interpreter_;
    DatabaseSet databases_;
    VariableStore store_{nullptr, &databases_};
    FakeLibrary library_;
    GraphicCache cache_{library_};
    SystemResources resources_{library_, cache_};
    TextSettings settings_;
    TextRenderer renderer_{library_, resources_, cache_, store_, databases_.system, settings_};
};

}  // namespace velk::testing
