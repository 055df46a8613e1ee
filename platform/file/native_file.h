#pragma once
// Files named by native (already resolved) paths. Every read and write is
// checked: a short read reports the bytes really read, a failed write is never
// taken for a whole one.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace velk::platform {

// A file open for reading. Reads take an explicit offset, so several readers
// of one file never disturb each other's position.
class ReadableFile {
public:
    ReadableFile() = default;
    ~ReadableFile();
    ReadableFile(ReadableFile&& other) noexcept;
    ReadableFile& operator=(ReadableFile&& other) noexcept;
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;

    // Opens a regular file; false when it does not exist, is a folder or
    // cannot be read. `missing` (when given) tells whether it did not exist.
    bool Open(const std::string& native_path, bool* missing = nullptr);
    void Close();
    bool is_open() const { return fd_ >= 0; }

    // The size now, -1 when it cannot be taken.
    int64_t Size() const;
    // Reads up to destination.size() bytes at `offset`, stopping early only
    // at the end of the file. Returns the bytes read, -1 on a read error.
    int64_t ReadAt(uint64_t offset, std::span<uint8_t> destination) const;

private:
    int fd_ = -1;
};

enum class CreateMode {
    kTruncate,   // create or empty an existing file
    kCreateNew,  // fail when the file exists
    kAppend,     // create, or write after the end of an existing file
};

// A file open for writing from its start.
class WritableFile {
public:
    WritableFile() = default;
    ~WritableFile();
    WritableFile(WritableFile&& other) noexcept;
    WritableFile& operator=(WritableFile&& other) noexcept;
    WritableFile(const WritableFile&) = delete;
    WritableFile& operator=(const WritableFile&) = delete;

    // Never follows a symbolic link in the file's place (fails instead).
    bool Create(const std::string& native_path, CreateMode mode, unsigned permissions = 0644);
    // Takes over an open descriptor (the temporary-file maker uses it).
    void Adopt(int fd) {
        Close();
        fd_ = fd;
    }
    bool is_open() const { return fd_ >= 0; }

    // Writes every byte or reports failure.
    bool Write(std::span<const uint8_t> bytes);
    // Forces the written bytes to the disk.
    bool Sync();
    // Closes the file; false when closing reported an error (data may be lost).
    bool Close();

private:
    int fd_ = -1;
};

}  // namespace velk::platform
