#pragma once
// printf-style formatting into a string of any length, for the messages the
// data layer builds from game text (which may be of any length).

#include <string>

namespace velk {

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace velk
