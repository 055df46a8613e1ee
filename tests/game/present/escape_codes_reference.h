#pragma once
// The escape-code conversion as first written: every code kind searched for
// from the text's start, byte by byte, and replaced in place. Slow on long
// texts but plainly right; the fast conversion must agree with it byte for
// byte, error boxes included.

#include <string>

#include "game/present/escape_codes.h"

namespace velk::testing {

std::string ReferenceConvertEscapeCodes(VariableStore& store, std::string text, const EscapeCodeOptions& options);

}  // namespace velk::testing
