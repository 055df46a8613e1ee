#include "game/present/system_resources.h"

#include <algorithm>
#include <utility>

#include "game/data/error_reporter.h"
#include "game/present/graphic_cache.h"
#include "game/present/present_library.h"
#include "game/present/present_texts.h"

namespace velk {
namespace {

// The icon number in a file name: atoi of its 5th to 7th characters; 0 when
// the name is shorter.
int IconNumber(const std::string& name) {
    if (name.size() < 5) return 0;
    const std::string digits = name.substr(4, 3);
    size_t i = 0;
    bool negative = false;
    if (i < digits.size() && (digits[i] == '-' || digits[i] == '+')) negative = digits[i++] == '-';
    int value = 0;
    for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i)
        value = value * 10 + (digits[i] - '0');
    return negative ? -value : value;
}

}  // namespace

SystemResources::SystemResources(PresentLibrary& library, GraphicCache& cache) : library_(library), cache_(cache) {
    for (auto& lists : fonts_) {
        for (auto& list : lists)
            list.assign(kFontSizes, 0);
    }
}

void SystemResources::SetupFonts(const std::array<std::string, 4>& names, bool plainLetters) {
    for (size_t i = 0; i < names.size(); ++i)
        fontNames_[i] = names[i].empty() ? texts::kDefaultFontFace : names[i];
    fontCharsets_.fill(0);
    ResetFontCache();
    fontTypes_ = plainLetters ? std::array<int, 2>{0, 1} : std::array<int, 2>{2, 3};
    const std::vector<std::string> installed = library_.ListJapaneseFontFaces();
    for (size_t i = 0; i < fontNames_.size(); ++i) {
        if (std::find(installed.begin(), installed.end(), fontNames_[i]) != installed.end()) fontCharsets_[i] = -1;
    }
}

void SystemResources::ResetFontCache() {
    library_.InitFontHandles();
    fontsCreated_ = 0;
    ++fontGeneration_;
    for (auto& lists : fonts_) {
        for (auto& list : lists)
            list.assign(kFontSizes, 0);
    }
}

int SystemResources::MakeFont(int slot, int size, int thickness, int edgeList) {
    const size_t s = static_cast<size_t>(slot);
    const int font = library_.CreateFont(fontNames_[s], size, thickness, fontTypes_[static_cast<size_t>(edgeList)],
                                         fontCharsets_[s]);
    if (font != -1) ++fontsCreated_;
    return font;
}

int SystemResources::GetFont(int slot, int size, int thickness, int edgeList) {
    slot = std::clamp(slot, 0, 3);
    edgeList = edgeList != 0 ? 1 : 0;
    if (size < 0 || size >= kFontSizes) return -1;
    library_.SetDefaultFontFace(fontNames_[0], -1);
    if (fontsCreated_ > kFontsBeforeReset) ResetFontCache();
    int& stored = fonts_[static_cast<size_t>(slot)][static_cast<size_t>(edgeList)][static_cast<size_t>(size)];
    if (stored != 0) return stored;
    int font = MakeFont(slot, size, thickness, edgeList);
    if (font == -1 && fontsCreated_ > 0) {
        // The library's table may be full of this cache's own fonts: start
        // over before taking the face for missing.
        ResetFontCache();
        font = MakeFont(slot, size, thickness, edgeList);
    }
    if (font == -1) {
        const size_t s = static_cast<size_t>(slot);
        ActiveErrorReporter().ShowErrorBox(fontNames_[s], texts::kFontMissing, "");
        fontNames_[s] = texts::kDefaultFontFace;
        fontCharsets_[s] = -1;
        font = MakeFont(slot, size, thickness, edgeList);
    }
    fonts_[static_cast<size_t>(slot)][static_cast<size_t>(edgeList)][static_cast<size_t>(size)] = font;
    return font;
}

void SystemResources::LoadIcons() {
    for (int handle : iconHandles_) {
        if (handle > 0) library_.DeleteGraph(handle);
    }
    iconHandles_.clear();
    iconWidths_.assign(kIconCount, 0);
    iconHeights_.assign(kIconCount, 0);

    const std::string folder = "BasicData\\";
    std::vector<std::pair<std::string, int>> icons;
    if (auto lines = library_.ReadLines(cache_.DataFolder() + folder + "EncodedIconList.xxxxx")) {
        for (const std::string& line : *lines)
            icons.emplace_back(folder + line, IconNumber(line));
    } else {
        for (const std::string& name : library_.FindFiles(cache_.DataFolder() + folder + "icon???.png")) {
            icons.emplace_back(folder + name, IconNumber(name));
        }
    }
    for (const auto& [name, number] : icons) {
        if (number < 0 || number >= kIconCount) continue;
        const int handle = cache_.LoadGraphicSP(name, 1, 1, nullptr, true);
        if (handle == -1) continue;
        const size_t n = static_cast<size_t>(number);
        if (n >= iconHandles_.size()) iconHandles_.resize(n + 1, 0);
        // A later file of the same number takes the place of the earlier one.
        if (iconHandles_[n] > 0) library_.DeleteGraph(iconHandles_[n]);
        iconHandles_[n] = handle;
        library_.GetGraphSize(handle, iconWidths_[n], iconHeights_[n]);
    }
}

}  // namespace velk
