#include "lib/core/files/find_info.h"

namespace velk {

FileDate MakeFileDate(const platform::CalendarTime& time) {
    return {time.year, time.month, time.day, time.hour, time.minute, time.second};
}

FileInfo MakeFileInfo(const platform::FoundFile& found) {
    FileInfo info;
    info.name = found.name;
    info.is_directory = found.is_directory ? 1 : 0;
    info.size_low = static_cast<uint32_t>(found.size);
    info.size_high = static_cast<uint32_t>(found.size >> 32);
    info.creation = MakeFileDate(platform::ToLocalCalendarTime(found.creation_time));
    info.last_write = MakeFileDate(platform::ToLocalCalendarTime(found.write_time));
    return info;
}

FileDate FileDateFromFileTime(uint64_t file_time) {
    if (file_time == 0) {
        return {};
    }
    return MakeFileDate(platform::ToLocalCalendarTime(platform::FileTimeToUnixSeconds(file_time)));
}

}  // namespace velk
