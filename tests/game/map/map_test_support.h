#pragma once
// Shared by the map tests: little-endian byte layouts written out by hand,
// and game folders made from a description.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk::testing {

// Bytes laid out field by field, independent of the game-data writer.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& U8(uint32_t value) {
        data.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    Bytes& U32(uint32_t value) {
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return *this;
    }
    // Length with the terminator, the text, the terminator.
    Bytes& Text(std::string_view text) {
        U32(static_cast<uint32_t>(text.size() + 1));
        data.insert(data.end(), text.begin(), text.end());
        return U8(0);
    }
    Bytes& Zeros(size_t count) {
        data.insert(data.end(), count, 0);
        return *this;
    }
};

// Writes the described game into `folder`.
inline void WriteDescribedGame(std::string_view text, const std::filesystem::path& folder) {
    std::string error;
    auto description = gamedata::ParseGameDescription(text, &error);
    ASSERT_TRUE(description) << error;
    ASSERT_TRUE(gamedata::WriteGameFolder(*description, folder, &error)) << error;
}

}  // namespace velk::testing
