#pragma once
// The open archives of the archive set (inside this module): each one's
// checked tables, its key and its archive file, read through a plain file
// with a reading thread; the table of open archives with their reference
// counts; the settings that name and unlock them.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "lib/core/files/archive_format.h"
#include "lib/core/files/archive_index.h"
#include "lib/core/files/file_access.h"

namespace velk {

// The party waiting for the archive file's asynchronous read: told how many
// bytes really arrived once the read is settled.
struct ArchiveReadWaiter {
    int64_t delivered = -1;
};

struct ArchiveState {
    ArchiveIndex index;
    ArchiveKey key{};
    FileAccessHandle file = 0;  // a plain file with a reading thread
    uint32_t file_size = 0;
    std::string native_path;
    ArchiveReadWaiter* read_waiter = nullptr;

    ArchiveState() = default;
    ~ArchiveState();
    ArchiveState(const ArchiveState&) = delete;
    ArchiveState& operator=(const ArchiveState&) = delete;
};

// Opens and checks an archive; nullptr when the file is missing, shows the
// magic under neither key, has a version above 3 or is damaged (logged).
std::unique_ptr<ArchiveState> OpenArchiveState(const std::string& native_path, const ArchiveKey& key);

// Reads and unscrambles bytes at a file offset and waits for them. Returns
// the bytes that arrived (all of them unless the file was cut), -1 on error.
int64_t ReadArchiveBytes(ArchiveState& state, uint64_t offset, std::span<uint8_t> destination);
// Starts such a read and returns at once; `waiter` learns the count when the
// read is settled. The bytes are unscrambled by the caller after that.
void StartArchiveRead(ArchiveState& state, uint64_t offset, std::span<uint8_t> destination,
                      ArchiveReadWaiter* waiter);
// True while the archive file still works on a read for `waiter`.
bool ArchiveReadBusy(const ArchiveState& state, const ArchiveReadWaiter* waiter);
// Waits for the read in flight (if any) and hands its count to its waiter.
void SettleArchiveRead(ArchiveState& state);

// The archive settings.
std::string ArchiveExtension();
// The key of archives opened now.
ArchiveKey CurrentArchiveKey();
void ResetArchiveSettings();

// The table of open archives, by index.
// Opens (or finds already open) the archive and counts one more user;
// -1 when it cannot be opened or the table is full of used archives.
int OpenArchive(const std::string& native_path);
// One user less (never below 0); the archive stays open for later use.
void ReleaseArchive(int index);
ArchiveState* ArchiveAt(int index);
// Closes every archive, used or not (start-up and tests).
void CloseAllArchives();

}  // namespace velk
