#pragma once
// File times: seconds since 1970 (UTC) as the platform keeps them, the
// Windows file time of stored formats (100 ns units since 1601, UTC) and the
// local calendar time the game is shown.

#include <cstdint>

#include "platform/base/calendar_time.h"

namespace velk::platform {

constexpr int64_t kFileTimeUnixEpochOffset = 116444736000000000;  // 1970-01-01 in 100 ns since 1601
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;

// Moments before 1601 become 0 and moments past the last file time the
// last file time; nothing overflows on the way.
constexpr uint64_t UnixSecondsToFileTime(int64_t seconds) {
    constexpr int64_t kFirst = -kFileTimeUnixEpochOffset / static_cast<int64_t>(kFileTimeUnitsPerSecond);
    constexpr int64_t kLast = static_cast<int64_t>((~uint64_t{0} - static_cast<uint64_t>(kFileTimeUnixEpochOffset)) /
                                                   kFileTimeUnitsPerSecond);
    if (seconds <= kFirst) {
        return 0;
    }
    if (seconds > kLast) {
        return ~uint64_t{0};
    }
    return static_cast<uint64_t>(seconds - kFirst) * kFileTimeUnitsPerSecond;
}
// Whole seconds, cut toward the 1970 epoch; every stored value converts
// (file times are read from files, so any 64-bit pattern may arrive).
constexpr int64_t FileTimeToUnixSeconds(uint64_t file_time) {
    constexpr auto kEpoch = static_cast<uint64_t>(kFileTimeUnixEpochOffset);
    if (file_time >= kEpoch) {
        return static_cast<int64_t>((file_time - kEpoch) / kFileTimeUnitsPerSecond);
    }
    return -static_cast<int64_t>((kEpoch - file_time) / kFileTimeUnitsPerSecond);
}

}  // namespace velk::platform
