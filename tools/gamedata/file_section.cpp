#include "tools/gamedata/file_section.h"

#include <charconv>

#include "platform/base/text_encoding.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk::gamedata {
namespace {

uint8_t ByteOf(const Token& token) {
    std::string_view text = token.text;
    if (!token.quoted && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        unsigned value = 0;
        auto [end, failure] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
        if (failure != std::errc() || end != text.data() + text.size() || value > 255) {
            throw DescriptionError("not a byte: " + token.text);
        }
        return static_cast<uint8_t>(value);
    }
    return Byte(token);
}

class FileSection final : public DescriptionSection {
public:
    void Open(const Tokens& tokens, GameDescription& game) override {
        Expect(tokens, 2);
        if (tokens[1].text.empty()) throw DescriptionError("a file needs a path");
        file_ = &game.files.emplace_back();
        file_->path = tokens[1].text;
    }

    void Statement(const Tokens& tokens, GameDescription& game) override {
        const std::string& word = tokens[0].text;
        if (word == "text") {
            Expect(tokens, 2);
            file_->bytes.insert(file_->bytes.end(), tokens[1].text.begin(), tokens[1].text.end());
        } else if (word == "bytes") {
            for (size_t i = 1; i < tokens.size(); ++i) file_->bytes.push_back(ByteOf(tokens[i]));
        } else {
            throw DescriptionError("unknown file statement '" + word + "'");
        }
    }

private:
    DescribedFile* file_ = nullptr;
};

}  // namespace

std::unique_ptr<DescriptionSection> MakeFileSection() { return std::make_unique<FileSection>(); }

bool WriteDescribedFiles(const GameDescription& game, const std::filesystem::path& folder, std::string* error) {
    for (const DescribedFile& file : game.files) {
        // Names on disk are UTF-8; the game finds them by their Shift-JIS form.
        std::filesystem::path relative(platform::ShiftJisToUtf8(file.path));
        if (relative.is_absolute() || relative.lexically_normal().string().starts_with("..")) {
            if (error) *error = "a file must stay inside the game folder: " + file.path;
            return false;
        }
        if (!WriteFileBytes(folder / relative, file.bytes, error)) return false;
    }
    return true;
}

}  // namespace velk::gamedata
