#pragma once
// The graphics cache: the game names every image by its file name under the
// data folder; the cache loads each file once and keeps its graph whole and
// cut into equal cells (derived graphs over the one image) until it is
// emptied. Beside it stand the uncached loader for system graphics and
// window images and the reload of every cached image after the display lost
// its surfaces.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace velk {

class PresentLibrary;

// More cells than this per image are not cut: the library's graph table
// would run out, which ends the program.
inline constexpr int kMaxCellsPerImage = 16384;

class GraphicCache {
public:
    // `dataFolder` is put before every name ("Data\").
    explicit GraphicCache(PresentLibrary& library, std::string dataFolder = "Data\\");

    // Makes sure the image is cached, cut into columns x rows cells (mode 1:
    // the numbers are a cell width and height in pixels). True when it was
    // already cached (whatever division it has), also under another name of
    // the same file, for an empty name, and after a load. A file that is
    // missing or no image, or that no memory is left for, is reported once
    // and false is returned until the cache is emptied.
    bool LoadGraphic(const std::string& name, int columns, int rows, int mode);
    // Reloads every cached image once, in name order; a missing file is
    // reported, keeps its old graphs and the reload goes on. True when all
    // reloaded.
    bool ReLoadGraphic();
    // Deletes every graph of the cache and forgets every name (also the
    // failed ones). Always true.
    bool ClearGraphicCache();

    // Loads without caching; the whole image's graph or -1. With a cells list
    // and more than one cell asked for, the list receives the whole image and
    // its cells. `quiet` shows no message for a missing file.
    int LoadGraphicSP(const std::string& name, int columns, int rows, std::vector<int>* cells, bool quiet);

    // Element 0 the whole image, then the cells row by row; null when the
    // name is not cached.
    const std::vector<int>* Cells(const std::string& name) const;
    // The division of a cached name; false when it is not cached.
    bool Division(const std::string& name, int& columns, int& rows) const;
    size_t EntryCount() const { return entries_.size(); }
    const std::string& DataFolder() const { return dataFolder_; }

private:
    struct Entry {
        std::vector<int> cells;
        int columns = 0;
        int rows = 0;
    };

    // The graph of the file, or -1 (`undecodable` set when the file opened).
    int LoadWhole(const std::string& path, bool& undecodable);
    void CutCells(int whole, int columns, int rows, std::vector<int>& cells);
    void ShowFileError(const std::string& text);

    PresentLibrary& library_;
    std::string dataFolder_;
    // Every name asked for -> its entry; names of one file share it.
    std::map<std::string, int> names_;
    std::map<std::string, int> files_;
    std::vector<Entry> entries_;
    std::set<std::string> failed_;
};

}  // namespace velk
