// The description's further sections: raw files of the game folder.
#include <gtest/gtest.h>

#include "platform/base/text_encoding.h"
#include "tests/support/scratch_dir.h"
#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk::gamedata {
namespace {

TEST(FileSection, WritesTextAndBytesUnderTheGameFolderAndRefusesPathsOutsideIt) {
    auto game = ParseGameDescription(R"(
file "Data/Picture/メモ.txt"
  text "あ"
  bytes 0 0x41 255
database system
file "Save/x.bin"
)");
    ASSERT_TRUE(game);
    ASSERT_EQ(game->files.size(), 2u);
    testing::ScratchDir folder;
    std::string error;
    ASSERT_TRUE(WriteGameFolder(*game, folder.path(), &error)) << error;
    EXPECT_EQ(folder.ReadFile("Data/Picture/メモ.txt"), std::string("\x82\xA0\x00\x41\xFF", 5));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "Save" / "x.bin"));

    struct Bad {
        const char* text;
        const char* error;
    };
    for (Bad bad : {Bad{"file\n", "line 1: 'file' takes 1 value(s)"},
                    Bad{"file \"a\"\n  bytes 0x100\n", "line 2: not a byte: 0x100"},
                    Bad{"file \"a\"\n  size 3\n", "line 2: unknown file statement 'size'"}}) {
        std::string message;
        EXPECT_FALSE(ParseGameDescription(bad.text, &message));
        EXPECT_EQ(message, bad.error);
    }
    auto outside = ParseGameDescription("file \"../escape.txt\"\n  text \"x\"\n");
    ASSERT_TRUE(outside);
    EXPECT_FALSE(WriteGameFolder(*outside, folder.path(), &error));
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "escape.txt"));
}

}  // namespace
}  // namespace velk::gamedata
