// The data-file container: unscrambling any bytes under every layout, the sum
// check, and the scramble routine over ranges taken from the input, checked
// against the routine written out byte by byte.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "game/data/data_container.h"
#include "platform/base/crt_random.h"
#include "tests/game/data/data_test_support.h"

namespace {

void ReferenceScramble(std::vector<uint8_t>& buffer, size_t start, size_t end, const uint8_t* keys, int keyCount) {
    const size_t strides[3] = {1, 2, 5};
    for (int key = 0; key < keyCount; ++key) {
        velk::platform::CrtRandom random(keys[key]);
        for (size_t i = start; i < end; i += strides[key]) {
            buffer[i] ^= static_cast<uint8_t>((random.Next() & 0xFF000) >> 12);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::testing::RecordingReporter quiet;
    for (const velk::ContainerLayout* layout : {&velk::kDataFileLayout, &velk::kGameInfoLayout, &velk::kMapFileLayout}) {
        std::vector<uint8_t> file(data, data + size);
        auto opened = velk::UnscrambleContainer(file, *layout);
        if (opened) velk::ContainerSumMatches(file, *layout, *opened, file.size());
    }
    if (size >= 8) {
        std::vector<uint8_t> buffer(data + 8, data + size);
        std::vector<uint8_t> reference = buffer;
        int start = static_cast<int16_t>(data[0] | (data[1] << 8));
        int end = static_cast<int16_t>(data[2] | (data[3] << 8));
        int keyCount = data[4] % 4;
        uint8_t check = data[7];
        velk::ScrambleDataBuffer("fuzz", buffer, start, end, keyCount, data + 5, static_cast<int8_t>(data[6]) % 4,
                                 &check);
        bool allZero = keyCount > 0 && data[5] == 0 && (keyCount < 2 || data[6] == 0) && (keyCount < 3 || data[7] == 0);
        size_t first = static_cast<size_t>(std::max(0, std::min(start, static_cast<int>(reference.size()))));
        size_t last = static_cast<size_t>(std::max(0, std::min(end, static_cast<int>(reference.size()))));
        if (!allZero) ReferenceScramble(reference, first, last, data + 5, keyCount);
        if (buffer != reference) std::abort();
    }
    return 0;
}
