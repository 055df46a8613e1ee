#include "game/present/present_library.h"

#include <array>

#include "game/data/game_file_source.h"
#include "lib/api/library_api.h"
#include "lib/core/files/file_access.h"

namespace velk {
namespace {

// The library's own line reader takes 511 bytes a line at most.
constexpr int kLineBufferSize = 512;

class LibraryPresent final : public PresentLibrary {
public:
    std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) override { return ReadGameFile(path); }
    std::optional<std::string> FileIdentity(const std::string& path) override { return GameFileIdentity(path); }

    std::optional<std::vector<std::string>> ReadLines(const std::string& path) override {
        const FileAccessHandle file = OpenFileForRead(path);
        if (file == 0) return std::nullopt;
        std::vector<std::string> lines;
        std::array<char, kLineBufferSize> buffer{};
        for (int length; (length = ReadFileLine(buffer.data(), kLineBufferSize, file)) > 0;) {
            lines.emplace_back(buffer.data(), static_cast<size_t>(length));
        }
        CloseFile(file);
        return lines;
    }

    std::vector<std::string> FindFiles(const std::string& pattern) override {
        // Loose files only: the files an archive holds are not searched.
        const FileAccessFunctions& plain = PlainFileAccessFunctions();
        std::vector<std::string> names;
        FileInfo info;
        const int32_t find = plain.find_first(pattern, &info);
        if (find == -1) return names;
        do {
            if (info.is_directory == 0) names.push_back(info.name);
        } while (plain.find_next(find, &info) == 0);
        plain.find_close(find);
        return names;
    }

    int CreateGraphFromMemory(std::span<const uint8_t> bytes) override {
        return CreateGraphFromMemoryImage(bytes.data(), bytes.size(), nullptr, 0, 1, 0);
    }
    int CreateDerivedGraph(int x, int y, int width, int height, int source) override {
        return velk::CreateDerivedGraph(x, y, width, height, source);
    }
    void DeleteGraph(int graph) override { velk::DeleteGraph(graph, 0); }
    bool GetGraphSize(int graph, int& width, int& height) override {
        return velk::GetGraphSize(graph, &width, &height) == 0;
    }
    void DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, bool transparent) override {
        velk::DrawGraphScaled(x1, y1, x2, y2, graph, transparent ? 1 : 0);
    }
    void DrawRectGraph(int x, int y, int sourceX, int sourceY, int width, int height, int graph,
                       bool transparent) override {
        velk::DrawRectGraph(x, y, sourceX, sourceY, width, height, graph, transparent ? 1 : 0, 0);
    }
    void SetDrawBlendMode(int mode, int parameter) override { velk::SetDrawBlendMode(mode, parameter); }
    uint32_t GetColorValue(int red, int green, int blue) override { return velk::GetColorValue(red, green, blue); }
    void RestoreAllGraphs() override { velk::RestoreAllGraphs(); }

    int CreateFont(const std::string& face, int size, int thickness, int fontType, int charset) override {
        return CreateFontToHandle(face.c_str(), size, thickness, fontType, charset, -1, 0);
    }
    void InitFontHandles() override { velk::InitFontHandles(); }
    void SetDefaultFontFace(const std::string& face, int charset) override {
        velk::SetDefaultFontFace(face.c_str(), charset);
    }
    void SetDefaultFontTypeAndThickness(int fontType, int thickness) override {
        SetDefaultFontType(fontType);
        SetDefaultFontThickness(thickness);
    }
    std::vector<std::string> ListJapaneseFontFaces() override {
        std::vector<std::string> names;
        ListFontFaceNames(&names, 0, 1);
        return names;
    }
    int StringWidth(std::string_view text, int font) override {
        const std::string copy(text);
        return GetStringWidthToHandle(copy.c_str(), static_cast<int>(copy.size()), font);
    }
    void DrawString(int x, int y, const std::string& text, uint32_t color, int font) override {
        DrawStringToHandle(x, y, text.c_str(), color, font, 0);
    }
    void DrawStringScaled(int x, int y, double scaleX, double scaleY, const std::string& text, uint32_t color,
                          int font) override {
        DrawStringScaledToHandle(x, y, scaleX, scaleY, text.c_str(), color, font, 0);
    }
};

}  // namespace

PresentLibrary& GameLibrary() {
    static LibraryPresent library;
    return library;
}

}  // namespace velk
