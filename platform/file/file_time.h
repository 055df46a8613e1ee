#pragma once
// File times: seconds since 1970 (UTC) as the platform keeps them, the
// Windows file time of stored formats (100 ns units since 1601, UTC) and the
// local calendar time the game is shown.

#include <cstdint>

namespace velk::platform {

struct CalendarTime {
    int32_t year = 0;
    int32_t month = 0;  // 1-12
    int32_t day = 0;    // 1-31
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
};

constexpr int64_t kFileTimeUnixEpochOffset = 116444736000000000;  // 1970-01-01 in 100 ns since 1601
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;

constexpr uint64_t UnixSecondsToFileTime(int64_t seconds) {
    return static_cast<uint64_t>(seconds * static_cast<int64_t>(kFileTimeUnitsPerSecond) + kFileTimeUnixEpochOffset);
}
constexpr int64_t FileTimeToUnixSeconds(uint64_t file_time) {
    return (static_cast<int64_t>(file_time) - kFileTimeUnixEpochOffset) /
           static_cast<int64_t>(kFileTimeUnitsPerSecond);
}

// The local calendar fields of a moment; all zero when it cannot be shown.
CalendarTime ToLocalCalendarTime(int64_t unix_seconds);

}  // namespace velk::platform
