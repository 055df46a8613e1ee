#pragma once
// The virtual key of an SDL key: letters and digits by the symbol they type
// in the current layout, every other key by its position.

#include <SDL.h>

#include <cstdint>

namespace velk::platform {

uint32_t VirtualKeyFromSdl(SDL_Scancode scancode, SDL_Keycode symbol);

}  // namespace velk::platform
