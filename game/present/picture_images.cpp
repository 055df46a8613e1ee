#include "game/present/picture_images.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "game/present/graphic_cache.h"
#include "game/present/picture.h"
#include "game/present/picture_texts.h"
#include "game/present/present_library.h"
#include "game/present/present_texts.h"

namespace velk {
namespace {

// Names a failed lookup gives; a picture named so fails quietly.
constexpr char kErrorName[] = "<<ERROR>>";

bool Reported(const std::string& name) { return !name.empty() && name != kErrorName; }

}  // namespace

PictureImageStore::PictureImageStore(PresentLibrary& library, std::string dataFolder)
    : library_(library), dataFolder_(std::move(dataFolder)) {}

int32_t PictureImageStore::LoadWhole(const std::string& fileName) {
    auto bytes = library_.ReadFile(dataFolder_ + fileName);
    if (!bytes) return -1;
    const int graph = library_.CreateGraphFromMemory(*bytes);
    int width = 0, height = 0;
    if (graph != -1 && library_.GetGraphSize(graph, width, height)) return graph;
    // Bytes no loader takes: nothing is stored, as for a missing file.
    if (graph != -1) library_.DeleteGraph(graph);
    return -1;
}

void PictureImageStore::Cut(Entry& entry) {
    int width = 0, height = 0;
    library_.GetGraphSize(entry.whole, width, height);
    entry.cells.clear();
    entry.cellWidth = width / std::max(1, entry.divisionsX);
    entry.cellHeight = height / std::max(1, entry.divisionsY);
    for (int32_t row = 0; row < entry.divisionsY; ++row) {
        for (int32_t column = 0; column < entry.divisionsX; ++column) {
            entry.cells.push_back(library_.CreateDerivedGraph(column * entry.cellWidth, row * entry.cellHeight,
                                                              entry.cellWidth, entry.cellHeight, entry.whole));
        }
    }
}

void PictureImageStore::DeleteGraphs(const Entry& entry) {
    library_.DeleteGraph(entry.whole);
    for (int32_t cell : entry.cells)
        library_.DeleteGraph(cell);
}

void PictureImageStore::HandTo(const Entry& entry, Picture& picture, int32_t divisionsX, int32_t divisionsY) {
    picture.graph = entry.whole;
    picture.previousCells = std::move(picture.cells);
    picture.cells = entry.cells;
    picture.previousCellWidth = picture.cellWidth;
    picture.previousCellHeight = picture.cellHeight;
    picture.cellWidth = entry.cellWidth;
    picture.cellHeight = entry.cellHeight;
    picture.divisionsX = divisionsX;
    picture.divisionsY = divisionsY;
}

bool PictureImageStore::PictureControl(Picture& picture, const std::string& fileName, int32_t divisionsX,
                                       int32_t divisionsY) {
    auto handOver = [&](auto&& sameFile) {
        for (const Entry& entry : entries_) {
            if (entry.divisionsX == divisionsX && entry.divisionsY == divisionsY && sameFile(entry)) {
                HandTo(entry, picture, divisionsX, divisionsY);
                return true;
            }
        }
        return false;
    };
    // The name it was loaded under needs no look at the disk, and finds the
    // entry also where the file access cannot tell what file a name opens.
    if (handOver([&](const Entry& entry) { return entry.fileName == fileName; })) return true;
    const std::string file = library_.FileIdentity(dataFolder_ + fileName).value_or("");
    if (!file.empty() && handOver([&](const Entry& entry) { return entry.file == file; })) return true;
    const int32_t whole = LoadWhole(fileName);
    if (whole == -1) {
        if (Reported(fileName)) {
            ActiveErrorReporter().ShowMessageBox(
                FormatText(texts::kPictureFileMissing, (dataFolder_ + fileName).c_str(), FormatErrorLocation().c_str()),
                texts::kFileReadErrorCaption);
        }
        return false;
    }
    Entry entry{fileName, file, whole, divisionsX, divisionsY, {}, 0, 0};
    int width = 0, height = 0;
    library_.GetGraphSize(whole, width, height);
    // More cells than the graph table could hold would end the program: such
    // a division is refused like one finer than the image.
    if (width < divisionsX || height < divisionsY || int64_t{divisionsX} * divisionsY > kMaxCellsPerImage) {
        ActiveErrorReporter().ShowErrorBox(
            FormatText(texts::kPictureDivisionsTooLarge, divisionsX, divisionsY, width, height), FormatErrorLocation(),
            "");
        entry.divisionsX = entry.divisionsY = 1;
    }
    Cut(entry);
    entries_.push_back(std::move(entry));
    // The entry stays keyed by the division asked for, so the next show of
    // the same pair finds it.
    entries_.back().divisionsX = divisionsX;
    entries_.back().divisionsY = divisionsY;
    HandTo(entries_.back(), picture, divisionsX, divisionsY);
    return true;
}

void PictureImageStore::Reload(std::vector<Picture>& pictures) {
    // Pictures find their entries by the graphs they were handed.
    std::unordered_map<int32_t, size_t> entryOf;
    for (size_t at = 0; at < entries_.size(); ++at) {
        Entry& entry = entries_[at];
        entryOf.emplace(entry.whole, at);
        const int32_t whole = LoadWhole(entry.fileName);
        if (whole == -1) {
            if (Reported(entry.fileName)) {
                ActiveErrorReporter().ShowMessageBox(
                    FormatText(texts::kPictureReloadFileMissing, (dataFolder_ + entry.fileName).c_str()),
                    texts::kFileReadErrorCaption);
            }
            continue;
        }
        DeleteGraphs(entry);
        entry.whole = whole;
        // Cut as first loaded: a refused division was cut into one cell.
        const size_t cellCount = entry.cells.size();
        const int32_t divisionsX = entry.divisionsX, divisionsY = entry.divisionsY;
        if (cellCount != static_cast<size_t>(int64_t{divisionsX} * divisionsY)) entry.divisionsX = entry.divisionsY = 1;
        Cut(entry);
        entry.divisionsX = divisionsX;
        entry.divisionsY = divisionsY;
    }
    for (Picture& picture : pictures) {
        if (picture.fileName.empty() || picture.stringPicture || picture.removed) continue;
        auto found = entryOf.find(picture.graph);
        if (found == entryOf.end()) continue;
        const Entry& entry = entries_[found->second];
        const int32_t frameX = picture.divisionsX, frameY = picture.divisionsY;
        HandTo(entry, picture, entry.divisionsX, entry.divisionsY);
        if (picture.windowPicture) {
            picture.divisionsX = frameX;
            picture.divisionsY = frameY;
        }
    }
}

void PictureImageStore::ReleaseUnused(const std::vector<Picture>& pictures) {
    static const std::vector<int32_t> kOneCall = {-1};
    ReleaseUnusedAfterRemovals(pictures, kOneCall);
}

void PictureImageStore::ReleaseUnusedAfterRemovals(const std::vector<Picture>& pictures,
                                                   const std::vector<int32_t>& removedGraphs) {
    if (entries_.empty() || removedGraphs.empty()) return;
    constexpr size_t kShown = SIZE_MAX;
    // Per whole image, the call that frees it. Pictures only stopped showing
    // entries in the run, so one that still shows an entry showed it at
    // every call, and an entry no picture shows was shown up to the last
    // removal of a picture that showed it.
    std::unordered_map<int32_t, size_t> freedBy;
    freedBy.reserve(entries_.size());
    for (const Entry& entry : entries_)
        freedBy.emplace(entry.whole, 0);
    for (size_t call = 0; call < removedGraphs.size(); ++call) {
        if (auto found = freedBy.find(removedGraphs[call]); found != freedBy.end()) found->second = call;
    }
    for (const Picture& picture : pictures) {
        if (picture.removed || picture.stringPicture) continue;
        if (auto found = freedBy.find(picture.graph); found != freedBy.end()) found->second = kShown;
    }
    // Graph handles may be handed out again, so the order of the deletions
    // is the order those calls made them in.
    std::vector<std::pair<size_t, size_t>> freed;
    for (size_t at = 0; at < entries_.size(); ++at) {
        const size_t call = freedBy.at(entries_[at].whole);
        if (call != kShown) freed.emplace_back(call, at);
    }
    if (freed.empty()) return;
    std::sort(freed.begin(), freed.end());
    for (const auto& [call, at] : freed)
        DeleteGraphs(entries_[at]);
    size_t kept = 0;
    for (size_t at = 0; at < entries_.size(); ++at) {
        if (freedBy.at(entries_[at].whole) != kShown) continue;
        if (kept != at) entries_[kept] = std::move(entries_[at]);
        ++kept;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(kept), entries_.end());
}

void PictureImageStore::Clear() {
    for (const Entry& entry : entries_)
        DeleteGraphs(entry);
    entries_.clear();
}

}  // namespace velk
