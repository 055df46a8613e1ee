#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "lib/core/files/archive_decoder.h"
#include "lib/core/files/archive_reader.h"
#include "lib/core/files/archive_router.h"
#include "lib/core/files/archive_state.h"
#include "lib/core/files/file_log_texts.h"
#include "lib/core/files/find_info.h"
#include "lib/core/files/plain_file.h"
#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "platform/base/text_encoding.h"
#include "platform/file/current_directory.h"
#include "platform/file/game_name.h"
#include "platform/file/path_resolver.h"

namespace velk {

namespace {

constexpr FileAccessHandle kArchiveHandleTag = 0xF0000000;

// A block of the library's allocator, freed with its owner.
struct LibraryBlock {
    uint8_t* bytes = nullptr;
    LibraryBlock() = default;
    ~LibraryBlock() { Reset(); }
    LibraryBlock(const LibraryBlock&) = delete;
    LibraryBlock& operator=(const LibraryBlock&) = delete;
    bool Allocate(size_t size) {
        Reset();
        bytes = static_cast<uint8_t*>(VELK_ALLOC(size > 0 ? size : 1));
        return bytes != nullptr;
    }
    void Reset() {
        if (bytes != nullptr) {
            MemFree(bytes);
            bytes = nullptr;
        }
    }
};

enum class Pending { kNone, kCompressedBlock, kRead };

// One open file of the archive set: a plain file, or an entry of an archive.
struct ArchiveOpenFile {
    bool in_archive = false;
    FileAccessHandle plain = 0;
    int archive = -1;

    ArchiveState* state = nullptr;
    const ArchiveEntry* entry = nullptr;
    std::string path;  // for the log
    // A compressed entry checks its data's head when it opens and decodes
    // when it is read, checking every code as it goes: straight into the
    // reader's buffer when one read takes the whole entry, else into its own
    // decoded copy. Its codes are read from the archive file piece by piece
    // then, or, when it was opened asynchronously, kept from the open.
    ArchiveDataHead head;
    LibraryBlock decoded;
    LibraryBlock compressed;
    uint32_t compressed_size = 0;
    int eof = 0;
    uint32_t position = 0;
    bool async = false;
    bool damaged = false;  // its data could not be read or decoded
    Pending pending = Pending::kNone;
    uint64_t pending_offset = 0;
    uint8_t* pending_destination = nullptr;
    uint32_t pending_count = 0;
    uint32_t pending_start = 0;
    ArchiveReadWaiter waiter;

    uint64_t data_offset() const {
        return static_cast<uint64_t>(state->index.header.data_start) + entry->data_position;
    }
};

struct ArchiveSearch {
    int archive = -1;
    int32_t directory = 0;
    std::string pattern;
    size_t next = 0;
};

// One find of the archive set: inside an archive, or a plain find.
struct ArchiveFind {
    bool in_archive = false;
    int32_t plain = -1;
    ArchiveSearch search;
};

struct ArchiveFileSet {
    std::recursive_mutex mutex;  // decode threads may read through streams
    std::array<std::unique_ptr<ArchiveOpenFile>, kMaxOpenArchiveFiles> files;
    size_t file_count = 0;
    std::vector<std::unique_ptr<ArchiveFind>> finds;
};

// Lives until the process ends, like the plain files it holds.
ArchiveFileSet& Set() {
    static auto* set = new ArchiveFileSet;
    return *set;
}

ArchiveOpenFile* FileOf(FileAccessHandle handle) {
    if ((handle & kArchiveHandleTag) != kArchiveHandleTag) {
        return nullptr;
    }
    const size_t slot = handle & ~kArchiveHandleTag;
    return slot < kMaxOpenArchiveFiles ? Set().files[slot].get() : nullptr;
}

void LogDamagedEntry(const ArchiveOpenFile& file) {
    WriteLogFormat(log_text::kDamagedArchiveEntryFormat, file.state->native_path.c_str(), file.path.c_str());
}

// Checks the compressed data's head against its entry: it must claim the
// entry's size, and its whole size must fit the stored data. The expansion is
// held to the codes that are really there, whatever size the table claims
// for them; the codes run as far as the head says, which may end before the
// size the table gives, and never past it.
bool CheckEntryHead(ArchiveOpenFile& file, std::span<const uint8_t> head_bytes) {
    const auto head = ReadArchiveDataHead(head_bytes, file.entry->compressed_size);
    if (!head || head->decoded_size != file.entry->data_size ||
        !ArchiveDecodedSizeAllowed(head->decoded_size, head->total_size)) {
        return false;
    }
    file.head = *head;
    return true;
}

// Pieces in which the codes are read from the archive file: small enough to
// stay in the cache while they decode. Each buffer keeps room in front for
// what the piece before it left of a code.
constexpr size_t kCodePieceSize = size_t{512} << 10;
constexpr size_t kCodeBufferSize = kArchiveDecodeCarry + kCodePieceSize;

// Decodes the codes read piece by piece from the archive file, the next
// piece arriving (on the archive file's reading thread) while one decodes.
// `buffers` holds two buffers of kCodeBufferSize. False when the codes are
// damaged or the archive file was cut after it was opened.
bool DecodeEntryFromArchive(ArchiveOpenFile& file, std::span<uint8_t> destination, uint8_t* buffers) {
    ArchiveState& state = *file.state;
    ArchiveDataDecoder decoder(file.head.marker, destination);
    uint64_t offset = file.data_offset() + kArchiveDataHeadSize;
    uint64_t left = file.head.total_size - kArchiveDataHeadSize;
    ArchiveReadWaiter waiter;
    // Never leaves with a read still writing into the buffers.
    struct Settle {
        ArchiveState& state;
        ArchiveReadWaiter& waiter;
        ~Settle() {
            if (state.read_waiter == &waiter) {
                SettleArchiveRead(state);
            }
        }
    } settle{state, waiter};
    size_t wanted = 0;
    uint64_t wanted_offset = offset;
    auto start = [&](uint8_t* buffer) {
        wanted = static_cast<size_t>(std::min<uint64_t>(left, kCodePieceSize));
        wanted_offset = offset;
        StartArchiveRead(state, offset, std::span<uint8_t>(buffer + kArchiveDecodeCarry, wanted), &waiter);
        offset += wanted;
        left -= wanted;
    };
    size_t current = 0;
    start(buffers);
    // What a piece left of a code, kept aside: its buffer takes the piece
    // after next while this one decodes.
    uint8_t carry[kArchiveDecodeCarry];
    size_t carried = 0;
    for (;;) {
        uint8_t* const buffer = buffers + current * kCodeBufferSize;
        if (state.read_waiter == &waiter) {
            SettleArchiveRead(state);
        }
        if (waiter.delivered != static_cast<int64_t>(wanted)) {
            return false;
        }
        const std::span<uint8_t> arrived(buffer + kArchiveDecodeCarry, wanted);
        const uint64_t arrived_offset = wanted_offset;
        const bool last = left == 0;
        if (!last) {
            start(buffers + (1 - current) * kCodeBufferSize);
        }
        ScrambleArchiveBytes(arrived, arrived_offset, state.key);
        uint8_t* const piece = arrived.data() - carried;
        std::memcpy(piece, carry, carried);
        const size_t piece_size = carried + arrived.size();
        const auto taken = decoder.Decode(std::span<const uint8_t>(piece, piece_size), last);
        if (!taken) {
            return false;
        }
        if (last) {
            return decoder.full();
        }
        carried = piece_size - *taken;
        std::memcpy(carry, piece + *taken, carried);
        current = 1 - current;
    }
}

// Decodes the entry's whole data into `destination` (its decoded size).
bool DecodeEntryInto(ArchiveOpenFile& file, std::span<uint8_t> destination) {
    bool decoded = false;
    if (file.compressed.bytes != nullptr) {
        decoded = DecodeArchiveData(std::span<const uint8_t>(file.compressed.bytes, file.compressed_size), destination);
    } else {
        LibraryBlock buffers;
        if (!buffers.Allocate(2 * kCodeBufferSize)) {
            WriteLogFormat(log_text::kArchiveEntryAllocationFailedFormat, file.state->native_path.c_str(),
                           file.path.c_str());
            return false;
        }
        decoded = DecodeEntryFromArchive(file, destination, buffers.bytes);
    }
    if (decoded) {
        return true;
    }
    file.damaged = true;
    file.compressed.Reset();
    LogDamagedEntry(file);
    return false;
}

// Gives the entry its own decoded copy, for reads of less than the whole.
bool DecodeEntry(ArchiveOpenFile& file) {
    const uint32_t size = file.entry->data_size;
    if (!file.decoded.Allocate(size)) {
        WriteLogFormat(log_text::kArchiveEntryAllocationFailedFormat, file.state->native_path.c_str(),
                       file.path.c_str());
        return false;
    }
    if (!DecodeEntryInto(file, std::span<uint8_t>(file.decoded.bytes, size))) {
        file.decoded.Reset();
        return false;
    }
    file.compressed.Reset();
    return true;
}

// Whether the entry's data lies inside the archive file and does not claim
// to expand past what the coding is allowed.
bool EntryFits(const ArchiveOpenFile& file) {
    const ArchiveEntry& entry = *file.entry;
    const uint64_t stored = entry.is_compressed() ? entry.compressed_size : entry.data_size;
    if (entry.is_compressed() && (entry.compressed_size < kArchiveDataHeadSize ||
                                  !ArchiveDecodedSizeAllowed(entry.data_size, entry.compressed_size))) {
        return false;
    }
    return file.data_offset() + stored <= file.state->file_size;
}

// Opens the entry's data: a compressed entry's head is read and checked now
// (or the read of its codes started, when asynchronous). False when it is
// damaged or no memory.
bool OpenEntryData(ArchiveOpenFile& file) {
    if (!EntryFits(file)) {
        LogDamagedEntry(file);
        return false;
    }
    if (!file.entry->is_compressed()) {
        return true;
    }
    if (!file.async) {
        // Only the head now: the codes are checked as they decode.
        uint8_t head[kArchiveDataHeadSize];
        const bool checked =
            ReadArchiveBytes(*file.state, file.data_offset(), head) == sizeof head && CheckEntryHead(file, head);
        if (!checked) {
            LogDamagedEntry(file);
        }
        return checked;
    }
    const uint32_t size = file.entry->compressed_size;
    if (!file.compressed.Allocate(size)) {
        WriteLogFormat(log_text::kArchiveEntryAllocationFailedFormat, file.state->native_path.c_str(),
                       file.path.c_str());
        return false;
    }
    file.compressed_size = size;
    StartArchiveRead(*file.state, file.data_offset(), std::span<uint8_t>(file.compressed.bytes, size), &file.waiter);
    file.pending = Pending::kCompressedBlock;
    file.pending_offset = file.data_offset();
    file.pending_count = size;
    return true;
}

// Finishes the file's asynchronous operation. With `wait` false it only
// looks: 0 while the archive file still reads, else 1.
int CompleteArchiveRead(ArchiveOpenFile& file, bool wait) {
    if (file.pending == Pending::kNone) {
        return 1;
    }
    if (ArchiveReadBusy(*file.state, &file.waiter)) {
        if (!wait) {
            return 0;
        }
    }
    if (file.state->read_waiter == &file.waiter) {
        SettleArchiveRead(*file.state);
    }
    const int64_t delivered = std::max<int64_t>(file.waiter.delivered, 0);
    if (file.pending == Pending::kRead) {
        ScrambleArchiveBytes(std::span<uint8_t>(file.pending_destination, static_cast<size_t>(delivered)),
                             file.pending_offset, file.state->key);
        if (delivered < file.pending_count) {
            // The archive file ended early: the position follows the data.
            file.position = file.pending_start + static_cast<uint32_t>(delivered);
            file.eof = 1;
        }
    } else {
        const std::span<uint8_t> block(file.compressed.bytes, file.pending_count);
        if (delivered == file.pending_count) {
            ScrambleArchiveBytes(block, file.pending_offset, file.state->key);
        }
        if (delivered != file.pending_count || !CheckEntryHead(file, block)) {
            file.damaged = true;
            file.compressed.Reset();
            LogDamagedEntry(file);
        }
    }
    file.pending = Pending::kNone;
    return 1;
}

size_t ReadArchiveEntry(ArchiveOpenFile& file, uint8_t* buffer, uint64_t bytes) {
    CompleteArchiveRead(file, true);
    if (file.damaged) {
        file.eof = 1;
        return 0;
    }
    if (file.eof != 0) {
        return 0;
    }
    const uint32_t size = file.entry->data_size;
    if (file.position >= size) {
        file.eof = 1;
        return 0;
    }
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(bytes, size - file.position));
    if (file.entry->is_compressed()) {
        if (file.decoded.bytes == nullptr) {
            if (file.position == 0 && n == size) {
                if (!DecodeEntryInto(file, std::span<uint8_t>(buffer, n))) {
                    file.eof = 1;
                    return 0;
                }
                file.position = n;
                file.eof = 0;
                return n;
            }
            if (!DecodeEntry(file)) {
                file.eof = 1;
                return 0;
            }
        }
        std::memcpy(buffer, file.decoded.bytes + file.position, n);
    } else if (!file.async) {
        const int64_t got =
            ReadArchiveBytes(*file.state, file.data_offset() + file.position, std::span<uint8_t>(buffer, n));
        if (got < n) {
            // The archive file was cut after it was opened.
            const uint32_t real = static_cast<uint32_t>(std::max<int64_t>(got, 0));
            file.position += real;
            file.eof = 1;
            return real;
        }
    } else {
        file.pending = Pending::kRead;
        file.pending_offset = file.data_offset() + file.position;
        file.pending_destination = buffer;
        file.pending_count = n;
        file.pending_start = file.position;
        StartArchiveRead(*file.state, file.pending_offset, std::span<uint8_t>(buffer, n), &file.waiter);
    }
    file.position += n;
    file.eof = 0;
    return n;
}

void CloseOpenFile(ArchiveOpenFile& file) {
    if (file.in_archive) {
        CompleteArchiveRead(file, true);
        ReleaseArchive(file.archive);
    } else {
        PlainFileClose(file.plain);
    }
}

// Splits a path inside an archive at its last '\', '/' or ':' (not a
// Shift-JIS trail byte) into folder and pattern.
void SplitSearchPath(const std::string& path, std::string* folder, std::string* pattern) {
    size_t cut = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (platform::IsShiftJisLeadByte(static_cast<uint8_t>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/' || path[i] == ':') {
            cut = i;
        }
    }
    if (cut == std::string::npos) {
        folder->clear();
        *pattern = platform::FoldGameNameCase(path);
    } else {
        *folder = platform::FoldGameNameCase(path.substr(0, cut));
        *pattern = platform::FoldGameNameCase(path.substr(cut + 1));
    }
}

void FillDotInfo(const char* name, FileInfo* info) {
    if (info != nullptr) {
        *info = FileInfo();
        info->name = name;
        info->is_directory = 1;
    }
}

void FillEntryInfo(const ArchiveEntry& entry, FileInfo* info) {
    if (info != nullptr) {
        *info = FileInfo();
        info->name = entry.name;
        info->is_directory = entry.is_directory() ? 1 : 0;
        info->size_low = entry.data_size;
        info->creation = FileDateFromFileTime(entry.creation_time);
        info->last_write = FileDateFromFileTime(entry.write_time);
    }
}

// Moves the search to its next match; false when none is left.
bool NextMatch(ArchiveSearch& search, FileInfo* info) {
    const ArchiveState* state = ArchiveAt(search.archive);
    if (state == nullptr) {
        return false;
    }
    const auto& directory = state->index.directories[static_cast<size_t>(search.directory)];
    const size_t dots = search.directory == 0 ? 1 : 2;
    while (search.next < dots + directory.entries.size()) {
        const size_t candidate = search.next++;
        if (candidate < dots) {
            const char* name = candidate == 0 ? "." : "..";
            if (MatchArchiveName(search.pattern, name)) {
                FillDotInfo(name, info);
                return true;
            }
            continue;
        }
        const ArchiveEntry& entry = directory.entries[candidate - dots];
        if (MatchArchiveName(search.pattern, entry.folded_text())) {
            FillEntryInfo(entry, info);
            return true;
        }
    }
    return false;
}

ArchiveFind* FindOf(int32_t handle) {
    auto& finds = Set().finds;
    if (handle < 1 || static_cast<size_t>(handle) > finds.size()) {
        return nullptr;
    }
    return finds[static_cast<size_t>(handle) - 1].get();
}

int32_t AddFind(std::unique_ptr<ArchiveFind> find) {
    auto& finds = Set().finds;
    auto slot = std::find(finds.begin(), finds.end(), nullptr);
    if (slot == finds.end()) {
        finds.push_back(std::move(find));
        return static_cast<int32_t>(finds.size());
    }
    *slot = std::move(find);
    return static_cast<int32_t>(slot - finds.begin()) + 1;
}

FileAccessFunctions MakeArchiveSet() {
    FileAccessFunctions set{};
    set.open = ArchiveFileOpen;
    set.close = ArchiveFileClose;
    set.tell = ArchiveFileTell;
    set.seek = ArchiveFileSeek;
    set.read = ArchiveFileRead;
    set.eof = ArchiveFileEof;
    set.idle = ArchiveFileIdle;
    set.chdir = ArchiveChDir;
    set.getdir = ArchiveGetDir;
    set.find_first = ArchiveFindFirst;
    set.find_next = ArchiveFindNext;
    set.find_close = ArchiveFindClose;
    return set;
}

}  // namespace

FileAccessHandle ArchiveFileOpen(const std::string& path, int cache, int, int async) {
    auto& set = Set();
    std::lock_guard lock(set.mutex);
    if (set.file_count >= kMaxOpenArchiveFiles) {
        WriteLog(log_text::kTooManyOpenFiles);
        return 0;
    }
    const size_t slot = std::find(set.files.begin(), set.files.end(), nullptr) - set.files.begin();
    std::unique_ptr<ArchiveOpenFile> file(new (std::nothrow) ArchiveOpenFile);
    if (file == nullptr) {
        WriteLog(log_text::kFileRecordAllocationFailed);
        return 0;
    }
    const auto route = FindArchiveForPath(path);
    if (!route) {
        file->plain = PlainFileOpen(path, cache, 1, async);
        if (file->plain == 0) {
            return 0;
        }
    } else {
        file->in_archive = true;
        file->archive = route->archive;
        file->state = ArchiveAt(route->archive);
        file->entry = FindArchiveEntry(file->state->index, route->inner_path);
        file->path = route->inner_path;
        file->async = async != 0;
        // A path routed into an archive is not looked for outside it.
        if (file->entry == nullptr || !OpenEntryData(*file)) {
            if (file->pending != Pending::kNone) {
                CompleteArchiveRead(*file, true);
            }
            ReleaseArchive(route->archive);
            return 0;
        }
    }
    set.files[slot] = std::move(file);
    ++set.file_count;
    return kArchiveHandleTag | static_cast<FileAccessHandle>(slot);
}

std::optional<std::string> ArchiveFileIdentity(const std::string& path) {
    std::lock_guard lock(Set().mutex);
    const auto route = FindArchiveForPath(path);
    if (!route) {
        return platform::ResolveGameFileIdentity(path);
    }
    const ArchiveState* state = ArchiveAt(route->archive);
    const ArchiveEntry* entry = state != nullptr ? FindArchiveEntry(state->index, route->inner_path) : nullptr;
    std::optional<std::string> identity;
    if (entry != nullptr) {
        // Entries that share their data read alike, so the data names the file.
        identity =
            state->native_path + "|" + std::to_string(entry->data_position) + ":" + std::to_string(entry->data_size);
    }
    ReleaseArchive(route->archive);
    return identity;
}

int ArchiveFileClose(FileAccessHandle handle) {
    auto& set = Set();
    std::lock_guard lock(set.mutex);
    ArchiveOpenFile* file = FileOf(handle);
    if (file == nullptr) {
        return -1;
    }
    CloseOpenFile(*file);
    set.files[handle & ~kArchiveHandleTag].reset();
    --set.file_count;
    return 0;
}

int64_t ArchiveFileTell(FileAccessHandle handle) {
    std::lock_guard lock(Set().mutex);
    ArchiveOpenFile* file = FileOf(handle);
    if (file == nullptr) {
        return -1;
    }
    if (!file->in_archive) {
        return PlainFileTell(file->plain);
    }
    CompleteArchiveRead(*file, true);
    return file->position;
}

int ArchiveFileSeek(FileAccessHandle handle, int64_t offset, int origin) {
    std::lock_guard lock(Set().mutex);
    ArchiveOpenFile* file = FileOf(handle);
    if (file == nullptr) {
        return -1;
    }
    if (!file->in_archive) {
        return PlainFileSeek(file->plain, offset, origin);
    }
    CompleteArchiveRead(*file, true);
    const int64_t size = file->entry->data_size;
    int64_t target = offset;
    if (origin == kSeekCurrent) {
        target = file->position + offset;
    } else if (origin == kSeekEnd) {
        target = size + offset;
    }
    file->position = static_cast<uint32_t>(std::clamp<int64_t>(target, 0, size));
    file->eof = 0;
    return 0;
}

size_t ArchiveFileRead(void* buffer, size_t element_size, size_t count, FileAccessHandle handle) {
    std::lock_guard lock(Set().mutex);
    ArchiveOpenFile* file = FileOf(handle);
    if (file == nullptr) {
        return 0;
    }
    if (!file->in_archive) {
        return PlainFileRead(buffer, element_size, count, file->plain);
    }
    const uint64_t bytes = element_size != 0 && count > UINT64_MAX / element_size
                               ? UINT64_MAX
                               : static_cast<uint64_t>(element_size) * count;
    return ReadArchiveEntry(*file, static_cast<uint8_t*>(buffer), bytes);
}

int ArchiveFileEof(FileAccessHandle handle) {
    std::lock_guard lock(Set().mutex);
    ArchiveOpenFile* file = FileOf(handle);
    if (file == nullptr) {
        return -1;
    }
    if (!file->in_archive) {
        return PlainFileEof(file->plain);
    }
    CompleteArchiveRead(*file, true);
    return file->eof != 0 ? -1 : 0;
}

int ArchiveFileIdle(FileAccessHandle handle) {
    std::lock_guard lock(Set().mutex);
    ArchiveOpenFile* file = FileOf(handle);
    if (file == nullptr) {
        return -1;
    }
    if (!file->in_archive) {
        return PlainFileIdle(file->plain);
    }
    return CompleteArchiveRead(*file, false);
}

int ArchiveChDir(const std::string& path) {
    platform::SetCurrentGameDirectory(path);
    return 0;
}

int ArchiveGetDir(std::string* path) {
    *path = platform::CurrentGameDirectory();
    return 0;
}

int32_t ArchiveFindFirst(const std::string& pattern, FileInfo* info) {
    auto& set = Set();
    std::lock_guard lock(set.mutex);
    auto find = std::make_unique<ArchiveFind>();
    const auto route = FindArchiveForPath(pattern);
    if (!route) {
        find->plain = PlainFindFirst(pattern, info);
        if (find->plain == -1) {
            return -1;
        }
        return AddFind(std::move(find));
    }
    find->in_archive = true;
    ArchiveSearch& search = find->search;
    search.archive = route->archive;
    std::string folder;
    SplitSearchPath(route->inner_path, &folder, &search.pattern);
    const ArchiveState* state = ArchiveAt(route->archive);
    const auto directory = folder.empty() ? std::optional<int32_t>(0) : FindArchiveDirectory(state->index, folder);
    if (!directory) {
        ReleaseArchive(route->archive);
        return -1;
    }
    search.directory = *directory;
    if (!NextMatch(search, info)) {
        ReleaseArchive(route->archive);
        return -1;
    }
    return AddFind(std::move(find));
}

int ArchiveFindNext(int32_t handle, FileInfo* info) {
    std::lock_guard lock(Set().mutex);
    ArchiveFind* find = FindOf(handle);
    if (find == nullptr) {
        return -1;
    }
    if (!find->in_archive) {
        return PlainFindNext(find->plain, info);
    }
    return NextMatch(find->search, info) ? 0 : -1;
}

int ArchiveFindClose(int32_t handle) {
    auto& set = Set();
    std::lock_guard lock(set.mutex);
    ArchiveFind* find = FindOf(handle);
    if (find == nullptr) {
        return -1;
    }
    if (find->in_archive) {
        ReleaseArchive(find->search.archive);
    } else {
        PlainFindClose(find->plain);
    }
    set.finds[static_cast<size_t>(handle) - 1].reset();
    return 0;
}

void ClearArchiveState() {
    auto& set = Set();
    std::lock_guard lock(set.mutex);
    for (auto& file : set.files) {
        if (file != nullptr) {
            CloseOpenFile(*file);
            file.reset();
        }
    }
    set.file_count = 0;
    for (auto& find : set.finds) {
        if (find != nullptr && !find->in_archive) {
            PlainFindClose(find->plain);
        }
    }
    set.finds.clear();
    CloseAllArchives();
    ForgetRememberedArchive();
    ResetArchiveSettings();
}

int EndArchives() {
    std::lock_guard lock(Set().mutex);
    return CloseUnusedArchives();
}

bool IsArchiveEntryHandle(FileAccessHandle handle) {
    std::lock_guard lock(Set().mutex);
    const ArchiveOpenFile* file = FileOf(handle);
    return file != nullptr && file->in_archive;
}

size_t OpenArchiveFileCount() {
    std::lock_guard lock(Set().mutex);
    return Set().file_count;
}

const FileAccessFunctions& ArchiveFileAccessFunctions() {
    static const FileAccessFunctions set = MakeArchiveSet();
    return set;
}

}  // namespace velk
