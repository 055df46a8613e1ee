#include "lib/image/image_loader.h"

#include "lib/core/files/file_access.h"
#include "lib/image/image_decoders.h"
#include "platform/base/text_encoding.h"

namespace velk {

namespace {

using Decoder = int (*)(std::span<const uint8_t>, GraphImage*);

constexpr Decoder kDecoders[] = {LoadBmpImage, LoadJpegImage, LoadPngImage, LoadBgraImage, LoadTgaImage, LoadDdsImage};

// The whole stream from its start; false when it cannot be measured or read.
bool ReadWholeStream(const StreamData& stream, std::vector<uint8_t>* bytes) {
    if (stream.functions.seek(stream.data, 0, kSeekEnd) != 0) {
        return false;
    }
    const int64_t size = stream.functions.tell(stream.data);
    if (size < 0 || stream.functions.seek(stream.data, 0, kSeekSet) != 0) {
        return false;
    }
    bytes->resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes->size()) {
        const size_t got = stream.functions.read(bytes->data() + done, 1, bytes->size() - done, stream.data);
        if (got == 0) {
            break;
        }
        done += got;
    }
    bytes->resize(done);
    return true;
}

bool ReadThroughFileAccess(const char* file_name, std::vector<uint8_t>* bytes) {
    const FileAccessHandle file = FileAccessOpen(file_name, 0, 1, 0);
    if (file == 0) {
        return false;
    }
    const bool read = ReadWholeStream(MakeFileStreamData(file), bytes);
    FileAccessClose(file);
    return read;
}

ImageFileReader g_file_reader = ReadThroughFileAccess;

}  // namespace

void SetImageFileReader(ImageFileReader reader) { g_file_reader = reader != nullptr ? reader : ReadThroughFileAccess; }

bool ReadImageFile(const char* file_name, std::vector<uint8_t>* bytes) {
    return file_name != nullptr && g_file_reader(file_name, bytes);
}

int LoadGraphImageStream(const StreamData& stream, GraphImage* image) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeStream(stream, &bytes)) {
        *image = GraphImage{};
        return -1;
    }
    return LoadGraphImageFromBytes(bytes, image);
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
