#pragma once
// Number parsing with the platform C runtime's atoi rules, which game files
// and settings rely on.

#include <string_view>

namespace velk::platform {

// Skips leading white space, takes an optional sign and the decimal digits
// that follow; anything else ends the number. No digits gives 0. A value
// beyond the 32-bit range is clamped to INT_MAX or INT_MIN.
int CrtAtoi(std::string_view text);

}  // namespace velk::platform
