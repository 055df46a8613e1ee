#pragma once
// Reading image files into GraphImages: a fixed table of decoders (BMP, JPEG,
// PNG, raw BGRA, TGA, DDS) is offered the bytes until one takes them, so a
// file's extension does not matter. An image may come with a second image
// holding its alpha channel.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "lib/core/files/stream_functions.h"
#include "lib/image/graph_image.h"

namespace velk {

// 0 when a decoder took the bytes, -1 when none did. The image is cleared first.
int LoadGraphImageFromBytes(std::span<const uint8_t> bytes, GraphImage* image);

// Any stream of the library (a file of the active file access, or memory),
// read whole from its start; 0 when a decoder took it, -1 otherwise. The
// stream is left open.
int LoadGraphImageStream(const StreamData& stream, GraphImage* image);

// A file read whole through the library's file access (loose or inside an
// archive); 0, or -1 when it cannot be opened.
int OpenGraphImage(const char* file_name, GraphImage* image);
// A block in memory; 0, -1.
int OpenGraphImageFromMemory(const void* data, size_t size, GraphImage* image);

// Opens an image and its alpha image. With memory_mode 0 the image is the file
// `file_name` and the alpha image the file named by MakeAlphaImageFileName;
// with memory_mode 1 both are memory blocks (alpha null for none). Returns 0
// with both images, 1 with the image only, -1 when the image failed. The
// caller releases both images.
int OpenGraphImageWithAlpha(const char* file_name, const void* data, size_t size, const void* alpha_data,
                            size_t alpha_size, int memory_mode, GraphImage* image, GraphImage* alpha_image);

// "face.png" -> "face_a.png": "_a" goes before the last dot of the last path
// component (found Shift-JIS-aware), or at the end when it has none.
std::string MakeAlphaImageFileName(const std::string& file_name);

// How image files are read. The default opens them through the library's
// file access (so archives work) and reads the file stream; tests may put
// another in. Returns false when the file cannot be
// opened.
using ImageFileReader = bool (*)(const char* file_name, std::vector<uint8_t>* bytes);
void SetImageFileReader(ImageFileReader reader);
bool ReadImageFile(const char* file_name, std::vector<uint8_t>* bytes);

}  // namespace velk
