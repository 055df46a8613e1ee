#include "platform/window/sdl_virtual_keys.h"

#include <gtest/gtest.h>

#include "platform/window/window_messages.h"

namespace velk::platform {
namespace {

// The keys an input method is switched and driven with reach it as the
// virtual keys it knows.
TEST(SdlVirtualKeys, TheInputMethodKeysOfAJisKeyboard) {
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE), vk::kKanji);
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_LANG5, SDLK_UNKNOWN), vk::kKanji);
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_INTERNATIONAL4, SDLK_UNKNOWN), vk::kConvert);
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_INTERNATIONAL5, SDLK_UNKNOWN), vk::kNonConvert);
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_SPACE, SDLK_SPACE), vk::kSpace);
}

}  // namespace
}  // namespace velk::platform
