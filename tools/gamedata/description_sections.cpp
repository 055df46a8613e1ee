#include "tools/gamedata/description_section.h"
#include "tools/gamedata/file_section.h"

namespace velk::gamedata {

const std::vector<SectionEntry>& ExtraSections() {
    static const std::vector<SectionEntry> sections = {
        {"file", &MakeFileSection},
    };
    return sections;
}

const std::vector<FolderWriter>& ExtraFolderWriters() {
    static const std::vector<FolderWriter> writers = {
        &WriteDescribedFiles,
    };
    return writers;
}

}  // namespace velk::gamedata
