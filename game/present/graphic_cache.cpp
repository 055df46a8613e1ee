#include "game/present/graphic_cache.h"

#include <utility>

#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "game/present/present_library.h"
#include "game/present/present_texts.h"

namespace velk {

GraphicCache::GraphicCache(PresentLibrary& library, std::string dataFolder)
    : library_(library), dataFolder_(std::move(dataFolder)) {}

void GraphicCache::ShowFileError(const std::string& text) {
    ActiveErrorReporter().ShowMessageBox(text, texts::kFileReadErrorCaption, MessageBoxButtons::kOkCancel);
}

int GraphicCache::LoadWhole(const std::string& path, bool& undecodable) {
    undecodable = false;
    auto bytes = library_.ReadFile(path);
    if (!bytes) return -1;
    const int graph = library_.CreateGraphFromMemory(*bytes);
    int width = 0, height = 0;
    if (graph != -1 && library_.GetGraphSize(graph, width, height)) return graph;
    if (graph != -1) library_.DeleteGraph(graph);
    undecodable = true;
    return -1;
}

void GraphicCache::CutCells(int whole, int columns, int rows, std::vector<int>& cells) {
    cells.push_back(whole);
    if (columns <= 0 || rows <= 0 || int64_t{columns} * rows > kMaxCellsPerImage) return;
    int width = 0, height = 0;
    library_.GetGraphSize(whole, width, height);
    const int cellWidth = width / columns;
    const int cellHeight = height / rows;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            cells.push_back(library_.CreateDerivedGraph(cellWidth * c, cellHeight * r, cellWidth, cellHeight, whole));
        }
    }
}

bool GraphicCache::LoadGraphic(const std::string& name, int columns, int rows, int mode) {
    if (names_.count(name) != 0 || name.empty()) return true;
    // A missing image would otherwise be reported again on every frame that
    // draws it.
    if (failed_.count(name) != 0) return false;
    const std::string path = dataFolder_ + name;
    const std::optional<std::string> file = library_.FileIdentity(path);
    if (file) {
        if (auto known = files_.find(*file); known != files_.end()) {
            names_.emplace(name, known->second);
            return true;
        }
    }
    bool undecodable = false;
    const int whole = LoadWhole(path, undecodable);
    if (whole == -1) {
        failed_.insert(name);
        ShowFileError(
            FormatText(undecodable ? texts::kLoadGraphicUndecodable : texts::kLoadGraphicMissing, path.c_str()));
        return false;
    }
    if (mode == 1) {
        int width = 0, height = 0;
        library_.GetGraphSize(whole, width, height);
        columns = columns > 0 ? width / columns : 0;
        rows = rows > 0 ? height / rows : 0;
    }
    names_.emplace(name, static_cast<int>(entries_.size()));
    if (file) files_.emplace(*file, static_cast<int>(entries_.size()));
    Entry& entry = entries_.emplace_back();
    entry.columns = columns;
    entry.rows = rows;
    CutCells(whole, columns, rows, entry.cells);
    return true;
}

bool GraphicCache::ReLoadGraphic() {
    bool all = true;
    std::set<int> reloaded;
    for (const auto& [name, index] : names_) {
        if (name.empty() || !reloaded.insert(index).second) continue;
        const std::string path = dataFolder_ + name;
        bool undecodable = false;
        const int whole = LoadWhole(path, undecodable);
        if (whole == -1) {
            // The entry keeps its graphs; the images after it still come back.
            ShowFileError(FormatText(texts::kReLoadGraphicMissing, path.c_str(), name.c_str()));
            all = false;
            continue;
        }
        Entry& entry = entries_[static_cast<size_t>(index)];
        for (int graph : entry.cells)
            library_.DeleteGraph(graph);
        entry.cells.clear();
        CutCells(whole, entry.columns, entry.rows, entry.cells);
    }
    return all;
}

bool GraphicCache::ClearGraphicCache() {
    for (Entry& entry : entries_) {
        for (int graph : entry.cells)
            library_.DeleteGraph(graph);
    }
    entries_.clear();
    names_.clear();
    files_.clear();
    failed_.clear();
    return true;
}

int GraphicCache::LoadGraphicSP(const std::string& name, int columns, int rows, std::vector<int>* cells, bool quiet) {
    if (name.empty()) return -1;
    const std::string path = dataFolder_ + name;
    bool undecodable = false;
    const int whole = LoadWhole(path, undecodable);
    if (whole == -1) {
        if (!quiet) ShowFileError(FormatText(texts::kLoadGraphicSPMissing, path.c_str(), columns, rows));
        return -1;
    }
    if (cells != nullptr && (columns > 1 || rows > 1)) {
        cells->clear();
        CutCells(whole, columns, rows, *cells);
    }
    return whole;
}

const std::vector<int>* GraphicCache::Cells(const std::string& name) const {
    auto found = names_.find(name);
    return found == names_.end() ? nullptr : &entries_[static_cast<size_t>(found->second)].cells;
}

bool GraphicCache::Division(const std::string& name, int& columns, int& rows) const {
    auto found = names_.find(name);
    if (found == names_.end()) return false;
    columns = entries_[static_cast<size_t>(found->second)].columns;
    rows = entries_[static_cast<size_t>(found->second)].rows;
    return true;
}

}  // namespace velk
