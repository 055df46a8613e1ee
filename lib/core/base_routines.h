#pragma once
// The library's own small routines for strings, memory, numbers and time.
// String routines step over Shift-JIS pairs: a lead byte (0x81-0x9F,
// 0xE0-0xFC) and the byte after it are one character, and that second byte
// (which may be 0x5C or a letter) is never taken for a character of its own.

#include <cstddef>
#include <cstdint>

#include "lib/core/string_format.h"
#include "platform/base/calendar_time.h"

namespace velk {

// Strings (0-terminated bytes).
void CopyString(char* dest, const char* source);
// Copies up to max_count bytes, stopping at the terminator, and always
// terminates: dest needs max_count + 1 bytes. max_count below 1 gives "".
void CopyStringLimited(char* dest, const char* source, int max_count);
void AppendString(char* dest, const char* source);
// The first single-byte character equal to `byte`, or null.
const char* FindCharInString(const char* string, int byte);
char* FindCharInString(char* string, int byte);
// 0 when equal byte for byte up to and including the terminator, else 1.
int CompareStrings(const char* a, const char* b);
// Compares exactly `count` bytes, terminators included: 0 when all are
// equal (and for count 0), 1 otherwise (and for a negative count).
int CompareStringsLimited(const char* a, const char* b, int count);
// a-z to A-Z in place; second bytes of pairs stay as they are.
void MakeStringUpper(char* string);
// Skips every byte that is neither a digit nor '-' (-1 when the string ends
// first), takes an optional '-' and the digits after it; the value wraps at
// 32 bits. "x-12y" gives -12, "-" gives 0.
int ParseInt(const char* string);
// Writes `value` in `radix` (2-36, lower-case digits above 9, '-' before
// negative values) into `buffer`, which needs 34 bytes for any value. A radix
// outside 2-36 writes an empty string. Returns buffer.
char* IntToString(int value, char* buffer, int radix);
// The number after the first space (an HTTP status line's code); -1 when
// there is no space.
int ParseNumberAfterSpace(const char* string);

// Memory.
// Sets count bytes; returns the byte value.
int FillBytes(void* dest, int byte, size_t count);
// 0 when the count bytes are equal, else 1.
int CompareBytes(const void* a, const void* b, size_t count);
// Front to back, one byte at a time (so a destination just above the source
// repeats the source's first bytes).
void CopyBytes(void* dest, const void* source, size_t count);
// Overlap-safe copy.
void MoveBytes(void* dest, const void* source, size_t count);

// Numbers.
int AbsInt(int value);
float AbsFloat(float value);
// Truncate toward zero; a value outside the 32-bit range (or NaN) gives
// INT_MIN (-2147483648).
int FloatToInt(float value);
int DoubleToInt(double value);
void Convert4DoublesToInts(const double in[4], int out[4]);
float SquareRootFloat(float value);
// Sine and cosine from one evaluation at extended precision, each rounded to
// float.
void GetSinCos(float angle, float* sine, float* cosine);
void Multiply64To128(uint64_t a, uint64_t b, unsigned __int128* result);
// Truncated quotient; a zero divisor gives 0.
void Divide128By64(unsigned __int128 dividend, uint64_t divisor, uint64_t* quotient);

// Time.
// The millisecond clock with bit 31 cleared (0..0x7FFFFFFF).
int GetMillisecondCount();
// The microsecond clock. With the flag 1, a processor time-stamp counter and
// a started library: the counter's time. Otherwise the source that the
// window's timer test chose: the millisecond clock times 1000, or the
// microsecond counter.
int64_t GetUsecCount(int use_time_stamp_counter = 0);
// The timer test's choice (the counter until a test chose otherwise).
void SetUsePerformanceCounter(bool use);
bool GetUsePerformanceCounter();
// Waits the given milliseconds while processing messages (ProcessMessages);
// returns 0, early when message processing reports the program's end.
int WaitWithMessages(int milliseconds);

// The current local date and time. Returns 0.
int GetLocalDateTime(CalendarTime* record);
// A file time (100-nanosecond units since 1601-01-01 UTC) as local time.
// Returns 0, or -1 (record zeroed) when it is beyond what the calendar holds.
int FileTimeToCalendarTime(uint64_t file_time, CalendarTime* record);

// A byte ring: reading and writing wrap at the capacity.
struct RingBuffer {
    uint8_t* data = nullptr;
    int32_t read_position = 0;
    int32_t write_position = 0;
    int32_t held = 0;
    int32_t capacity = 0;
};

// Sets a read or write position that has reached the capacity back to 0.
void WrapRingPositions(RingBuffer* ring);

}  // namespace velk
