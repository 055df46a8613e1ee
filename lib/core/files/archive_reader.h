#pragma once
// The archive set of file operations. A folder of the game may be replaced by
// one archive file of the folder's name and the archive extension: a file
// Data\Picture\a.png is read from Data.velk as the entry PICTURE\A.PNG when
// that archive exists, else from Data\Picture.velk as A.PNG, else from the
// plain file. Archives open on first use and stay open, shared by every file
// and find that routes to them.
//
// Everything read from an archive is checked before use: a header block,
// table or entry that does not fit the file refuses the archive (the path is
// then tried further along) or the entry (its open fails), and compressed
// data must decode to exactly its stated size.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "lib/core/files/file_access.h"

namespace velk {

inline constexpr size_t kMaxOpenArchives = 512;
inline constexpr size_t kMaxOpenArchiveFiles = 512;
inline constexpr char kDefaultArchiveExtension[] = "arc";

// A text of 1 to 63 characters becomes the extension; anything else (null,
// empty, longer) restores the default "arc". Returns 0.
int SetArchiveExtensionBody(const char* extension);
// Null or an empty text: no key string, archives use the default key (an
// empty text is logged). Otherwise its first 12 characters. Applies to
// archives opened afterwards. Returns 0.
int SetArchiveKeyStringBody(const char* key_string);

// Closes every open file, find and archive and forgets the settings and the
// remembered archive. Library start-up runs it before installing a set.
void ClearArchiveState();
// Closes the archives that no open file or find uses. Returns 0.
int CloseUnusedArchives();
// Library shut-down.
int EndArchives();

FileAccessHandle ArchiveFileOpen(const std::string& path, int cache, int unused, int async);
int ArchiveFileClose(FileAccessHandle file);
int64_t ArchiveFileTell(FileAccessHandle file);
int ArchiveFileSeek(FileAccessHandle file, int64_t offset, int origin);
size_t ArchiveFileRead(void* buffer, size_t element_size, size_t count, FileAccessHandle file);
int ArchiveFileEof(FileAccessHandle file);
int ArchiveFileIdle(FileAccessHandle file);
int ArchiveChDir(const std::string& path);
int ArchiveGetDir(std::string* path);
int32_t ArchiveFindFirst(const std::string& pattern, FileInfo* info);
int ArchiveFindNext(int32_t find, FileInfo* info);
int ArchiveFindClose(int32_t find);

// A key for the file the archive set opens under `path`, the same under
// every spelling of it: the archive and the entry's data for a file inside
// an archive, the file on disk for a plain one. nullopt when it does not
// open.
std::optional<std::string> ArchiveFileIdentity(const std::string& path);

// Whether the archive set's handle names an entry inside an archive (whose
// reads count bytes) rather than a plain file (whose reads count elements).
bool IsArchiveEntryHandle(FileAccessHandle file);

// For tests and shut-down checks.
size_t OpenArchiveCount();
size_t OpenArchiveFileCount();

}  // namespace velk
