#include "lib/core/files/file_operations.h"

#include "lib/core/files/archive_reader.h"
#include "platform/base/sync.h"
#include "platform/base/text_encoding.h"
#include "platform/file/path_resolver.h"

namespace velk {

FileAccessHandle OpenFileForRead(const std::string& path, int async) {
    return FileAccessOpen(path, 0, 1, async != 0 ? 1 : 0);
}

int64_t GetFileLength(const std::string& path) {
    const FileAccessHandle file = FileAccessOpen(path, 0, 1, 0);
    if (file == 0) {
        return -1;
    }
    FileAccessSeek(file, 0, kSeekEnd);
    const int64_t length = FileAccessTell(file);
    FileAccessClose(file);
    return length;
}

std::optional<std::string> GetFileIdentity(const std::string& path) {
    // The plain set reads files on disk; so, as far as can be told, does a
    // table installed from outside.
    if (ActiveFileAccessFunctions().open == ArchiveFileOpen) {
        return ArchiveFileIdentity(path);
    }
    return platform::ResolveGameFileIdentity(path);
}

int CloseFile(FileAccessHandle file) { return FileAccessClose(file); }

int ReadFromFile(void* buffer, size_t size, FileAccessHandle file) {
    if (size == 0) {
        return 1;  // nothing was asked for, so nothing is missing
    }
    const size_t read = FileAccessRead(buffer, size, 1, file);
    // A plain file counts the one whole element, a file inside an archive
    // counts bytes.
    const bool counts_bytes = ActiveFileAccessFunctions().read == ArchiveFileRead && IsArchiveEntryHandle(file);
    return (counts_bytes ? read == size : read == 1) ? 1 : 0;
}

int ReadFileLine(char* buffer, int buffer_size, FileAccessHandle file) {
    if (buffer == nullptr || buffer_size < 2) {
        return -1;
    }
    if (FileAccessEof(file) != 0) {
        return -1;
    }
    const int64_t start = FileAccessTell(file);
    auto* bytes = reinterpret_cast<uint8_t*>(buffer);
    const size_t wanted = static_cast<size_t>(buffer_size - 1);
    const size_t read = FileAccessRead(bytes, 1, wanted, file);
    while (FileAccessIdle(file) == 0) {
        platform::SleepMilliseconds(0);
    }
    if (read == 0) {
        return -1;
    }
    // A line ends at a 0 byte, before CR LF, before a Shift-JIS pair that the
    // read cut in two, or where the bytes read end. A lead byte can only be
    // left for the next call when that call can bring its pair: at the end of
    // the file a lone lead byte is the line's last byte, and a buffer too small
    // for any pair takes it alone. Otherwise the same byte would come back as
    // an empty line for ever and a loop reading lines until -1 would not end.
    size_t length = 0;
    int64_t resume = -1;  // where the next line starts, when not where the read left the file
    for (;;) {
        if (length == read) {
            break;
        }
        const uint8_t byte = bytes[length];
        if (byte == 0) {
            resume = start + static_cast<int64_t>(length) + 1;
            break;
        }
        if (platform::IsShiftJisLeadByte(byte)) {
            if (length + 1 >= read) {
                if (read < wanted || length == 0) {
                    ++length;  // the last byte read: the line ends after it
                    continue;
                }
                resume = start + static_cast<int64_t>(length);
                break;
            }
            length += 2;
            continue;
        }
        if (byte == '\r') {
            if (length + 1 < read && bytes[length + 1] == '\n') {
                resume = start + static_cast<int64_t>(length) + 2;
                break;
            }
            if (length + 1 == read) {
                // The read ended on the CR: its LF, if any, is the next byte.
                uint8_t next = 0;
                const size_t peeked = FileAccessRead(&next, 1, 1, file);
                while (FileAccessIdle(file) == 0) {
                    platform::SleepMilliseconds(0);
                }
                if (peeked == 1 && next == '\n') {
                    resume = start + static_cast<int64_t>(length) + 2;
                    break;
                }
                resume = start + static_cast<int64_t>(read);
                length = read;
                break;
            }
        }
        ++length;
    }
    if (resume >= 0) {
        FileAccessSeek(file, resume, kSeekSet);
    }
    buffer[length] = '\0';
    return static_cast<int>(length);
}

int SetUseArchiveFlag(int flag) { return SetUseArchiveFlagBody(flag); }
int SetArchiveExtension(const char* extension) { return SetArchiveExtensionBody(extension); }
int SetArchiveKeyString(const char* key_string) { return SetArchiveKeyStringBody(key_string); }

}  // namespace velk
