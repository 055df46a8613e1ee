#include "platform/base/calendar_time.h"

#include <ctime>

#include "platform/base/clock.h"

namespace velk::platform {

CalendarTime ToLocalCalendarTime(int64_t unix_seconds) {
    const time_t moment = static_cast<time_t>(unix_seconds);
    std::tm fields {};
    if (static_cast<int64_t>(moment) != unix_seconds || localtime_r(&moment, &fields) == nullptr) {
        return {};
    }
    return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec};
}

CalendarTime LocalCalendarNow() {
    return ToLocalCalendarTime(ActiveClock().WallSeconds());
}

}  // namespace velk::platform
