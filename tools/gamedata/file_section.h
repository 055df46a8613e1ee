#pragma once
// Any other file of the game folder, given byte by byte:
//
//   file "Data/Picture/note.txt"       the path, relative to the game folder
//     text "..."                       appends the text's Shift-JIS bytes
//     bytes 0 1 0xFF                   appends bytes (decimal or 0x hex)

#include <memory>

#include "tools/gamedata/description_section.h"

namespace velk::gamedata {

std::unique_ptr<DescriptionSection> MakeFileSection();
bool WriteDescribedFiles(const GameDescription& game, const std::filesystem::path& folder, std::string* error);

}  // namespace velk::gamedata
