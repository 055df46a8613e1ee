#include "platform/file/current_directory.h"

#include <cerrno>
#include <unistd.h>

#include "platform/file/game_name.h"
#include "platform/file/path_resolver.h"

namespace velk::platform {

bool SetCurrentGameDirectory(std::string_view game_path) {
    const auto folder = ResolveGamePath(game_path);
    return folder && ::chdir(folder->c_str()) == 0;
}

std::vector<std::string> CurrentGameDirectoryComponents() {
    std::string native(256, '\0');
    while (::getcwd(native.data(), native.size()) == nullptr) {
        if (errno != ERANGE || native.size() > kMaxPathLength * 2) {
            return {};
        }
        native.resize(native.size() * 2);
    }
    native.resize(std::char_traits<char>::length(native.c_str()));
    // Native names are split on '/' alone: a UTF-8 byte may look like a
    // Shift-JIS lead byte.
    std::vector<std::string> components;
    size_t start = 0;
    while (start < native.size()) {
        size_t end = native.find('/', start);
        if (end == std::string::npos) {
            end = native.size();
        }
        if (end > start) {
            components.push_back(NativeNameToGameName(std::string_view(native).substr(start, end - start)));
        }
        start = end + 1;
    }
    return components;
}

std::string CurrentGameDirectory() {
    std::string game;
    for (const auto& component : CurrentGameDirectoryComponents()) {
        game += '/';
        game += component;
    }
    return game.empty() ? "/" : game;
}

}  // namespace velk::platform
