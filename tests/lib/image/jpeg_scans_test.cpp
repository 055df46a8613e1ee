// Progressive JPEG files whose scans would keep the loader busy far longer
// than their size suggests: too many scans, or damaged ones, are refused.

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "lib/image/image_loader.h"

namespace velk {
namespace {

// A 16 x 16 grey picture of noise coded progressively with exactly `scans`
// valid scans (64 to 694): the DC scan, then each of the 63 AC coefficients
// as a band of its own, the first bands split into successive-approximation
// refinements until the count is reached. 0 scans: a baseline file.
std::vector<uint8_t> ProgressiveGrey(int scans) {
    std::vector<jpeg_scan_info> script;
    script.push_back({1, {0}, 0, 0, 0, 0});
    int refinements = scans - 64;
    for (int k = 1; k <= 63; ++k) {
        const int bits = std::min(refinements, 10);
        refinements -= bits;
        script.push_back({1, {0}, k, k, 0, bits});
        for (int al = bits - 1; al >= 0; --al) {
            script.push_back({1, {0}, k, k, al + 1, al});
        }
    }
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long out_size = 0;
    jpeg_mem_dest(&info, &out, &out_size);
    info.image_width = 16;
    info.image_height = 16;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    if (scans > 0) {
        info.scan_info = script.data();
        info.num_scans = static_cast<int>(script.size());
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            row[x] = static_cast<uint8_t>(((x * 16 + y) * 2654435761u) >> 24);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(out, out + out_size);
    std::free(out);
    return bytes;
}

// Counts the start-of-scan markers, so the files are known to be what they
// claim before the loader sees them.
int ScanCount(const std::vector<uint8_t>& jpeg) {
    int count = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        count += jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA ? 1 : 0;
    }
    return count;
}

void Append(std::vector<uint8_t>& bytes, std::initializer_list<int> values) {
    for (int v : values)
        bytes.push_back(static_cast<uint8_t>(v));
}

// 8192 x 8192 grey, progressive, with `scans` DC scans that hold no data:
// a few kilobytes that ask for every block of the picture once per scan.
std::vector<uint8_t> ScanBomb(int scans) {
    std::vector<uint8_t> bytes;
    Append(bytes, {0xFF, 0xD8});
    Append(bytes, {0xFF, 0xDB, 0x00, 67, 0x00});
    bytes.insert(bytes.end(), 64, 1);
    Append(bytes, {0xFF, 0xC2, 0x00, 11, 8, 0x20, 0x00, 0x20, 0x00, 1, 1, 0x11, 0});
    Append(bytes, {0xFF, 0xC4, 0x00, 20, 0x00, 1});
    bytes.insert(bytes.end(), 15, 0);
    Append(bytes, {0x00});
    for (int i = 0; i < scans; ++i) {
        Append(bytes, {0xFF, 0xDA, 0x00, 8, 1, 1, 0x00, 0, 0, 0x00});
    }
    Append(bytes, {0xFF, 0xD9});
    return bytes;
}

TEST(JpegScans, ScansPastTheLimitRefuseTheFile) {
    struct Case {
        int scans;
        bool loads;
    };
    for (const Case c : {Case{64, true}, Case{200, true}, Case{201, false}, Case{694, false}}) {
        SCOPED_TRACE(c.scans);
        const auto jpeg = ProgressiveGrey(c.scans);
        ASSERT_EQ(ScanCount(jpeg), c.scans);
        GraphImage image{};
        EXPECT_EQ(LoadGraphImageFromBytes(jpeg, &image), c.loads ? 0 : -1);
        if (c.loads) {
            EXPECT_EQ(image.width, 16);
            ReleaseGraphImage(&image);
        }
    }
}

TEST(JpegScans, EmptyScansOfAHugePictureAreRefusedAtOnce) {
    const auto bomb = ScanBomb(300);
    EXPECT_LT(bomb.size(), 4000u);
    GraphImage image{};
    EXPECT_EQ(LoadGraphImageFromBytes(bomb, &image), -1);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(JpegScans, ADamagedScanRefusesEvenASmallPicture) {
    auto jpeg = ProgressiveGrey(0);
    GraphImage image{};
    ASSERT_EQ(LoadGraphImageFromBytes(jpeg, &image), 0);
    ReleaseGraphImage(&image);
    // Cut inside the one scan's data: libjpeg would fill the rest grey.
    ASSERT_EQ(ScanCount(jpeg), 1);
    jpeg.resize(jpeg.size() - 40);
    EXPECT_EQ(LoadGraphImageFromBytes(jpeg, &image), -1);
}

}  // namespace
}  // namespace velk
