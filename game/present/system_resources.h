#pragma once
// The game's own fonts and icons: per font slot two lists of font handles by
// pixel size (plain and edged letters), the four face names the game chose,
// and the icons that texts show with the icon code.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velk {

class GraphicCache;
class PresentLibrary;

class SystemResources {
public:
    static constexpr int kFontSlots = 5;
    static constexpr int kFontSizes = 250;
    static constexpr int kIconCount = 1000;
    // The fonts made since the last reset after which the cache starts over,
    // so the library's table of 40 fonts (one the default font) never fills.
    static constexpr int kFontsBeforeReset = 30;
    // The thickness every game font is made with.
    static constexpr int kTextThickness = 5;

    SystemResources(PresentLibrary& library, GraphicCache& cache);

    // Takes the game's four face names (empty: the default Japanese face),
    // empties the font cache, chooses smoothed letters unless
    // `plainLetters`, and records which faces are installed.
    void SetupFonts(const std::array<std::string, 4>& names, bool plainLetters);
    // Deletes every font of the library and empties the lists.
    void ResetFontCache();
    // Counts the resets: a handle GetFont gave names the same font until the
    // count changes.
    uint32_t FontGeneration() const { return fontGeneration_; }
    // The font of the slot for a pixel size, plain (0) or edged (1), made on
    // first use; -1 when it could not be made (never retried).
    int GetFont(int slot, int size, int thickness, int edgeList);

    // (Re)loads every icon: from "Data\BasicData\EncodedIconList.xxxxx" when
    // it exists, else from the files "icon???.png" in Data\BasicData.
    void LoadIcons();

    const std::array<std::string, 4>& FontNames() const { return fontNames_; }
    // -1 for an installed face, 0 otherwise.
    int FontCharset(int slot) const { return fontCharsets_[static_cast<size_t>(slot)]; }
    int FontType(int edgeList) const { return fontTypes_[static_cast<size_t>(edgeList)]; }

    // By icon number: the graph (0 where none loaded) and its size.
    const std::vector<int>& IconHandles() const { return iconHandles_; }
    int IconWidth(int number) const { return iconWidths_[static_cast<size_t>(number)]; }
    int IconHeight(int number) const { return iconHeights_[static_cast<size_t>(number)]; }

private:
    int MakeFont(int slot, int size, int thickness, int edgeList);

    PresentLibrary& library_;
    GraphicCache& cache_;
    std::array<std::array<std::vector<int>, 2>, kFontSlots> fonts_;
    std::array<std::string, 4> fontNames_;
    std::array<int, 2> fontTypes_ = {2, 3};
    std::array<int, 4> fontCharsets_ = {0, 0, 0, 0};
    int fontsCreated_ = 0;
    uint32_t fontGeneration_ = 0;
    std::vector<int> iconHandles_;
    std::vector<int> iconWidths_ = std::vector<int>(kIconCount, 0);
    std::vector<int> iconHeights_ = std::vector<int>(kIconCount, 0);
};

}  // namespace velk
