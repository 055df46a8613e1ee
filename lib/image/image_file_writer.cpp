#include <string>

#include "lib/image/image_writer.h"
#include "platform/file/whole_file.h"

namespace velk {

namespace {

// A game path (Shift-JIS, '\' or '/'), kept inside the game's folder, written
// whole: a failed write leaves any old file as it was.
bool WriteGameFile(const char* file_name, std::span<const uint8_t> bytes) {
    return platform::WriteGameFileAtomically(file_name, bytes);
}

ImageFileWriter g_file_writer = WriteGameFile;

}  // namespace

void SetImageFileWriter(ImageFileWriter writer) { g_file_writer = writer != nullptr ? writer : WriteGameFile; }

bool WriteImageFile(const char* file_name, std::span<const uint8_t> bytes) {
    return file_name != nullptr && g_file_writer(file_name, bytes);
}

}  // namespace velk
