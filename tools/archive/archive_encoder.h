#pragma once
// The archive's LZ coding, writing side: the exact inverse of the reader's
// DecodeArchiveData. Matches of 4 to 8195 bytes at distances up to 2^24 are
// found through hash chains; the marker is the byte that occurs least, so
// that literal markers (written twice) cost the least.

#include <cstdint>
#include <span>
#include <vector>

namespace velk::tools {

struct ArchiveEncoderOptions {
    // How far back matches are looked for (at most 1 << 24).
    uint32_t window = 1u << 20;
    // How many earlier positions of the same hash are tried per byte.
    uint32_t chain_depth = 16;
};

// The compressed form, with its 9-byte head.
std::vector<uint8_t> EncodeArchiveData(std::span<const uint8_t> data, const ArchiveEncoderOptions& options = {});

}  // namespace velk::tools
