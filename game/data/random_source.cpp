#include "game/data/random_source.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/base/clock.h"

namespace velk {
namespace {

struct RandomSource {
    uint32_t state = 0;
    bool started = false;
};

RandomSource& GameRandom() {
    static RandomSource source;
    return source;
}

}  // namespace

uint32_t UpdateRandomSeed(int mode, uint32_t value) {
    RandomSource& random = GameRandom();
    if (!random.started) {
        random.started = true;
        random.state = platform::ActiveClock().Milliseconds();
    }
    if (mode == 0) {
        random.state = (random.state * 1103515245u + 94123u) >> 4;
    } else if (mode == 2) {
        random.state = value;
    }
    return random.state;
}

void RestartRandomSource() { GameRandom() = RandomSource{}; }

const char* FormatIntText(int32_t value) {
    static char ring[10][256];
    static int last = 0;
    last = (last + 1) % 10;
    std::snprintf(ring[last], sizeof ring[last], "%d", value);
    return ring[last];
}

int GetSjisByteClass(std::string_view text, int index) {
    if (index < 0) return 0;
    int previous = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        uint8_t byte = static_cast<uint8_t>(text[i]);
        if (byte == 0) return 0;
        int current = 0;
        if (previous != 1 && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC))) {
            current = 1;
        } else if (previous == 1 && byte >= 0x40 && byte <= 0xFC && byte != 0x7F) {
            current = 2;
        }
        if (i == static_cast<size_t>(index)) return current;
        previous = current;
    }
    return 0;
}

std::string GetExeFolder() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "./";
    std::string folder = program.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

}  // namespace velk
