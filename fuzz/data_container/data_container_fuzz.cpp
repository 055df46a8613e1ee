// The data-file container: unscrambling any bytes under every layout, the sum
// check, and the scramble routine over ranges taken from the input.
#include <cstdint>
#include <vector>

#include "game/data/data_container.h"
#include "tests/game/data/data_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::testing::RecordingReporter quiet;
    for (const velk::ContainerLayout* layout : {&velk::kDataFileLayout, &velk::kGameInfoLayout, &velk::kMapFileLayout}) {
        std::vector<uint8_t> file(data, data + size);
        auto opened = velk::UnscrambleContainer(file, *layout);
        if (opened) velk::ContainerSumMatches(file, *layout, *opened, file.size());
    }
    if (size >= 8) {
        std::vector<uint8_t> buffer(data + 8, data + size);
        int start = static_cast<int16_t>(data[0] | (data[1] << 8));
        int end = static_cast<int16_t>(data[2] | (data[3] << 8));
        uint8_t check = data[7];
        velk::ScrambleDataBuffer("fuzz", buffer, start, end, data[4] % 5, data + 5, static_cast<int8_t>(data[6]) % 4,
                                 &check);
    }
    return 0;
}
