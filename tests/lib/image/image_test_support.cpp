#include "tests/lib/image/image_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

namespace velk::testing {

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ImageMagickConvert() {
    // The Debian program under its own name, so no other "convert" on the
    // path is picked up.
    for (const char* candidate : {"/usr/bin/convert-im6.q16", "/usr/bin/convert-im7.q16", "/usr/bin/convert"}) {
        if (access(candidate, X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

bool RunConvert(const std::string& arguments) {
    const std::string command = ImageMagickConvert() + " " + arguments + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

RgbaImage DecodeWithImageMagick(const std::filesystem::path& path) {
    RgbaImage out;
    const std::string size_command = ImageMagickConvert() + " '" + path.string() + "[0]' -format '%w %h' info:";
    FILE* pipe = popen(size_command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    if (std::fscanf(pipe, "%d %d", &out.width, &out.height) != 2) {
        out.width = out.height = 0;
    }
    pclose(pipe);
    const std::filesystem::path raw = path.string() + ".rgba";
    if (!RunConvert("'" + path.string() + "[0]' -auto-orient -depth 8 'rgba:" + raw.string() + "'")) {
        return RgbaImage{};
    }
    out.pixels = ReadBytes(raw);
    if (out.pixels.size() != static_cast<size_t>(out.width) * out.height * 4) {
        return RgbaImage{};
    }
    return out;
}

std::string CompareImage(const GraphImage& image, const RgbaImage& reference, int tolerance, bool compare_alpha) {
    std::ostringstream why;
    if (image.width != reference.width || image.height != reference.height) {
        why << "size " << image.width << "x" << image.height << " against " << reference.width << "x"
            << reference.height;
        return why.str();
    }
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            int got[4];
            GetGraphImagePixel(&image, x, y, &got[0], &got[1], &got[2], &got[3]);
            const uint8_t* want = reference.At(x, y);
            for (int c = 0; c < (compare_alpha ? 4 : 3); ++c) {
                if (std::abs(got[c] - want[c]) > tolerance) {
                    why << "pixel (" << x << ", " << y << ") channel " << c << ": " << got[c] << " against "
                        << int{want[c]};
                    return why.str();
                }
            }
        }
    }
    return "";
}

}  // namespace velk::testing
