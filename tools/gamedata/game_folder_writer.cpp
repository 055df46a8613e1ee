#include "tools/gamedata/game_folder_writer.h"

#include <fstream>
#include <system_error>

#include "tools/gamedata/common_event_writer.h"
#include "tools/gamedata/database_writer.h"
#include "tools/gamedata/description_section.h"
#include "tools/gamedata/game_dat_writer.h"
#include "tools/gamedata/map_writer.h"

namespace velk::gamedata {
namespace {

bool WriteDatabase(const DatabaseDescription& database, const std::filesystem::path& basicData, const char* name,
                   std::string* error) {
    return WriteFileBytes(basicData / (std::string(name) + ".dat"), WriteDatabaseData(database), error) &&
           WriteFileBytes(basicData / (std::string(name) + ".project"), WriteDatabaseProject(database), error);
}

}  // namespace

bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string* error) {
    std::error_code failure;
    std::filesystem::create_directories(path.parent_path(), failure);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out.fail()) {
        if (error) *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

bool WriteGameFolder(const GameDescription& description, const std::filesystem::path& folder, std::string* error) {
    auto gameDat = WriteGameDat(description.gameDat, error);
    if (!gameDat || !WriteFileBytes(folder / "Game.dat", *gameDat, error)) return false;
    std::string ini = FormatGameIni(description.settings);
    if (!WriteFileBytes(folder / "Game.ini", std::vector<uint8_t>(ini.begin(), ini.end()), error)) return false;
    std::filesystem::path basicData = folder / "Data" / "BasicData";
    if (!WriteDatabase(description.systemDatabase, basicData, "SysDataBase", error) ||
        !WriteDatabase(description.userDatabase, basicData, "DataBase", error) ||
        !WriteDatabase(description.changeableDatabase, basicData, "CDataBase", error) ||
        !WriteMapFiles(description, folder / "Data", error) ||
        !WriteCommonEventFiles(description, folder, error)) {
        return false;
    }
    for (FolderWriter write : ExtraFolderWriters()) {
        if (!write(description, folder, error)) return false;
    }
    return true;
}

}  // namespace velk::gamedata
