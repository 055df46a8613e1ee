#pragma once
// The library's log, "Log.txt" in the start directory: Shift-JIS lines, each
// prefixed with the milliseconds since the log was created and indented with
// tabs, ending in CR LF. Every write opens, appends to and closes the file, so
// the log is complete even when the process dies. Safe to use from several
// threads.

#include <string>

namespace velk {

// Appends text to the log; a text that does not end in "\n" leaves its line
// open for the next one. Returns -1 so that operations can report a failure
// with `return WriteLog(...)`.
int WriteLog(const char* text);
// Formats (printf rules) and appends the result plus "\n". Any length is
// formatted whole. Returns -1 like WriteLog.
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// One tab more or less in front of later lines (never below 0). Return 0.
int IncreaseLogIndent();
int DecreaseLogIndent();
// 1 writes the log, 0 writes none. Returns 0.
int SetLogOutputFlag(int flag);

// Start-up: remembers the directory the log lives in (a native path; the
// current directory at start) and re-creates an empty "Log.txt" there unless
// the log is off. CreateLogFile also restarts the elapsed-time count and the
// indent. It takes the current directory when none was remembered; it
// returns 0, or -1 when the file cannot be made.
void SetLogStartDirectory(const std::string& directory);
int CreateLogFile();
// The path of the log file ("" before start-up remembered the directory).
std::string LogFilePath();

}  // namespace velk
