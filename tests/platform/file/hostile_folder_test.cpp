// Game folders come from strangers: links inside them, read-only files, left
// over temporary files and long names must neither send a write outside the
// folder nor lose what is there.
#include <filesystem>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file/native_file.h"
#include "platform/file/path_resolver.h"
#include "platform/file/whole_file.h"
#include "tests/support/scratch_dir.h"

namespace velk::platform {
namespace {

namespace fs = std::filesystem;

std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The game folder is Game/ inside the scratch folder and the current
// directory; Outside/ beside it is where no write may land.
class HostileFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::create_directories(game());
        fs::create_directories(outside());
        fs::current_path(game());
        GamePathResolver().Forget();
    }
    void TearDown() override { fs::current_path(previous_); }

    fs::path game() const { return scratch_.path() / "Game"; }
    fs::path outside() const { return scratch_.path() / "Outside"; }
    size_t FilesOutside() const {
        size_t count = 0;
        for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(outside())) {
            ++count;
        }
        return count;
    }

    testing::ScratchDir scratch_;
    fs::path previous_;
};

TEST_F(HostileFolderTest, ALinkedFolderAtAnyDepthTakesNoWriteOutside) {
    ASSERT_TRUE(WriteGameFileAtomically("A\\..\\Top.txt", Bytes("no A yet"))) << "'..' is taken by name";
    fs::create_directories(game() / "A" / "B" / "C");
    ASSERT_TRUE(WriteGameFileAtomically("a\\b\\c\\Save01.sav", Bytes("inside")));
    EXPECT_EQ(scratch_.ReadFile("Game/A/B/C/Save01.sav"), "inside");

    // Each folder of the path in turn becomes a link to a folder outside.
    const std::vector<fs::path> depths = {"A", "A/B", "A/B/C"};
    for (const auto& depth : depths) {
        SCOPED_TRACE(depth.string());
        fs::remove_all(game() / "A");
        fs::create_directories(game() / "A" / "B" / "C");
        fs::remove_all(game() / depth);
        fs::create_directories(outside() / "B" / "C");
        fs::create_directory_symlink(outside() / "B" / "C", game() / depth);
        GamePathResolver().Forget();
        EXPECT_FALSE(WriteGameFileAtomically("A\\B\\C\\Save01.sav", Bytes("escaped")));
        EXPECT_FALSE(fs::exists(outside() / "B" / "C" / "Save01.sav"));
    }

    // A relative link, as a game folder would carry it.
    fs::create_directory_symlink("../Outside", game() / "Save");
    GamePathResolver().Forget();
    EXPECT_FALSE(WriteGameFileAtomically("Save\\Save01.sav", Bytes("escaped")));
    EXPECT_FALSE(fs::exists(outside() / "Save01.sav"));
}

TEST_F(HostileFolderTest, ALinkInTheFilesPlaceIsNeitherFollowedNorReplaced) {
    scratch_.WriteFile("Outside/victim.txt", "precious");
    fs::create_symlink(outside() / "victim.txt", game() / "Game.ini");
    EXPECT_FALSE(WriteGameFileAtomically("Game.ini", Bytes("Start=1")));
    EXPECT_EQ(scratch_.ReadFile("Outside/victim.txt"), "precious");
    EXPECT_TRUE(fs::is_symlink(game() / "Game.ini"));

    // The log's way: appending never goes through a link either.
    WritableFile log;
    EXPECT_FALSE(log.Create((game() / "Game.ini").string(), CreateMode::kAppend));
    EXPECT_FALSE(log.Create((game() / "Game.ini").string(), CreateMode::kTruncate));
    EXPECT_EQ(scratch_.ReadFile("Outside/victim.txt"), "precious");
    EXPECT_EQ(FilesOutside(), 1u);
}

TEST_F(HostileFolderTest, AReadOnlyFileStaysAsItIs) {
    scratch_.WriteFile("Game/Game.ini", "Start=0");
    ::chmod((game() / "Game.ini").c_str(), 0444);
    EXPECT_FALSE(WriteGameFileAtomically("Game.ini", Bytes("Start=1")));
    EXPECT_FALSE(WriteFileAtomically((game() / "Game.ini").string(), Bytes("Start=1")));
    EXPECT_EQ(scratch_.ReadFile("Game/Game.ini"), "Start=0");
    ::chmod((game() / "Game.ini").c_str(), 0644);
    EXPECT_TRUE(WriteGameFileAtomically("Game.ini", Bytes("Start=1")));
    EXPECT_EQ(scratch_.ReadFile("Game/Game.ini"), "Start=1");
}

TEST_F(HostileFolderTest, StaleTemporariesGoAndLiveOnesStay) {
    const std::string stale = std::string(kTemporaryFilePrefix) + "aaaaaaaaaaaa";
    const std::string fresh = std::string(kTemporaryFilePrefix) + "bbbbbbbbbbbb";
    const std::string locked = std::string(kTemporaryFilePrefix) + "cccccccccccc";
    const std::string not_ours = std::string(kTemporaryFilePrefix) + "short";
    const std::string elsewhere = "Sub/" + stale;
    for (const auto& name : {stale, fresh, locked, not_ours, elsewhere}) {
        scratch_.WriteFile("Game/" + name, std::string(1000, 'x'));
    }
    const timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
    for (const auto& name : {stale, locked, not_ours, elsewhere}) {
        ASSERT_EQ(::utimensat(AT_FDCWD, (game() / name).c_str(), old_times, 0), 0);
    }
    // A writer still at work holds its lock.
    const int holder = ::open((game() / locked).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    ASSERT_TRUE(WriteGameFileAtomically("Save01.sav", Bytes("save")));
    EXPECT_FALSE(fs::exists(game() / stale));
    EXPECT_TRUE(fs::exists(game() / fresh)) << "may belong to a writer that has not locked it yet";
    EXPECT_TRUE(fs::exists(game() / locked));
    EXPECT_TRUE(fs::exists(game() / not_ours)) << "not a name of ours";
    EXPECT_TRUE(fs::exists(game() / elsewhere)) << "only the folder written is cleaned";
    ::close(holder);
    EXPECT_EQ(scratch_.ReadFile("Game/Save01.sav"), "save");
}

TEST_F(HostileFolderTest, TheLongestNameTheFileSystemTakesCanBeWritten) {
    for (const size_t length : {200u, 250u, 255u}) {
        const std::string name(length - 4, 'n');
        SCOPED_TRACE(length);
        ASSERT_TRUE(WriteGameFileAtomically(name + ".txt", Bytes("first")));
        ASSERT_TRUE(WriteGameFileAtomically(name + ".txt", Bytes("second")));
        EXPECT_EQ(scratch_.ReadFile("Game/" + name + ".txt"), "second");
    }
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(game())) {
        ++files;
    }
    EXPECT_EQ(files, 3u) << "no temporary file is left behind";
}

TEST_F(HostileFolderTest, APipeInAFilesPlaceDoesNotHangARead) {
    ASSERT_EQ(::mkfifo((game() / "Game.ini").c_str(), 0644), 0);
    bool missing = true;
    EXPECT_FALSE(ReadFileStart((game() / "Game.ini").string(), 100, &missing).has_value());
    EXPECT_FALSE(missing);
    EXPECT_FALSE(WriteGameFileAtomically("Game.ini", Bytes("x")));
}

TEST(WholeFileStart, ReadsTheFirstPartOfALargerFile) {
    testing::ScratchDir scratch;
    scratch.WriteFile("big.ini", "Start=1" + std::string(5000, ' '));
    bool missing = true;
    const auto start = ReadFileStart((scratch.path() / "big.ini").string(), 7, &missing);
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(std::string(start->begin(), start->end()), "Start=1");
    EXPECT_FALSE(missing);
    EXPECT_FALSE(ReadFileStart((scratch.path() / "none.ini").string(), 7, &missing).has_value());
    EXPECT_TRUE(missing);
}

}  // namespace
}  // namespace velk::platform
