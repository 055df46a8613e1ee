#pragma once
// The byte source a sound is read from: a block of memory or a file opened
// through the library's file access. The converters read only through this,
// and never close what lies beneath it (that stays the opener's).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace velk {

class SoundStream {
public:
    virtual ~SoundStream() = default;
    virtual int64_t Tell() = 0;
    // origin 0 from the start, 1 from the current position, 2 from the end;
    // 0 on success, -1 when the target is outside the data.
    virtual int Seek(int64_t offset, int origin) = 0;
    // Returns the bytes read; fewer than asked only at the end.
    virtual size_t Read(void* buffer, size_t bytes) = 0;
    virtual bool Eof() = 0;

    // The whole size (seeks to the end and back); -1 when it cannot be taken.
    int64_t Size();
};

// Reads memory the caller keeps alive for the stream's life.
class MemorySoundStream final : public SoundStream {
public:
    MemorySoundStream(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    int64_t Tell() override { return static_cast<int64_t>(position_); }
    int Seek(int64_t offset, int origin) override;
    size_t Read(void* buffer, size_t bytes) override;
    bool Eof() override { return eof_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    bool eof_ = false;
};

// A file opened through the active file-access functions (plain files or the
// game's archives). Open gives null when the file cannot be opened; the
// stream closes the file when it goes.
std::unique_ptr<SoundStream> OpenFileSoundStream(const std::string& path);

}  // namespace velk
