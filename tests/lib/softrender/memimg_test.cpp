#include "lib/softrender/memimg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "lib/core/memory_tracker.h"

namespace velk {
namespace {

struct ImageHolder {
    MEMIMG image;
    ~ImageHolder() { ReleaseMemImg(&image); }
};

TEST(MemImgTest, DefaultPitchRoundsRowsUpToSixteenBytes) {
    // format, palette, alpha, width, pitch
    for (auto [format, palette, alpha, width, pitch] : {std::tuple{0, 0, 0, 8, 16}, {0, 0, 0, 9, 32}, {1, 0, 0, 1, 16},
                                                        {2, 0, 0, 100, 112}, {0, 0, 1, 3, 16}, {3, 0, 0, 8, 16},
                                                        {1, 1, 0, 17, 32}}) {
        ImageHolder h;
        ASSERT_EQ(CreateMemImg(&h.image, width, 1, -1, 0, format, palette, alpha, nullptr), 0);
        EXPECT_EQ(h.image.base->pitch, pitch) << format << palette << alpha << " width " << width;
    }
}

TEST(MemImgTest, FlagsAreNormalisedPerFormat) {
    ImageHolder paletted;
    ASSERT_EQ(CreateMemImg(&paletted.image, 4, 4, -1, 0, 1, 1, 1, nullptr), 0);
    EXPECT_EQ(paletted.image.base->use_palette, 1);
    EXPECT_EQ(paletted.image.base->use_alpha, 0);
    EXPECT_EQ(MemImgBytesPerPixel(*paletted.image.base), 1);
    EXPECT_NE(paletted.image.base->palette, nullptr);
    EXPECT_EQ(paletted.image.base->color_data, GetMemImgColorData(1, 0, 1));

    for (int format : {2, 3}) {
        ImageHolder single;
        ASSERT_EQ(CreateMemImg(&single.image, 4, 4, -1, 0, format, 1, 1, nullptr), 0);
        EXPECT_EQ(single.image.base->use_palette, 0);
        EXPECT_EQ(single.image.base->use_alpha, 0);
        EXPECT_EQ(single.image.base->palette, nullptr);
        EXPECT_EQ(MemImgBytesPerPixel(*single.image.base), format == 2 ? 1 : 2);
    }
    ImageHolder alpha16;
    ASSERT_EQ(CreateMemImg(&alpha16.image, 4, 4, -1, 0, 0, 0, 1, nullptr), 0);
    EXPECT_EQ(MemImgBytesPerPixel(*alpha16.image.base), 4);
    EXPECT_EQ(alpha16.image.base->color_data->alpha_mask, 0x00FF0000u);
}

TEST(MemImgTest, CreationRefusesBadRequestsAndValidRecords) {
    ImageHolder h;
    EXPECT_EQ(CreateMemImg(&h.image, 4, 4, -1, 0, 4, 0, 0, nullptr), -1);
    EXPECT_EQ(CreateMemImg(&h.image, 4, 4, -1, 0, -1, 0, 0, nullptr), -1);
    EXPECT_EQ(CreateMemImg(&h.image, 0, 4, -1, 0, 1, 0, 0, nullptr), -1);
    EXPECT_EQ(CreateMemImg(&h.image, 4, -3, -1, 0, 1, 0, 0, nullptr), -1);
    EXPECT_EQ(CreateMemImg(&h.image, 4, 4, 15, 0, 1, 0, 0, nullptr), -1);  // pitch shorter than a row
    EXPECT_EQ(CreateMemImg(&h.image, 0x7FFFFFFF, 0x7FFFFFFF, -1, 0, 1, 0, 0, nullptr), -1);
    EXPECT_EQ(CreateMemImg(&h.image, 65536, 65536, -1, 0, 1, 0, 0, nullptr), -1);
    EXPECT_EQ(CheckValidMemImg(&h.image), 0);

    ASSERT_EQ(CreateMemImg(&h.image, 4, 4, -1, 7, 1, 0, 0, nullptr), 0);
    EXPECT_EQ(CheckValidMemImg(&h.image), 1);
    EXPECT_EQ(h.image.base->trans_color, 7u);
    EXPECT_EQ(h.image.base->ref_count, 1);
    EXPECT_EQ(h.image.base->color_num, 0);
    MemImgBase* base = h.image.base;
    EXPECT_EQ(CreateMemImg(&h.image, 8, 8, -1, 0, 1, 0, 0, nullptr), -1);
    EXPECT_EQ(h.image.base, base);
}

TEST(MemImgTest, ScreenAndDepthImagesClearTheRecordFirst) {
    MEMIMG image;
    ASSERT_EQ(CreateScreenFormatMemImg(&image, 4, 4, -1), 0);
    EXPECT_EQ(image.base->format, 0);  // no screen depth set: 16-bit
    // The record is cleared, not refused, so the caller releases first.
    ReleaseMemImg(&image);
    SetMemImgScreenColorBitDepth(32);
    ASSERT_EQ(CreateScreenFormatMemImg(&image, 4, 4, -1), 0);
    EXPECT_EQ(image.base->format, 1);
    ReleaseMemImg(&image);
    SetMemImgScreenColorBitDepth(16);

    ASSERT_EQ(CreateDepthMemImg(&image, 5, 2), 0);
    EXPECT_EQ(image.base->format, 3);
    FillMemImg(&image, nullptr, 65535);
    uint16_t value = 0;
    std::memcpy(&value, MemImgPixelAddress(image, 4, 1), 2);
    EXPECT_EQ(value, 65535);
    ReleaseMemImg(&image);
}

TEST(MemImgTest, ViewsShareTheBaseAndAddressItsPixels) {
    ImageHolder whole;
    ASSERT_EQ(CreateMemImg(&whole.image, 40, 40, -1, 0, 1, 0, 0, nullptr), 0);
    MEMIMG outer, inner;
    DeriveMemImg(&outer, &whole.image, 10, 20, 20, 20);
    DeriveMemImg(&inner, &outer, 2, 3, 5, 5);
    EXPECT_EQ(inner.pixels, whole.image.base->pixels + 23 * whole.image.base->pitch + 12 * 4);
    EXPECT_EQ(whole.image.base->ref_count, 3);

    // A view ending at the source's edge is made; one pixel more is refused.
    MEMIMG edge;
    DeriveMemImg(&edge, &outer, 15, 0, 5, 20);
    EXPECT_EQ(CheckValidMemImg(&edge), 1);
    MEMIMG untouched{};
    untouched.width = 99;
    DeriveMemImg(&untouched, &outer, 16, 0, 5, 20);
    DeriveMemImg(&untouched, &outer, 0, 0, 0, 5);
    DeriveMemImg(&untouched, &outer, -1, 0, 3, 3);
    DeriveMemImg(&untouched, &outer, 0x7FFFFFF0, 0, 0x7FFFFFF0, 3);
    EXPECT_EQ(untouched.width, 99);
    EXPECT_EQ(CheckValidMemImg(&untouched), 0);

    ReleaseMemImg(&inner);
    EXPECT_EQ(whole.image.base->ref_count, 3);
    EXPECT_EQ(CheckValidMemImg(&inner), 0);
    EXPECT_EQ(inner.width, 5);  // size and pointer are kept
    ReleaseMemImg(&inner);      // a second release does nothing
    EXPECT_EQ(whole.image.base->ref_count, 3);
    ReleaseMemImg(&edge);
    ReleaseMemImg(&outer);
    EXPECT_EQ(whole.image.base->ref_count, 1);
}

TEST(MemImgTest, TheLastReleaseFreesEverythingButCallerPixels) {
    const size_t blocks_before = LiveMemoryBlockCount();
    {
        MEMIMG image, view;
        ASSERT_EQ(CreateMemImg(&image, 8, 8, -1, 0, 1, 1, 0, nullptr), 0);
        DeriveMemImg(&view, &image, 1, 1, 2, 2);
        ReleaseMemImg(&image);
        // The view keeps the pixels alive.
        view.pixels[0] = 5;
        ReleaseMemImg(&view);
    }
    EXPECT_EQ(LiveMemoryBlockCount(), blocks_before);

    std::vector<uint8_t> memory(64 * 4, 0xAB);
    MEMIMG image;
    ASSERT_EQ(CreateMemImg(&image, 8, 4, 64, 0, 1, 0, 0, memory.data()), 0);
    EXPECT_EQ(image.base->user_pixels, 1);
    EXPECT_EQ(image.pixels, memory.data());
    ReleaseMemImg(&image);
    EXPECT_EQ(memory[0], 0xAB);
    EXPECT_EQ(LiveMemoryBlockCount(), blocks_before);
}

TEST(MemImgTest, PlacedViewsReuseTheCallersHeaderWithoutAllocating) {
    const size_t blocks_before = LiveMemoryBlockCount();
    std::vector<uint8_t> first(40 * 3, 0), second(24 * 5, 0);
    MemImgBase base;
    MEMIMG view;
    ASSERT_EQ(PlaceMemImg(&view, &base, 10, 3, 40, kMemImgFormat32, first.data()), 0);
    EXPECT_EQ(view.pixels, first.data());
    EXPECT_EQ(view.base, &base);
    EXPECT_EQ(base.user_pixels, 1);
    EXPECT_EQ(base.use_alpha, 0);
    EXPECT_EQ(base.color_data, GetMemImgColorData(kMemImgFormat32, 0, 0));
    FillMemImg(&view, nullptr, 0x11223344);
    EXPECT_EQ(first[39], 0x11) << "the last pixel of the first row";
    ReleaseMemImg(&view);
    EXPECT_EQ(base.ref_count, 1) << "the owner's hold stays";
    EXPECT_EQ(LiveMemoryBlockCount(), blocks_before);

    // A placement over other memory, size and format takes all of them.
    ASSERT_EQ(PlaceMemImg(&view, &base, 11, 5, 24, kMemImgFormat16, second.data()), 0);
    EXPECT_EQ(view.width, 11);
    EXPECT_EQ(base.pitch, 24);
    EXPECT_EQ(base.format, kMemImgFormat16);
    EXPECT_EQ(base.color_data, GetMemImgColorData(kMemImgFormat16, 0, 0));
    FillMemImg(&view, nullptr, 0x7777);
    EXPECT_EQ(second[4 * 24 + 21], 0x77) << "the last pixel of the last row";
    EXPECT_EQ(second[4 * 24 + 22], 0) << "the row's padding";

    // A view derived from the placed one keeps the header from being reused.
    MEMIMG derived;
    DeriveMemImg(&derived, &view, 1, 1, 2, 2);
    ReleaseMemImg(&view);
    EXPECT_EQ(PlaceMemImg(&view, &base, 10, 3, 40, kMemImgFormat32, first.data()), -1);
    EXPECT_EQ(CheckValidMemImg(&view), 0);
    EXPECT_EQ(derived.pixels, second.data() + 24 + 2);
    ReleaseMemImg(&derived);
    EXPECT_EQ(PlaceMemImg(&view, &base, 10, 3, 40, kMemImgFormat32, first.data()), 0);

    // What CreateMemImg refuses, placement refuses too.
    MEMIMG other;
    EXPECT_EQ(PlaceMemImg(&view, &base, 10, 3, 40, kMemImgFormat32, first.data()), -1) << "already valid";
    ReleaseMemImg(&view);
    EXPECT_EQ(PlaceMemImg(&other, &base, 11, 3, 40, kMemImgFormat32, first.data()), -1) << "pitch short of a row";
    EXPECT_EQ(PlaceMemImg(&other, &base, 0, 3, 40, kMemImgFormat32, first.data()), -1);
    EXPECT_EQ(PlaceMemImg(&other, &base, 10, 3, 40, 4, first.data()), -1);
    EXPECT_EQ(PlaceMemImg(&other, &base, 10, 3, 40, kMemImgFormat32, nullptr), -1);
    EXPECT_EQ(CheckValidMemImg(&other), 0);
    EXPECT_EQ(PlaceMemImg(&other, &base, 10, 3, 40, kMemImgFormat32, first.data()), 0) << "the exact row fits";
    ReleaseMemImg(&other);
    EXPECT_EQ(LiveMemoryBlockCount(), blocks_before);
}

TEST(MemImgTest, FillStoresRawValuesClippedToTheView) {
    ImageHolder whole;
    ASSERT_EQ(CreateMemImg(&whole.image, 10, 10, -1, 0, 1, 0, 0, nullptr), 0);
    FillMemImg(&whole.image, nullptr, 0x11111111);
    MEMIMG view;
    DeriveMemImg(&view, &whole.image, 2, 2, 6, 6);
    const Rect partly_outside{4, -3, 100, 2};
    FillMemImg(&view, &partly_outside, 0xFFAABBCC);
    const Rect reversed{5, 5, 1, 1};  // no area after raising right and bottom
    FillMemImg(&view, &reversed, 0);
    const Rect outside{7, 0, 9, 6};
    FillMemImg(&view, &outside, 0);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            uint32_t value = 0;
            std::memcpy(&value, MemImgPixelAddress(whole.image, x, y), 4);
            const bool filled = x >= 6 && x < 8 && y >= 2 && y < 4;
            EXPECT_EQ(value, filled ? 0xFFAABBCCu : 0x11111111u) << x << "," << y;
        }
    }
    ReleaseMemImg(&view);

    ImageHolder small;
    ASSERT_EQ(CreateMemImg(&small.image, 3, 1, -1, 0, 0, 0, 0, nullptr), 0);
    FillMemImg(&small.image, nullptr, 0x12345678);
    uint16_t word = 0;
    std::memcpy(&word, MemImgPixelAddress(small.image, 2, 0), 2);
    EXPECT_EQ(word, 0x5678);
    MEMIMG released{};
    FillMemImg(&released, nullptr, 0);  // an invalid record is ignored
}

TEST(MemImgTest, FillsOfWholeRowsOfUnlikeBytesStopAtTheLastRow) {
    // Sixteen 32-bit pixels a row leave no bytes between the rows, so the
    // rows filled are one block; eleven leave padding between them.
    for (const int width : {16, 11}) {
        ImageHolder image;
        ASSERT_EQ(CreateMemImg(&image.image, width, 6, -1, 0, 1, 0, 0, nullptr), 0);
        FillMemImg(&image.image, nullptr, 0x11223344);
        const Rect rows{0, 1, width, 5};
        FillMemImg(&image.image, &rows, 0xFF000000);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < width; ++x) {
                uint32_t value = 0;
                std::memcpy(&value, MemImgPixelAddress(image.image, x, y), 4);
                EXPECT_EQ(value, y >= 1 && y < 5 ? 0xFF000000u : 0x11223344u) << width << ": " << x << "," << y;
            }
        }
    }
}

TEST(MemImgTest, DescriptorsAreCachedPerKind) {
    EXPECT_EQ(GetMemImgColorData(4, 0, 0), nullptr);
    EXPECT_EQ(GetMemImgColorData(-1, 0, 0), nullptr);
    EXPECT_EQ(GetMemImgPixelFormat(4, 0, 0), nullptr);
    EXPECT_EQ(GetMemImgColorData(1, 1, 0), GetMemImgColorData(1, 5, 0));
    EXPECT_NE(GetMemImgColorData(1, 1, 0), GetMemImgColorData(1, 0, 0));
    EXPECT_EQ(GetMemImgColorData(2, 1, 1), GetMemImgColorData(2, 0, 0));

    // The descriptors tell the layouts that the draws use.
    EXPECT_EQ(GetMemImgColorData(0, 0, 0)->green_width, 6);
    EXPECT_EQ(GetMemImgColorData(1, 1, 0)->alpha_mask, 0xFF000000u);
    EXPECT_EQ(GetMemImgColorData(0, 1, 1)->alpha_mask, 0x00FF0000u);
    EXPECT_EQ(GetMemImgColorData(3, 0, 0)->pixel_byte, 2);
    EXPECT_EQ(GetMemImgPixelFormat(1, 0, 0)->red_mask, 0x00FF0000u);
    EXPECT_EQ(GetMemImgPixelFormat(2, 0, 0)->alpha_mask, 0xFFu);
}

// The 8-bit and the depth format hold one value a pixel: each of the four
// channels spans all its bits, and the display interface does not take them
// for RGB formats (no flags), whatever the flags asked.
TEST(MemImgTest, OneValueFormatsPutEveryChannelOnAllTheBits) {
    for (const auto& [format, bits, mask] : {std::tuple{2, 8, 0xFFu}, std::tuple{3, 16, 0xFFFFu}}) {
        SCOPED_TRACE(format);
        const ColorData* data = GetMemImgColorData(format, 1, 1);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->color_bit_depth, bits);
        EXPECT_EQ(data->pixel_byte, bits / 8);
        for (const uint8_t width : {data->red_width, data->green_width, data->blue_width, data->alpha_width}) {
            EXPECT_EQ(width, bits);
        }
        for (const uint8_t at : {data->red_loc, data->green_loc, data->blue_loc, data->alpha_loc}) {
            EXPECT_EQ(at, 0);
        }
        for (const uint32_t channel : {data->red_mask, data->green_mask, data->blue_mask, data->alpha_mask}) {
            EXPECT_EQ(channel, mask);
        }
        EXPECT_EQ(data->no_use_mask, 0u);
        const platform::DdPixelFormat* pixel_format = GetMemImgPixelFormat(format, 1, 1);
        ASSERT_NE(pixel_format, nullptr);
        EXPECT_EQ(pixel_format->flags, 0u);
        EXPECT_EQ(pixel_format->rgb_bit_count, static_cast<uint32_t>(bits));
        for (const uint32_t channel :
             {pixel_format->red_mask, pixel_format->green_mask, pixel_format->blue_mask, pixel_format->alpha_mask}) {
            EXPECT_EQ(channel, mask);
        }
    }
}

}  // namespace
}  // namespace velk
