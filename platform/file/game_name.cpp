#include "platform/file/game_name.h"

#include "platform/base/text_encoding.h"

namespace velk::platform {

std::vector<std::string> SplitGamePath(std::string_view game_path) {
    std::vector<std::string> components(1);
    for (size_t i = 0; i < game_path.size(); ++i) {
        const auto byte = static_cast<uint8_t>(game_path[i]);
        if (IsShiftJisLeadByte(byte) && i + 1 < game_path.size()) {
            components.back().append(game_path.substr(i, 2));
            ++i;
        } else if (byte == '\\' || byte == '/') {
            components.emplace_back();
        } else {
            components.back().push_back(static_cast<char>(byte));
        }
    }
    return components;
}

std::string FoldGameNameCase(std::string_view sjis) {
    std::string folded(sjis);
    for (size_t i = 0; i < folded.size(); ++i) {
        const auto byte = static_cast<uint8_t>(folded[i]);
        if (IsShiftJisLeadByte(byte)) {
            ++i;
        } else if (byte >= 'a' && byte <= 'z') {
            folded[i] = static_cast<char>(byte - 'a' + 'A');
        }
    }
    return folded;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<uint8_t>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string GameNameToNativeName(std::string_view sjis) {
    if (IsAscii(sjis)) {
        return std::string(sjis);  // the same bytes in both encodings
    }
    auto utf8 = ShiftJisToUtf8Exact(sjis);
    return utf8 ? std::move(*utf8) : std::string(sjis);
}

std::string NativeNameToGameName(std::string_view native) {
    if (IsAscii(native)) {
        return std::string(native);
    }
    auto sjis = Utf8ToShiftJisExact(native);
    return sjis ? std::move(*sjis) : std::string(native);
}

bool IsGameWritePathAllowed(std::string_view game_path) {
    if (game_path.empty() || game_path.find(':') != std::string_view::npos) {
        return false;
    }
    const auto components = SplitGamePath(game_path);
    if (components.front().empty()) {
        return false;  // starts at the root
    }
    int depth = 0;
    for (const auto& component : components) {
        if (component == "..") {
            if (--depth < 0) {
                return false;
            }
        } else if (!component.empty() && component != ".") {
            ++depth;
        }
    }
    const auto& last = components.back();
    return depth > 0 && !last.empty() && last != "." && last != "..";
}

}  // namespace velk::platform
