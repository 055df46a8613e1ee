#pragma once
// Writing GraphImages as BMP (8-bit palette or 24-bit), PNG (8-bit RGB) and
// JPEG (RGB) files. Alpha is not written.

#include <cstdint>
#include <span>
#include <vector>

#include "lib/image/graph_image.h"

namespace velk {

// 0, -1 (with a log line).
int SaveGraphImageToBmp(const char* file_name, const GraphImage* image);
// Level 0 to 9 as zlib takes it (-1 for its default).
int SaveGraphImageToPng(const char* file_name, const GraphImage* image, int compression_level);
// Quality 0 to 100; baseline.
int SaveGraphImageToJpeg(const char* file_name, const GraphImage* image, int quality);

// The same files built in memory; 0, -1.
int EncodeGraphImageToBmp(const GraphImage* image, std::vector<uint8_t>* out);
int EncodeGraphImageToPng(const GraphImage* image, int compression_level, std::vector<uint8_t>* out);
int EncodeGraphImageToJpeg(const GraphImage* image, int quality, std::vector<uint8_t>* out);

// How image files are written: a path of the game's kind (Shift-JIS, '\'
// separators), replacing any file of that name. Tests may put another in.
using ImageFileWriter = bool (*)(const char* file_name, std::span<const uint8_t> bytes);
void SetImageFileWriter(ImageFileWriter writer);
bool WriteImageFile(const char* file_name, std::span<const uint8_t> bytes);

}  // namespace velk
