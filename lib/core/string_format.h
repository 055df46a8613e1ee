#pragma once
// printf-style formatting into a std::string: the text is formatted whole,
// however long, so no game text can overflow a buffer.

#include <cstdarg>
#include <string>

namespace velk {

std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatStringV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace velk
