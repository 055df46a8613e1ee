#include "tests/lib/softrender/transform/guarded_image.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

namespace velk::testing {

GuardedImage::GuardedImage(int width, int height, int format, int palette_flag, int alpha_flag, int guard)
    : guard_(guard) {
    const int bytes = MemImgBytesPerPixel(format, palette_flag, alpha_flag);
    const int whole_width = width + 2 * guard;
    const int whole_height = height + 2 * guard;
    // One 16-byte unit more than the default pitch, so rows are not packed.
    const int pitch = ((whole_width * bytes + 15) & ~15) + 16;
    storage_.assign(static_cast<size_t>(pitch) * whole_height, 0);
    if (CreateMemImg(&whole_, whole_width, whole_height, pitch, 0, format, palette_flag, alpha_flag,
                     storage_.data()) != 0) {
        throw std::runtime_error("CreateMemImg failed");
    }
    DeriveMemImg(&view_, &whole_, guard, guard, width, height);
    if (CheckValidMemImg(&view_) == 0) throw std::runtime_error("DeriveMemImg failed");
}

GuardedImage::~GuardedImage() {
    ReleaseMemImg(&view_);
    ReleaseMemImg(&whole_);
}

uint8_t* GuardedImage::Pixel(int x, int y) {
    return view_.pixels + static_cast<ptrdiff_t>(y) * view_.base->pitch + static_cast<ptrdiff_t>(x) * bytes_per_pixel();
}

void GuardedImage::FillRandom(std::mt19937& random) {
    for (uint8_t& byte : storage_) byte = static_cast<uint8_t>(random());
    if (view_.base->palette != nullptr) {
        const bool words = view_.base->format == kMemImgFormat16;
        for (int i = 0; i < 256; ++i) {
            const uint32_t value = random();
            view_.base->palette[i] = words ? (value & 0xFFFF) : value;
        }
    }
}

void GuardedImage::CopyFrom(const GuardedImage& other) {
    storage_ = other.storage_;
    view_.base->trans_color = other.view_.base->trans_color;
    if (view_.base->palette != nullptr && other.view_.base->palette != nullptr) {
        std::memcpy(view_.base->palette, other.view_.base->palette, 256 * sizeof(uint32_t));
    }
}

bool GuardedImage::SameBytes(const GuardedImage& other) const { return storage_ == other.storage_; }

std::string GuardedImage::DescribeDifference(const GuardedImage& other) const {
    const size_t pitch = static_cast<size_t>(whole_.base->pitch);
    const size_t bytes = static_cast<size_t>(MemImgBytesPerPixel(*whole_.base));
    for (size_t i = 0; i < storage_.size() && i < other.storage_.size(); ++i) {
        if (storage_[i] == other.storage_[i]) continue;
        std::ostringstream out;
        out << "first difference at view pixel (" << static_cast<int>((i % pitch) / bytes) - guard_ << ", "
            << static_cast<int>(i / pitch) - guard_ << "), byte " << i % bytes << ": got " << int{storage_[i]}
            << ", expected " << int{other.storage_[i]};
        return out.str();
    }
    return "no difference";
}

uint32_t GuardedImage::Get(int x, int y) {
    uint32_t value = 0;
    std::memcpy(&value, Pixel(x, y), static_cast<size_t>(bytes_per_pixel()));
    return value;
}

void GuardedImage::Set(int x, int y, uint32_t value) {
    std::memcpy(Pixel(x, y), &value, static_cast<size_t>(bytes_per_pixel()));
}

}  // namespace velk::testing
