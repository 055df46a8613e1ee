#include "lib/core/files/find_info.h"

namespace velk {

FileInfo MakeFileInfo(const platform::FoundFile& found) {
    FileInfo info;
    info.name = found.name;
    info.is_directory = found.is_directory ? 1 : 0;
    info.size_low = static_cast<uint32_t>(found.size);
    info.size_high = static_cast<uint32_t>(found.size >> 32);
    info.creation = (platform::ToLocalCalendarTime(found.creation_time));
    info.last_write = (platform::ToLocalCalendarTime(found.write_time));
    return info;
}

CalendarTime FileDateFromFileTime(uint64_t file_time) {
    if (file_time == 0) {
        return {};
    }
    return (platform::ToLocalCalendarTime(platform::FileTimeToUnixSeconds(file_time)));
}

}  // namespace velk
