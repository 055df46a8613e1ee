#pragma once
// The one record of a calendar date and time in the program, and the wall
// clock read through the active clock (platform/base/clock.h), so tests can
// fix "now".

#include <cstdint>

namespace velk::platform {

// Local calendar fields; all zero when a moment cannot be shown.
struct CalendarTime {
    int32_t year = 0;
    int32_t month = 0;  // 1-12
    int32_t day = 0;    // 1-31
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;

    friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};

// The local calendar fields of a moment given in seconds since 1970 (UTC).
CalendarTime ToLocalCalendarTime(int64_t unix_seconds);

// The local calendar time now, by the active clock's wall time.
CalendarTime LocalCalendarNow();

}  // namespace velk::platform

namespace velk {
using platform::CalendarTime;
}  // namespace velk
