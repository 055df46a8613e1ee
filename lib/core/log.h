#pragma once
// The library's log, "Log.txt" in the start directory: Shift-JIS lines, each
// prefixed with the milliseconds since the log was created and indented with
// tabs, ending in CR LF.

#include <string>

namespace velk {

// Appends text to the log. Returns -1 so that operations can report a failure
// with `return WriteLog(...)`.
int WriteLog(const char* text);
// Formats (printf rules) and appends the result plus "\n". Long texts are cut,
// never overflowed.
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int IncreaseLogIndent();
int DecreaseLogIndent();
// 1 writes the log, 0 writes none. Returns 0.
int SetLogOutputFlag(int flag);

// Start-up: remembers the directory the log lives in (the current directory
// at start) and re-creates an empty "Log.txt" there unless the log is off.
void SetLogStartDirectory(const std::string& directory);
int CreateLogFile();
// The path of the log file ("" before start-up remembered the directory).
std::string LogFilePath();

}  // namespace velk
