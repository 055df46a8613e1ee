// Game.dat: any bytes read as the game's basic information.
#include <cstdint>
#include <vector>

#include "game/data/game_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    velk::GameInfo info;
    velk::ParseGameInfo(file, info);
    velk::ComputeFrameStep(info.Setting(velk::GameInfo::kFrameDivisorSetting));
    return 0;
}
