// Feeds one coded stream to the archive decoder in each of its forms: whole
// with the wide run, whole with the general loop alone, and in pieces (as the
// archive reader feeds it) with the wide run. The first input byte sets the
// piece size; the rest is the coded data with its head. All forms must make
// the same of it: the same bytes, or a refusal, never a read or write out of
// bounds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "lib/core/files/archive_decoder.h"
#include "lib/core/files/archive_decoder_wide.h"
#include "lib/core/files/archive_format.h"

namespace {

// Outputs beyond this only slow a run down.
constexpr uint32_t kLargestOutput = 1u << 20;

std::optional<std::vector<uint8_t>> DecodeWhole(std::span<const uint8_t> source, uint32_t size) {
    std::vector<uint8_t> out(size);
    if (!velk::DecodeArchiveData(source, out)) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::vector<uint8_t>> DecodeInPieces(std::span<const uint8_t> source, const velk::ArchiveDataHead& head,
                                                   size_t piece_size) {
    std::vector<uint8_t> out(head.decoded_size);
    velk::ArchiveDataDecoder decoder(head.marker, out);
    const auto codes = source.subspan(velk::kArchiveDataHeadSize, head.total_size - velk::kArchiveDataHeadSize);
    // Exactly the piece in its own buffer, so that a read past it is caught.
    std::vector<uint8_t> carried;
    for (size_t at = 0;;) {
        const size_t wanted = std::min(piece_size, codes.size() - at);
        std::vector<uint8_t> piece(carried);
        piece.insert(piece.end(), codes.begin() + at, codes.begin() + at + wanted);
        at += wanted;
        const bool last = at == codes.size();
        const auto taken = decoder.Decode(piece, last);
        if (!taken) {
            return std::nullopt;
        }
        if (last) {
            break;
        }
        carried.assign(piece.begin() + static_cast<ptrdiff_t>(*taken), piece.end());
    }
    if (!decoder.full()) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 + velk::kArchiveDataHeadSize) {
        return 0;
    }
    const size_t piece_size = 1 + size_t{data[0]} * 37;
    const std::span<const uint8_t> source(data + 1, size - 1);
    const auto head = velk::ReadArchiveDataHead(source);
    if (!head || head->decoded_size > kLargestOutput) {
        return 0;
    }
    velk::UseWideArchiveRun(false);
    const auto general = DecodeWhole(source, head->decoded_size);
    velk::UseWideArchiveRun(true);
    const auto wide = DecodeWhole(source, head->decoded_size);
    const auto pieces = DecodeInPieces(source, *head, piece_size);
    if (wide != general || pieces != general) {
        std::abort();
    }
    return 0;
}
