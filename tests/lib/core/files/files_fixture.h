#pragma once
// A fixture for file-access tests: each test runs inside its own empty game
// folder with a fresh archive state, the archive set installed and the log
// written to a folder beside it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lib/core/files/archive_format.h"
#include "lib/core/files/archive_reader.h"
#include "lib/core/files/file_access.h"
#include "lib/core/files/plain_file.h"
#include "lib/core/log.h"
#include "platform/base/debug_output.h"
#include "platform/file/path_resolver.h"
#include "tests/support/scratch_dir.h"
#include "tools/archive/archive_writer.h"

namespace velk::testing {

class GameFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::create_directories(game_.path() / "game");
        std::filesystem::current_path(game_.path() / "game");
        platform::GamePathResolver().Forget();
        ClearArchiveState();
        SetUseArchiveFlagBody(1);
        InstallFileAccessFunctions(nullptr);
        platform::SetDebugOutputEnabled(false);
        SetLogOutputFlag(1);
        SetLogStartDirectory(game_.path().string());
        CreateLogFile();
    }

    void TearDown() override {
        ClearArchiveState();
        EXPECT_EQ(OpenPlainFileCount(), 0u) << "a plain file was left open";
        SetLogStartDirectory("");
        platform::SetDebugOutputEnabled(true);
        std::filesystem::current_path(previous_);
    }

    // Writes a file inside the game folder.
    void Write(const std::string& relative, const std::string& bytes) {
        game_.WriteFile("game/" + relative, bytes);
    }
    void Write(const std::string& relative, const std::vector<uint8_t>& bytes) {
        Write(relative, std::string(bytes.begin(), bytes.end()));
    }
    std::filesystem::path Native(const std::string& relative) const { return game_.path() / "game" / relative; }
    std::string LogText() const { return game_.ReadFile("Log.txt"); }

    ScratchDir game_;
    std::filesystem::path previous_;
};

// Archive bytes as they are stored, turned into their plain form and back,
// so tests can damage single fields.
inline std::vector<uint8_t> Unscrambled(std::vector<uint8_t> bytes, const ArchiveKey& key) {
    ScrambleArchiveBytes(bytes, 0, key);
    return bytes;
}

inline uint32_t ReadU32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

inline void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace velk::testing
