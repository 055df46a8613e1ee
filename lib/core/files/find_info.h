#pragma once
// Turns what the platform's find reports into the record the game sees.

#include "lib/core/files/file_access.h"
#include "platform/file/file_find.h"
#include "platform/file/file_time.h"

namespace velk {

FileInfo MakeFileInfo(const platform::FoundFile& found);
// A date from a Windows file time as archives store it.
CalendarTime FileDateFromFileTime(uint64_t file_time);

}  // namespace velk
