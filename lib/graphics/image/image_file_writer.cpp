#include <cstdio>
#include <fstream>
#include <string>

#include "lib/graphics/image/image_writer.h"
#include "platform/base/text_encoding.h"

namespace velk {

namespace {

// Until the library's file layer takes writes: the game's path (Shift-JIS,
// '\' separators) written as a local file, any old file replaced.
bool WriteLocalFile(const char* file_name, std::span<const uint8_t> bytes) {
    std::string path = platform::ShiftJisToUtf8(file_name);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::remove(path.c_str());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

ImageFileWriter g_file_writer = WriteLocalFile;

}  // namespace

void SetImageFileWriter(ImageFileWriter writer) { g_file_writer = writer != nullptr ? writer : WriteLocalFile; }

bool WriteImageFile(const char* file_name, std::span<const uint8_t> bytes) {
    return file_name != nullptr && g_file_writer(file_name, bytes);
}

}  // namespace velk
