#pragma once
// File times: seconds since 1970 (UTC) as the platform keeps them, the
// Windows file time of stored formats (100 ns units since 1601, UTC) and the
// local calendar time the game is shown.

#include <cstdint>

#include "platform/base/calendar_time.h"

namespace velk::platform {

constexpr int64_t kFileTimeUnixEpochOffset = 116444736000000000;  // 1970-01-01 in 100 ns since 1601
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;

constexpr uint64_t UnixSecondsToFileTime(int64_t seconds) {
    return static_cast<uint64_t>(seconds * static_cast<int64_t>(kFileTimeUnitsPerSecond) + kFileTimeUnixEpochOffset);
}
constexpr int64_t FileTimeToUnixSeconds(uint64_t file_time) {
    return (static_cast<int64_t>(file_time) - kFileTimeUnixEpochOffset) /
           static_cast<int64_t>(kFileTimeUnitsPerSecond);
}

}  // namespace velk::platform
