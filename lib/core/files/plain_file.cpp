#include "lib/core/files/plain_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "lib/core/files/file_log_texts.h"
#include "lib/core/files/find_info.h"
#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "platform/base/sync.h"
#include "platform/file/current_directory.h"
#include "platform/file/file_find.h"
#include "platform/file/native_file.h"
#include "platform/file/path_resolver.h"

namespace velk {

namespace {

constexpr uint64_t kMaxFileSize = 0xFFFFFFFFu;  // positions are 32-bit

// The commands the owner sends to a reading thread.
enum class Command : int32_t { kOpen = 0, kClose = 1, kRead = 2, kSeek = 3, kEnd = 4 };

// One open plain file. Without a reading thread only the owner's fields are
// used. With one, the owner and the thread share the record under a strict
// protocol: the owner writes the command fields only after the done event is
// signalled, resets it, then sets the command event; the thread touches its
// fields (its file, the requests, the cache) only between taking a command
// and signalling done, or while no command is pending (read-ahead).
class PlainFile {
public:
    PlainFile(bool cache, bool async) : cache_flag(cache), async_flag(async), uses_thread(cache || async) {}
    ~PlainFile() {
        if (thread.joinable()) {
            if (!thread_ended) {
                Settle();
                Dispatch(Command::kEnd);
            }
            thread.join();
        }
        if (cache != nullptr) {
            MemFree(cache);
        }
    }
    PlainFile(const PlainFile&) = delete;
    PlainFile& operator=(const PlainFile&) = delete;

    // Owner side.
    const bool cache_flag;
    const bool async_flag;
    const bool uses_thread;
    platform::ReadableFile direct_file;  // without a thread
    int eof = 0;
    uint32_t position = 0;
    uint32_t size = 0;
    bool read_in_flight = false;
    uint32_t in_flight_start = 0;
    uint32_t in_flight_count = 0;
    int64_t last_read_bytes = 0;

    // Shared through the protocol.
    std::thread thread;
    platform::ManualResetEvent command_event{false};
    platform::ManualResetEvent done_event{true};
    Command command = Command::kOpen;
    bool open_failed = false;
    bool thread_ended = false;
    std::string native_path;
    uint8_t* read_destination = nullptr;
    uint32_t read_position = 0;
    uint32_t read_count = 0;
    int64_t read_delivered = 0;
    uint32_t seek_position = 0;

    // Thread side.
    platform::ReadableFile thread_file;
    uint8_t* cache = nullptr;
    uint32_t cache_start = 0;
    uint32_t cache_valid = 0;

    void ThreadMain();
    // Sends a command; the owner must have waited for done (Settle).
    void Dispatch(Command code) {
        command = code;
        done_event.Reset();
        command_event.Set();
    }
    // Waits for the command in flight and takes in the result of a read that
    // was still running.
    void Settle();
    // A command is still running.
    bool Busy() const { return !done_event.IsSet(); }

private:
    void ServeRead();
    void ReadAhead();
};

void PlainFile::ThreadMain() {
    for (;;) {
        const bool commanded = command_event.Wait(cache != nullptr ? 100 : -1);
        if (!commanded) {
            if (thread_file.is_open()) {
                ReadAhead();
            }
            continue;
        }
        command_event.Reset();
        done_event.Reset();
        switch (command) {
            case Command::kOpen:
                if (!thread_file.Open(native_path)) {
                    open_failed = true;
                    thread_ended = true;
                    done_event.Set();
                    return;
                }
                break;
            case Command::kClose:
                thread_file.Close();
                break;
            case Command::kRead:
                ServeRead();
                break;
            case Command::kSeek:
                if (cache != nullptr) {
                    cache_valid = 0;
                    cache_start = seek_position;
                }
                break;
            case Command::kEnd:
                thread_file.Close();
                thread_ended = true;
                done_event.Set();
                return;
        }
        done_event.Set();
    }
}

void PlainFile::ServeRead() {
    uint8_t* destination = read_destination;
    uint32_t at = read_position;
    uint32_t left = read_count;
    int64_t delivered = 0;
    if (cache != nullptr && at == cache_start && cache_valid > 0) {
        const uint32_t n = std::min(left, cache_valid);
        std::memcpy(destination, cache, n);
        destination += n;
        at += n;
        left -= n;
        cache_start += n;
        cache_valid -= n;
        std::memmove(cache, cache + n, cache_valid);
        delivered = n;
    }
    if (left > 0) {
        const int64_t got = thread_file.ReadAt(at, std::span<uint8_t>(destination, left));
        if (got < 0 && delivered == 0) {
            delivered = -1;
        } else if (got > 0) {
            delivered += got;
        }
        if (cache != nullptr) {
            cache_valid = 0;
            cache_start = at + static_cast<uint32_t>(std::max<int64_t>(got, 0));
        }
    }
    read_delivered = delivered;
}

void PlainFile::ReadAhead() {
    if (cache_valid >= kPlainFileCacheSize) {
        return;
    }
    const int64_t got = thread_file.ReadAt(static_cast<uint64_t>(cache_start) + cache_valid,
                                           std::span<uint8_t>(cache + cache_valid, kPlainFileCacheSize - cache_valid));
    if (got > 0) {
        cache_valid += static_cast<uint32_t>(got);
    }
}

void PlainFile::Settle() {
    if (!uses_thread) {
        return;
    }
    done_event.Wait();
    if (!read_in_flight) {
        return;
    }
    read_in_flight = false;
    last_read_bytes = read_delivered;
    const uint32_t real = static_cast<uint32_t>(std::max<int64_t>(read_delivered, 0));
    if (real < in_flight_count) {
        // The read ended early: the position follows the data, and the end
        // (or a read error) is reported.
        position = in_flight_start + real;
        eof = 1;
    }
}

// Open plain files by slot. A handle is (generation << 16) | (slot + 1), so a
// handle kept after its close does not reach the file that took its slot.
class PlainFileTable {
public:
    FileAccessHandle Add(std::unique_ptr<PlainFile> file) {
        std::lock_guard lock(mutex_);
        size_t slot = std::find(files_.begin(), files_.end(), nullptr) - files_.begin();
        if (slot == files_.size()) {
            if (slot >= kMaxSlots) {
                return 0;
            }
            files_.emplace_back();
            generations_.push_back(0);
        }
        files_[slot] = std::move(file);
        ++count_;
        return (static_cast<uint32_t>(generations_[slot]) << 16) | static_cast<uint32_t>(slot + 1);
    }
    PlainFile* Find(FileAccessHandle handle) {
        std::lock_guard lock(mutex_);
        const size_t slot = Slot(handle);
        return slot < files_.size() ? files_[slot].get() : nullptr;
    }
    std::unique_ptr<PlainFile> Take(FileAccessHandle handle) {
        std::lock_guard lock(mutex_);
        const size_t slot = Slot(handle);
        if (slot >= files_.size() || files_[slot] == nullptr) {
            return nullptr;
        }
        generations_[slot] = static_cast<uint16_t>((generations_[slot] + 1) & 0x7FF);
        --count_;
        return std::move(files_[slot]);
    }
    size_t count() {
        std::lock_guard lock(mutex_);
        return count_;
    }

private:
    static constexpr size_t kMaxSlots = 0xFFFE;
    size_t Slot(FileAccessHandle handle) const {
        const uint32_t low = handle & 0xFFFF;
        if (low == 0 || (handle >> 27) != 0) {
            return SIZE_MAX;
        }
        const size_t slot = low - 1;
        if (slot >= files_.size() || generations_[slot] != ((handle >> 16) & 0x7FF)) {
            return SIZE_MAX;
        }
        return slot;
    }

    std::mutex mutex_;
    std::vector<std::unique_ptr<PlainFile>> files_;
    std::vector<uint16_t> generations_;
    size_t count_ = 0;
};

// The tables live until the process ends: archives and other long-lived
// owners may still hold files while static objects are destroyed at exit.
PlainFileTable& Files() {
    static auto* table = new PlainFileTable;
    return *table;
}

// Finds of the plain set, by slot + 1.
class PlainFindTable {
public:
    int32_t Add(platform::FileFind find) {
        std::lock_guard lock(mutex_);
        auto free_slot = std::find_if(finds_.begin(), finds_.end(), [](const auto& f) { return !f.has_value(); });
        if (free_slot == finds_.end()) {
            finds_.emplace_back();
            free_slot = finds_.end() - 1;
        }
        *free_slot = std::move(find);
        return static_cast<int32_t>(free_slot - finds_.begin()) + 1;
    }
    platform::FileFind* Find(int32_t handle) {
        std::lock_guard lock(mutex_);
        if (handle < 1 || static_cast<size_t>(handle) > finds_.size() || !finds_[handle - 1]) {
            return nullptr;
        }
        return &*finds_[handle - 1];
    }
    bool Remove(int32_t handle) {
        std::lock_guard lock(mutex_);
        if (handle < 1 || static_cast<size_t>(handle) > finds_.size() || !finds_[handle - 1]) {
            return false;
        }
        finds_[handle - 1].reset();
        return true;
    }

private:
    std::mutex mutex_;
    std::vector<std::optional<platform::FileFind>> finds_;
};

PlainFindTable& Finds() {
    static auto* table = new PlainFindTable;
    return *table;
}

std::optional<int64_t> SeekTarget(int64_t position, int64_t size, int64_t offset, int origin) {
    switch (origin) {
        case kSeekSet:
            return offset;
        case kSeekCurrent:
            return position + offset;
        case kSeekEnd:
            return size + offset;
        default:
            return std::nullopt;
    }
}

}  // namespace

FileAccessHandle PlainFileOpen(const std::string& path, int cache, int unused, int async) {
    const auto native = platform::ResolveGamePath(path);
    if (!native) {
        return 0;
    }
    return PlainFileOpenNative(*native, cache, async);
}

FileAccessHandle PlainFileOpenNative(const std::string& native_path, int cache, int async) {
    auto file = std::make_unique<PlainFile>(cache != 0, async != 0);
    platform::ReadableFile probe;
    if (!probe.Open(native_path)) {
        return 0;
    }
    const int64_t size = probe.Size();
    if (size < 0 || static_cast<uint64_t>(size) > kMaxFileSize) {
        return 0;
    }
    file->size = static_cast<uint32_t>(size);
    if (!file->uses_thread) {
        file->direct_file = std::move(probe);
        return Files().Add(std::move(file));
    }
    probe.Close();

    if (file->cache_flag) {
        file->cache = static_cast<uint8_t*>(VELK_ALLOC(kPlainFileCacheSize));
        if (file->cache == nullptr) {
            WriteLog(log_text::kFileCacheAllocationFailed);
            return 0;
        }
    }
    try {
        file->thread = std::thread(&PlainFile::ThreadMain, file.get());
    } catch (const std::system_error&) {
        WriteLog(log_text::kFileThreadCreationFailed);
        return 0;
    }
    file->native_path = native_path;
    file->Dispatch(Command::kOpen);
    file->done_event.Wait();
    if (file->open_failed) {
        WriteLog(log_text::kFileOpenFailed);
        return 0;  // the record's destructor joins the ended thread
    }
    const FileAccessHandle handle = Files().Add(std::move(file));
    return handle;
}

int PlainFileClose(FileAccessHandle handle) {
    auto file = Files().Take(handle);
    if (file == nullptr) {
        return -1;
    }
    if (file->uses_thread) {
        file->Settle();
        file->Dispatch(Command::kEnd);
        file->done_event.Wait();
        file->thread.join();
    }
    return 0;
}

int64_t PlainFileTell(FileAccessHandle handle) {
    PlainFile* file = Files().Find(handle);
    if (file == nullptr) {
        return -1;
    }
    if (file->uses_thread && !file->Busy()) {
        file->Settle();
    }
    return file->position;
}

int PlainFileSeek(FileAccessHandle handle, int64_t offset, int origin) {
    PlainFile* file = Files().Find(handle);
    if (file == nullptr) {
        return -1;
    }
    file->Settle();
    const auto target = SeekTarget(file->position, file->size, offset, origin);
    if (!target || *target < 0 || static_cast<uint64_t>(*target) > kMaxFileSize) {
        return -1;
    }
    // Reads name their own position, so only a cache needs to hear of a
    // seek (it restarts there); without one the round trip is saved.
    if (file->uses_thread && file->cache != nullptr) {
        file->seek_position = static_cast<uint32_t>(*target);
        file->Dispatch(Command::kSeek);
    }
    file->position = static_cast<uint32_t>(*target);
    file->eof = 0;
    return 0;
}

size_t PlainFileRead(void* buffer, size_t element_size, size_t count, FileAccessHandle handle) {
    PlainFile* file = Files().Find(handle);
    if (file == nullptr || element_size == 0) {
        return 0;
    }
    file->Settle();
    file->last_read_bytes = 0;
    if (file->position >= file->size) {
        file->eof = 1;
        return 0;
    }
    const uint64_t left = file->size - file->position;
    if (count > left / element_size) {
        count = static_cast<size_t>(left / element_size);  // a last partial element is not read
    }
    if (count == 0) {
        file->eof = 1;
        return 0;
    }
    const uint32_t bytes = static_cast<uint32_t>(element_size * count);
    auto* destination = static_cast<uint8_t*>(buffer);

    if (!file->uses_thread) {
        const int64_t got = file->direct_file.ReadAt(file->position, std::span<uint8_t>(destination, bytes));
        file->last_read_bytes = got;
        if (got < 0) {
            file->eof = 1;
            return 0;  // nothing read: the position stays
        }
        file->position += static_cast<uint32_t>(got);
        if (got < bytes) {
            file->eof = 1;
        }
        return static_cast<size_t>(got) / element_size;
    }

    file->read_destination = destination;
    file->read_position = file->position;
    file->read_count = bytes;
    file->read_in_flight = true;
    file->in_flight_start = file->position;
    file->in_flight_count = bytes;
    file->position += bytes;
    file->Dispatch(Command::kRead);
    if (file->async_flag) {
        return count;  // the idle operation tells when the bytes are there
    }
    file->Settle();
    return static_cast<size_t>(std::max<int64_t>(file->last_read_bytes, 0)) / element_size;
}

int PlainFileEof(FileAccessHandle handle) {
    PlainFile* file = Files().Find(handle);
    if (file == nullptr) {
        return -1;
    }
    if (file->uses_thread && !file->Busy()) {
        file->Settle();
    }
    return file->eof != 0 ? -1 : 0;
}

int PlainFileIdle(FileAccessHandle handle) {
    PlainFile* file = Files().Find(handle);
    if (file == nullptr) {
        return -1;
    }
    if (!file->uses_thread) {
        return 1;
    }
    if (file->Busy()) {
        return 0;
    }
    file->Settle();
    return 1;
}

int64_t PlainFileSize(FileAccessHandle handle) {
    PlainFile* file = Files().Find(handle);
    return file != nullptr ? file->size : -1;
}

int64_t PlainFileFinishRead(FileAccessHandle handle) {
    PlainFile* file = Files().Find(handle);
    if (file == nullptr) {
        return -1;
    }
    file->Settle();
    return file->last_read_bytes;
}

size_t OpenPlainFileCount() { return Files().count(); }

int PlainChDir(const std::string& path) { return platform::SetCurrentGameDirectory(path) ? 1 : 0; }

int PlainGetDir(std::string* path) {
    *path = platform::CurrentGameDirectory();
    return static_cast<int>(path->size());
}

int32_t PlainFindFirst(const std::string& pattern, FileInfo* info) {
    auto find = platform::FileFind::Start(pattern);
    if (!find) {
        return -1;
    }
    const platform::FoundFile* first = find->Next();
    if (info != nullptr) {
        *info = MakeFileInfo(*first);
    }
    return Finds().Add(std::move(*find));
}

int PlainFindNext(int32_t handle, FileInfo* info) {
    platform::FileFind* find = Finds().Find(handle);
    if (find == nullptr) {
        return -1;
    }
    const platform::FoundFile* next = find->Next();
    if (next == nullptr) {
        return -1;
    }
    if (info != nullptr) {
        *info = MakeFileInfo(*next);
    }
    return 0;
}

int PlainFindClose(int32_t handle) { return Finds().Remove(handle) ? 0 : -1; }

namespace {

FileAccessFunctions MakePlainSet() {
    FileAccessFunctions set{};
    set.open = PlainFileOpen;
    set.close = PlainFileClose;
    set.tell = PlainFileTell;
    set.seek = PlainFileSeek;
    set.read = PlainFileRead;
    set.eof = PlainFileEof;
    set.idle = PlainFileIdle;
    set.chdir = PlainChDir;
    set.getdir = PlainGetDir;
    set.find_first = PlainFindFirst;
    set.find_next = PlainFindNext;
    set.find_close = PlainFindClose;
    return set;
}

}  // namespace

const FileAccessFunctions& PlainFileAccessFunctions() {
    static const FileAccessFunctions set = MakePlainSet();
    return set;
}

}  // namespace velk
