#pragma once
// Where the project's sources are, for tests that read files kept beside them
// (golden pictures, the sources themselves): VELK_SOURCE_DIR when set, else the
// folder the tests were built from, so a test program finds them from any
// working folder.

#include <filesystem>

namespace velk::testing {

std::filesystem::path SourceDir();

}  // namespace velk::testing
