#pragma once
// How the description language grows. Besides game, settings-file and
// database, every section is a DescriptionSection: a word that opens it, the
// opening line, and the statements under it, which it turns into its part of
// the GameDescription. What that part becomes on disk is a FolderWriter run
// after the core files. Adding a section (maps, events, command lists...):
// a new file with its section class and writer, one line for each in
// description_sections.cpp, and its model as a member of GameDescription.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/gamedata/description_tokens.h"
#include "tools/gamedata/game_description.h"

namespace velk::gamedata {

class DescriptionSection {
public:
    virtual ~DescriptionSection() = default;
    // The opening line (tokens[0] is the section's word).
    virtual void Open(const Tokens& tokens, GameDescription& game) = 0;
    // A line under it.
    virtual void Statement(const Tokens& tokens, GameDescription& game) = 0;
};

struct SectionEntry {
    std::string_view word;
    // A fresh section for one description (sections may keep state while
    // one description is read).
    std::unique_ptr<DescriptionSection> (*make)();
};

using FolderWriter = bool (*)(const GameDescription& game, const std::filesystem::path& folder, std::string* error);

// The sections and writers beyond the core ones, in the order they run.
const std::vector<SectionEntry>& ExtraSections();
const std::vector<FolderWriter>& ExtraFolderWriters();

}  // namespace velk::gamedata
