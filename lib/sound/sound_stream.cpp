#include "lib/sound/sound_stream.h"

#include <algorithm>
#include <cstring>

#include "lib/core/files/file_access.h"

namespace velk {

int64_t SoundStream::Size() {
    const int64_t position = Tell();
    if (position < 0 || Seek(0, 2) != 0) return -1;
    const int64_t size = Tell();
    Seek(position, 0);
    return size;
}

int MemorySoundStream::Seek(int64_t offset, int origin) {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(position_) : static_cast<int64_t>(size_);
    const int64_t target = base + offset;
    if (target < 0 || target > static_cast<int64_t>(size_)) return -1;
    position_ = static_cast<size_t>(target);
    eof_ = false;
    return 0;
}

size_t MemorySoundStream::Read(void* buffer, size_t bytes) {
    const size_t count = std::min(bytes, size_ - position_);
    if (count > 0) std::memcpy(buffer, data_ + position_, count);
    position_ += count;
    eof_ = count < bytes;
    return count;
}

namespace {

class FileSoundStream final : public SoundStream {
public:
    explicit FileSoundStream(FileAccessHandle file) : file_(file) {}
    ~FileSoundStream() override { FileAccessClose(file_); }
    int64_t Tell() override { return FileAccessTell(file_); }
    int Seek(int64_t offset, int origin) override {
        if (origin != 0 || offset < 0) {
            const int64_t size = FileSize();
            const int64_t base = origin == 1 ? Tell() : origin == 2 ? size : 0;
            if (base + offset < 0 || (size >= 0 && base + offset > size)) return -1;
        }
        return FileAccessSeek(file_, offset, origin) == 0 ? 0 : -1;
    }
    // One-byte elements, so every kind of file reports the bytes it read.
    size_t Read(void* buffer, size_t bytes) override { return FileAccessRead(buffer, 1, bytes, file_); }
    bool Eof() override { return FileAccessEof(file_) != 0; }

private:
    int64_t FileSize() {
        const int64_t position = FileAccessTell(file_);
        if (FileAccessSeek(file_, 0, 2) != 0) return -1;
        const int64_t size = FileAccessTell(file_);
        FileAccessSeek(file_, position, 0);
        return size;
    }

    FileAccessHandle file_;
};

}  // namespace

std::unique_ptr<SoundStream> OpenFileSoundStream(const std::string& path) {
    const FileAccessHandle file = FileAccessOpen(path, 0, 1, 0);
    if (file == 0) return nullptr;
    return std::make_unique<FileSoundStream>(file);
}

}  // namespace velk
