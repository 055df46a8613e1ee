#include "game/data/game_info.h"

#include "game/data/data_container.h"
#include "game/data/data_file_cursor.h"
#include "game/data/data_texts.h"
#include "game/data/error_reporter.h"
#include "game/data/game_file_source.h"
#include "game/data/game_objects.h"
#include "game/data/text_format.h"
#include "platform/base/crt_random.h"

namespace velk {
namespace {

constexpr uint8_t kGameInfoEndByte = 194;
constexpr std::array<uint8_t, GameInfo::kSettingCount> kDefaultSettings = {32, 8, 8, 1, 0, 1, 0, 3, 0,
                                                                           0,  0, 6, 6, 0, 0, 4, 4, 0};

uint16_t DrawDefaultNumber() {
    if (platform::CrtRand() % 10 <= 4) return static_cast<uint16_t>(platform::CrtRand() % 30000 + 15501);
    return static_cast<uint16_t>(platform::CrtRand() % 15000);
}

bool ReadSettings(DataFileCursor& cursor, GameInfo& info) {
    auto count = cursor.U32();
    if (!count) return false;
    auto bytes = cursor.Take(*count);
    if (!bytes) return false;
    for (size_t i = 0; i < bytes->size() && i < GameInfo::kSettingCount; ++i) info.settings[i] = (*bytes)[i];
    return true;
}

bool ReadTexts(DataFileCursor& cursor, GameInfo& info) {
    auto count = cursor.U32();
    if (!count) return false;
    for (uint32_t i = 0; i < *count; ++i) {
        auto text = cursor.ReadString();
        if (!text) return false;
        if (i < GameInfo::kTextCount) info.texts[i] = std::move(*text);
    }
    return true;
}

std::optional<std::vector<uint16_t>> ReadU16List(DataFileCursor& cursor, uint32_t count) {
    if (!cursor.CanHold(count, 2)) return std::nullopt;
    std::vector<uint16_t> values(count);
    for (uint16_t& value : values) value = *cursor.U16();
    return values;
}

// The archive key's byte i is the file byte at offset (P[i] + Q[i]) mod 65536,
// P and Q being the two offset lists that the file points to.
std::optional<std::string> ReadArchiveKey(std::span<const uint8_t> file, uint32_t keyLength, uint32_t firstList,
                                          uint32_t secondList) {
    DataFileCursor first(file), second(file);
    if (!first.Seek(firstList) || !second.Seek(secondList)) return std::nullopt;
    auto p = ReadU16List(first, keyLength);
    auto q = ReadU16List(second, keyLength);
    if (!p || !q) return std::nullopt;
    std::string key(keyLength, '\0');
    for (uint32_t i = 0; i < keyLength; ++i) {
        uint16_t offset = static_cast<uint16_t>((*p)[i] + (*q)[i]);
        if (offset >= file.size()) return std::nullopt;
        key[i] = static_cast<char>(file[offset]);
    }
    return key;
}

}  // namespace

GameInfo::GameInfo() : settings(kDefaultSettings), numbers{DrawDefaultNumber()} {
    texts[0] = texts::kDefaultGameTitle;
    texts[1] = texts::kDefaultGameSerial;
}

GameInfoStatus ParseGameInfo(std::span<uint8_t> file, GameInfo& info) {
    if (!UnscrambleContainer(file, kGameInfoLayout)) return GameInfoStatus::kDamaged;
    GameInfo read = info;
    DataFileCursor cursor(file, kGameInfoLayout.headerLength);
    if (!ReadSettings(cursor, read) || !ReadTexts(cursor, read)) return GameInfoStatus::kDamaged;
    auto endOffset = cursor.U32();
    auto keyLength = cursor.U32();
    auto numberCount = cursor.U32();
    if (!endOffset || !keyLength || !numberCount) return GameInfoStatus::kDamaged;
    auto numbers = ReadU16List(cursor, *numberCount);
    if (!numbers) return GameInfoStatus::kDamaged;
    if (read.numbers.size() < numbers->size()) read.numbers.resize(numbers->size());
    std::copy(numbers->begin(), numbers->end(), read.numbers.begin());
    auto firstList = cursor.U32();
    auto secondList = cursor.U32();
    if (!firstList || !secondList) return GameInfoStatus::kDamaged;
    auto key = ReadArchiveKey(file, *keyLength, *firstList, *secondList);
    if (!key) return GameInfoStatus::kDamaged;
    read.texts[GameInfo::kArchiveKeyText] = std::move(*key);
    read.settings[GameInfo::kMidiSwitchSetting] = 1;
    info = std::move(read);
    bool endByteFits = *endOffset < file.size() && file[*endOffset] == kGameInfoEndByte;
    return endByteFits ? GameInfoStatus::kLoaded : GameInfoStatus::kBadEndByte;
}

bool GameInfo::Load(const std::string& fileName) {
    ErrorReporter& reporter = ActiveErrorReporter();
    auto file = ReadGameFile(fileName);
    if (!file) {
        reporter.ShowMessageBox(FormatText(texts::kGameInfoMissing, fileName.c_str()), texts::kReadErrorCaption,
                                MessageBoxButtons::kOkCancel);
        return false;
    }
    // Game.dat is read before the window exists, so its damage is reported in
    // a system message box rather than the game's error box.
    switch (ParseGameInfo(*file, *this)) {
        case GameInfoStatus::kLoaded:
            return true;
        case GameInfoStatus::kBadEndByte:
            reporter.ShowMessageBox(texts::kGameInfoDamaged, texts::kReadErrorCaption);
            return true;
        case GameInfoStatus::kDamaged:
            reporter.ShowMessageBox(texts::kGameInfoDamaged, texts::kReadErrorCaption);
            return false;
    }
    return false;
}

int ComputeFrameStep(uint8_t divisor) {
    if (divisor == 0) return 1;
    return std::max(1, 60 / divisor);
}

GameInfo& GlobalGameInfo() {
    if (GameInfo* installed = InstalledGameObjects().gameInfo) return *installed;
    static GameInfo info;
    return info;
}

}  // namespace velk
