#pragma once
// The pictures' own image store: one entry per (file, divisions) pair, so
// that many pictures showing one file, under any spelling of its name, share
// one whole-image graph and one set of cell graphs. An entry lives until no
// picture shows it any more or the store is emptied.

#include <cstdint>
#include <string>
#include <vector>

namespace velk {

class Picture;
class PresentLibrary;

class PictureImageStore {
public:
    struct Entry {
        // The name it was first loaded under, and what names the file.
        std::string fileName;
        std::string file;
        int32_t whole = -1;
        int32_t divisionsX = 1;
        int32_t divisionsY = 1;
        // Row by row, left to right.
        std::vector<int32_t> cells;
        int32_t cellWidth = 0;
        int32_t cellHeight = 0;
    };

    // `dataFolder` is put before every name ("Data\").
    explicit PictureImageStore(PresentLibrary& library, std::string dataFolder = "Data\\");

    // Loads the file cut into divisionsX x divisionsY cells (or finds it) and
    // hands the picture its graph, cells and cell size. False, with the
    // picture untouched, when the file is missing, no image or too large for
    // the memory left; that is reported unless the name is empty or
    // "<<ERROR>>".
    bool PictureControl(Picture& picture, const std::string& fileName, int32_t divisionsX, int32_t divisionsY);
    // Rebuilds every entry after the display lost its graphs, then hands
    // every picture showing a file its rebuilt graphs. A missing file is
    // reported and its entry keeps its old graphs; the rest still comes back.
    void Reload(std::vector<Picture>& pictures);
    // Frees every entry that no picture shows any more: a picture shows the
    // entry whose whole image is its graph, unless it is removed or shows a
    // string.
    void ReleaseUnused(const std::vector<Picture>& pictures);
    // Does what ReleaseUnused, called once right after each of a run of
    // removals, would have done, where nothing but those removals stopped a
    // picture showing an entry since the first of them: `removedGraphs`
    // names in order the graph each removed picture showed, or -1. An entry
    // goes with the call of the last removal that left it unshown (the first
    // when it was unshown before them), and one call frees in entry order.
    void ReleaseUnusedAfterRemovals(const std::vector<Picture>& pictures, const std::vector<int32_t>& removedGraphs);
    // Deletes every graph and forgets every entry.
    void Clear();

    const std::vector<Entry>& Entries() const { return entries_; }

private:
    // The whole image's graph, or -1.
    int32_t LoadWhole(const std::string& fileName);
    void Cut(Entry& entry);
    void DeleteGraphs(const Entry& entry);
    void HandTo(const Entry& entry, Picture& picture, int32_t divisionsX, int32_t divisionsY);

    PresentLibrary& library_;
    std::string dataFolder_;
    std::vector<Entry> entries_;
};

}  // namespace velk
