#pragma once
// File-name patterns as the game's finds use them: '*' matches any run of
// characters (trying every length, so "*.PNG" matches "A.B.PNG"), '?' one
// character (a Shift-JIS pair is one), ASCII letters match either case, and a
// pattern ending in ".*" also matches a name without that dot ("*.*" matches
// every name). Both texts are Shift-JIS.

#include <string_view>

namespace velk::platform {

bool MatchFileNamePattern(std::string_view pattern, std::string_view name);

// Whether the text holds '*' or '?'.
bool HasWildcards(std::string_view pattern);

}  // namespace velk::platform
