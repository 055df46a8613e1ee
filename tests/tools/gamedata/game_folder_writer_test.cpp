#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "game/data/databases.h"
#include "game/data/game_info.h"
#include "game/data/player_settings.h"
#include "game/data/variable_store.h"
#include "platform/base/text_encoding.h"
#include "tests/support/scratch_dir.h"
#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_dat_writer.h"
#include "tools/gamedata/game_folder_writer.h"
#include "tests/support/source_dir.h"

namespace velk::gamedata {
namespace {

std::string Sjis(const char* utf8) { return platform::Utf8ToShiftJis(utf8); }

class CurrentFolder {
public:
    explicit CurrentFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentFolder() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

TEST(GameFolderWriter, TheSampleGameLoadsAsTheGameReadsIt) {
    std::ifstream in(testing::SourceDir() / "samples" / "sample-game" / "game.txt");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    auto description = ParseGameDescription(text, &error);
    ASSERT_TRUE(description) << error;

    testing::ScratchDir scratch;
    ASSERT_TRUE(WriteGameFolder(*description, scratch.path(), &error)) << error;
    CurrentFolder inside(scratch.path());

    GameInfo info;
    ASSERT_TRUE(info.Load("Game.dat"));
    EXPECT_EQ(info.Text(0), Sjis("ヴェルクの小さな冒険"));
    EXPECT_EQ(info.Text(GameInfo::kArchiveKeyText), "velk-sample");
    EXPECT_EQ(ComputeFrameStep(info.Setting(GameInfo::kFrameDivisorSetting)), 1);

    ReadGameIni();
    EXPECT_EQ(GlobalPlayerSettings().start, 0);
    EXPECT_EQ(GlobalPlayerSettings().windowModeFlag, 1);

    DatabaseSet databases;
    LoadDatabases(databases);
    BuildNameMaps(databases);
    EXPECT_GE(databases.system.GetTypeCount(), 24);
    EXPECT_EQ(databases.system.GetDataCount(1), 12);  // two pieces of music and ten spare rows
    EXPECT_EQ(databases.user.GetString(0, 0, 0), Sjis("ヴェルク"));
    EXPECT_EQ(databases.changeable.GetInt(0, 1, 0), 24);
    EXPECT_EQ(databases.typeNameMaps[kCommandUserDatabase].at(Sjis("アイテム")), 1);

    VariableStore store(nullptr, &databases);
    EXPECT_EQ(store.Contents().groups[0].size(), 100u);
    EXPECT_EQ(store.Contents().groups[1].size(), 10u);
}

TEST(GameDatWriter, RefusesAKeyItCannotPlace) {
    GameDatDescription description;
    description.texts[1] = std::string(70000, 'x');
    description.archiveKey = "key";
    std::string error;
    EXPECT_FALSE(WriteGameDat(description, &error));
    EXPECT_FALSE(error.empty());
}

TEST(GameDatWriter, TheSameDescriptionGivesTheSameBytes) {
    GameDatDescription description;
    description.seeds = {5, 6, 7};
    description.archiveKey = "abc";
    EXPECT_EQ(WriteGameDat(description), WriteGameDat(description));
    GameDatDescription other = description;
    other.layoutSeed = 2;
    EXPECT_NE(WriteGameDat(description), WriteGameDat(other));
}

TEST(GameFolderWriter, ReportsAFolderItCannotWrite) {
    testing::ScratchDir scratch;
    scratch.WriteFile("blocked", "a file where a folder should be");
    std::string error;
    EXPECT_FALSE(WriteGameFolder(GameDescription(), scratch.path() / "blocked", &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace velk::gamedata
