#pragma once
// Every font face the program can use: the faces installed on the system and
// the font files a game adds from its own folders, found by the names a game
// gives them (Shift-JIS, English or Japanese, any case).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::platform {

// Where a face lives: a font file and the face's index inside it.
struct FontFaceLocation {
    std::string file;
    int index = 0;
    int weight = 400;  // 100..900, as the face was designed
    bool italic = false;
    // The face stands in for one of the platform's Japanese system faces,
    // whose em square fills the whole cell: sized the same way, text keeps
    // the widths games were laid out for (a full-width character as wide as
    // the cell is high).
    bool em_fills_cell = false;
};

struct FontFaceInfo {
    std::string name;  // the face's full family name, Shift-JIS
    bool truetype = false;
    bool japanese = false;  // covers Japanese text
};

// The kind of face to fall back to when a requested face is not there.
enum class FallbackStyle { kGothic, kMincho };

class FontFaceCatalog {
public:
    static FontFaceCatalog& Instance();

    // Makes the faces of a font file usable by their names until removed.
    // Returns the number of faces added (0 when the file is not a font).
    int AddFontFile(const std::string& native_path);
    bool RemoveFontFile(const std::string& native_path);

    // The face with this name (Shift-JIS). Names of the platform's Japanese
    // system faces are served by installed Japanese faces of the same kind.
    std::optional<FontFaceLocation> Find(const std::string& sjis_name);
    // A face for text in Japanese when nothing else fits.
    std::optional<FontFaceLocation> Fallback(FallbackStyle style);

    // Every face, each name once, in a stable order.
    std::vector<FontFaceInfo> List();

    // A face as the catalogue keeps it.
    struct Face {
        std::vector<std::string> names_utf8;  // every family and full name, any language
        std::string display_name_utf8;        // the name listing shows
        FontFaceLocation location;
        bool truetype = false;
        bool japanese = false;
        bool is_private = false;
    };

private:
    FontFaceCatalog() = default;
    void LoadInstalledFaces();
    std::optional<FontFaceLocation> FindUtf8(const std::string& utf8_name);
    std::optional<FontFaceLocation> FallbackFace(FallbackStyle style);
    static std::vector<Face> QueryFile(const std::string& native_path, bool is_private);

    bool installed_loaded_ = false;
    std::vector<Face> faces_;
};

}  // namespace velk::platform
