#include "lib/core/files/archive_state.h"

#include <array>
#include <cstring>
#include <set>
#include <vector>

#include "lib/core/files/archive_reader.h"
#include "lib/core/files/file_log_texts.h"
#include "lib/core/files/plain_file.h"
#include "lib/core/log.h"

namespace velk {

namespace {

struct ArchiveSettings {
    std::string extension;
    bool key_set = false;
    std::string key_string;
};

ArchiveSettings& Settings() {
    static ArchiveSettings settings;
    return settings;
}

struct ArchiveRecord {
    int32_t references = 0;
    std::unique_ptr<ArchiveState> state;
};

struct ArchiveTable {
    std::array<ArchiveRecord, kMaxOpenArchives> records;
    size_t count = 0;
};

// Lives until the process ends, like the plain files its archives hold.
ArchiveTable& Archives() {
    static auto* table = new ArchiveTable;
    return *table;
}

// A damaged archive is tried again on every path that leads through its
// folder; it is reported once.
void LogDamagedArchive(const std::string& native_path) {
    static auto* reported = new std::set<std::string>;
    if (reported->insert(native_path).second) {
        WriteLogFormat(log_text::kDamagedArchiveFormat, native_path.c_str());
    }
}

// The header under one key, when it shows the magic.
std::optional<ArchiveHeader> HeaderUnder(std::span<const uint8_t> raw, const ArchiveKey& key) {
    std::array<uint8_t, kArchiveHeaderSize> bytes;
    std::memcpy(bytes.data(), raw.data(), bytes.size());
    ScrambleArchiveBytes(bytes, 0, key);
    return ParseArchiveHeader(bytes);
}

}  // namespace

ArchiveState::~ArchiveState() {
    if (file != 0) {
        SettleArchiveRead(*this);
        PlainFileClose(file);
    }
}

std::unique_ptr<ArchiveState> OpenArchiveState(const std::string& native_path, const ArchiveKey& key) {
    auto state = std::make_unique<ArchiveState>();
    state->native_path = native_path;
    state->file = PlainFileOpenNative(native_path, 0, 1);
    if (state->file == 0) {
        return nullptr;
    }
    state->file_size = static_cast<uint32_t>(PlainFileSize(state->file));

    // The header is read as it lies (a zero key changes nothing) and then
    // tried under the key and under the second key.
    std::array<uint8_t, kArchiveHeaderSize> raw{};
    state->key = ArchiveKey{};
    if (state->file_size < raw.size() || ReadArchiveBytes(*state, 0, raw) != static_cast<int64_t>(raw.size())) {
        return nullptr;
    }
    state->key = key;
    auto header = HeaderUnder(raw, key);
    if (!header) {
        state->key = SecondArchiveKey();
        header = HeaderUnder(raw, state->key);
        if (!header) {
            return nullptr;  // not an archive: the path is tried further along
        }
    }
    if (static_cast<uint64_t>(header->block_offset) + header->block_size > state->file_size) {
        LogDamagedArchive(native_path);
        return nullptr;
    }
    std::vector<uint8_t> block(header->block_size);
    if (ReadArchiveBytes(*state, header->block_offset, block) != static_cast<int64_t>(block.size())) {
        LogDamagedArchive(native_path);
        return nullptr;
    }
    auto index = ParseArchiveIndex(*header, block, state->file_size);
    if (!index) {
        LogDamagedArchive(native_path);
        return nullptr;
    }
    state->index = std::move(*index);
    return state;
}

int64_t ReadArchiveBytes(ArchiveState& state, uint64_t offset, std::span<uint8_t> destination) {
    SettleArchiveRead(state);
    if (destination.empty()) {
        return 0;
    }
    if (PlainFileSeek(state.file, static_cast<int64_t>(offset), kSeekSet) != 0) {
        return -1;
    }
    PlainFileRead(destination.data(), destination.size(), 1, state.file);
    const int64_t got = PlainFileFinishRead(state.file);
    if (got > 0) {
        ScrambleArchiveBytes(destination.first(static_cast<size_t>(got)), offset, state.key);
    }
    return got;
}

void StartArchiveRead(ArchiveState& state, uint64_t offset, std::span<uint8_t> destination,
                      ArchiveReadWaiter* waiter) {
    SettleArchiveRead(state);
    waiter->delivered = 0;
    if (destination.empty() || PlainFileSeek(state.file, static_cast<int64_t>(offset), kSeekSet) != 0) {
        return;
    }
    if (PlainFileRead(destination.data(), destination.size(), 1, state.file) == 0) {
        return;  // cut to nothing: no read was started
    }
    state.read_waiter = waiter;
}

bool ArchiveReadBusy(const ArchiveState& state, const ArchiveReadWaiter* waiter) {
    return state.read_waiter == waiter && PlainFileIdle(state.file) == 0;
}

void SettleArchiveRead(ArchiveState& state) {
    if (state.read_waiter == nullptr) {
        return;
    }
    state.read_waiter->delivered = PlainFileFinishRead(state.file);
    state.read_waiter = nullptr;
}

std::string ArchiveExtension() {
    const auto& extension = Settings().extension;
    return extension.empty() ? kDefaultArchiveExtension : extension;
}

ArchiveKey CurrentArchiveKey() {
    const auto& settings = Settings();
    return settings.key_set ? DeriveArchiveKey(settings.key_string) : DefaultArchiveKey();
}

void ResetArchiveSettings() { Settings() = ArchiveSettings(); }

int SetArchiveExtensionBody(const char* extension) {
    const size_t length = extension != nullptr ? std::strlen(extension) : 0;
    Settings().extension = length > 0 && length < 64 ? std::string(extension, length) : std::string();
    return 0;
}

int SetArchiveKeyStringBody(const char* key_string) {
    auto& settings = Settings();
    if (key_string == nullptr || key_string[0] == '\0') {
        if (key_string != nullptr) {
            WriteLog(log_text::kEmptyArchiveKey);
        }
        settings.key_set = false;
        settings.key_string.clear();
        return 0;
    }
    settings.key_set = true;
    settings.key_string.assign(key_string, strnlen(key_string, kArchiveMaxKeyStringLength));
    return 0;
}

int OpenArchive(const std::string& native_path) {
    auto& table = Archives();
    for (size_t i = 0; i < table.records.size(); ++i) {
        auto& record = table.records[i];
        if (record.state != nullptr && record.state->native_path == native_path) {
            ++record.references;
            return static_cast<int>(i);
        }
    }
    if (table.count >= table.records.size()) {
        CloseUnusedArchives();
        if (table.count >= table.records.size()) {
            return -1;
        }
    }
    auto state = OpenArchiveState(native_path, CurrentArchiveKey());
    if (state == nullptr) {
        return -1;
    }
    for (size_t i = 0; i < table.records.size(); ++i) {
        auto& record = table.records[i];
        if (record.state == nullptr) {
            record.state = std::move(state);
            record.references = 1;
            ++table.count;
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ReleaseArchive(int index) {
    if (index < 0 || static_cast<size_t>(index) >= kMaxOpenArchives) {
        return;
    }
    auto& record = Archives().records[static_cast<size_t>(index)];
    if (record.references > 0) {
        --record.references;
    }
}

ArchiveState* ArchiveAt(int index) {
    if (index < 0 || static_cast<size_t>(index) >= kMaxOpenArchives) {
        return nullptr;
    }
    return Archives().records[static_cast<size_t>(index)].state.get();
}

int CloseUnusedArchives() {
    auto& table = Archives();
    for (auto& record : table.records) {
        if (record.state != nullptr && record.references < 1) {
            record.state.reset();
            --table.count;
        }
    }
    return 0;
}

void CloseAllArchives() {
    auto& table = Archives();
    for (auto& record : table.records) {
        record.state.reset();
        record.references = 0;
    }
    table.count = 0;
}

size_t OpenArchiveCount() { return Archives().count; }

}  // namespace velk
