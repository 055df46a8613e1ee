#include "tests/support/source_dir.h"

#include <cstdlib>

namespace velk::testing {

std::filesystem::path SourceDir() {
    if (const char* configured = std::getenv("VELK_SOURCE_DIR"); configured != nullptr && *configured != '\0') {
        return configured;
    }
    return VELK_BUILT_FROM_SOURCE_DIR;
}

}  // namespace velk::testing
