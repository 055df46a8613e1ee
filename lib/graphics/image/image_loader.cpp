#include "lib/graphics/image/image_loader.h"

#include <fstream>

#include "lib/graphics/image/image_decoders.h"
#include "platform/base/text_encoding.h"

namespace velk {

namespace {

using Decoder = int (*)(std::span<const uint8_t>, GraphImage*);

constexpr Decoder kDecoders[] = {LoadBmpImage, LoadJpegImage, LoadPngImage, LoadBgraImage, LoadTgaImage, LoadDdsImage};

// Until the library's file access is connected: a path of the game's kind
// (Shift-JIS, '\' separators) opened as a local file.
bool ReadLocalFile(const char* file_name, std::vector<uint8_t>* bytes) {
    std::string path = platform::ShiftJisToUtf8(file_name);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

ImageFileReader g_file_reader = ReadLocalFile;

}  // namespace

void SetImageFileReader(ImageFileReader reader) { g_file_reader = reader != nullptr ? reader : ReadLocalFile; }

bool ReadImageFile(const char* file_name, std::vector<uint8_t>* bytes) {
    return file_name != nullptr && g_file_reader(file_name, bytes);
}

int LoadGraphImageFromBytes(std::span<const uint8_t> bytes, GraphImage* image) {
    for (Decoder decode : kDecoders) {
        *image = GraphImage{};
        if (decode(bytes, image) == 0) {
            return 0;
        }
    }
    *image = GraphImage{};
    return -1;
}

int OpenGraphImage(const char* file_name, GraphImage* image) {
    std::vector<uint8_t> bytes;
    if (!ReadImageFile(file_name, &bytes)) {
        return -1;
    }
    return LoadGraphImageFromBytes(bytes, image);
}

int OpenGraphImageFromMemory(const void* data, size_t size, GraphImage* image) {
    if (data == nullptr) {
        return -1;
    }
    return LoadGraphImageFromBytes(std::span(static_cast<const uint8_t*>(data), size), image);
}

int OpenGraphImageWithAlpha(const char* file_name, const void* data, size_t size, const void* alpha_data,
                            size_t alpha_size, int memory_mode, GraphImage* image, GraphImage* alpha_image) {
    *alpha_image = GraphImage{};
    if (memory_mode != 0) {
        if (OpenGraphImageFromMemory(data, size, image) != 0) {
            return -1;
        }
        if (alpha_data == nullptr) {
            return 1;
        }
        return OpenGraphImageFromMemory(alpha_data, alpha_size, alpha_image) == 0 ? 0 : 1;
    }
    if (OpenGraphImage(file_name, image) != 0) {
        return -1;
    }
    const std::string alpha_name = MakeAlphaImageFileName(file_name);
    return OpenGraphImage(alpha_name.c_str(), alpha_image) == 0 ? 0 : 1;
}

std::string MakeAlphaImageFileName(const std::string& file_name) {
    size_t component_start = 0;
    size_t last_dot = std::string::npos;
    for (size_t i = 0; i < file_name.size(); ++i) {
        const auto c = static_cast<uint8_t>(file_name[i]);
        if (platform::IsShiftJisLeadByte(c) && i + 1 < file_name.size()) {
            ++i;  // the trail byte may be '\' and is never a separator
            continue;
        }
        if (c == '\\' || c == '/') {
            component_start = i + 1;
            last_dot = std::string::npos;
        } else if (c == '.') {
            last_dot = i;
        }
    }
    if (last_dot == std::string::npos || last_dot < component_start) {
        return file_name + "_a";
    }
    return file_name.substr(0, last_dot) + "_a" + file_name.substr(last_dot);
}

}  // namespace velk
