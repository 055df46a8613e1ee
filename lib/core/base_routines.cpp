#include "lib/core/base_routines.h"

#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>

#include "lib/core/library.h"
#include "lib/core/system_information.h"
#include "platform/base/calendar_time.h"
#include "platform/base/clock.h"
#include "platform/base/sync.h"
#include "platform/base/text_encoding.h"

namespace velk {

namespace {

bool IsLead(char c) {
    return platform::IsShiftJisLeadByte(static_cast<uint8_t>(c));
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Steps from one character to the next; a lead byte just before the
// terminator is a character of its own, so a scan never skips the end.
const char* NextCharacter(const char* p) {
    return (IsLead(*p) && p[1] != '\0') ? p + 2 : p + 1;
}

}  // namespace

void CopyString(char* dest, const char* source) {
    std::strcpy(dest, source);
}

void CopyStringLimited(char* dest, const char* source, int max_count) {
    int i = 0;
    for (; i < max_count && source[i] != '\0'; ++i) {
        dest[i] = source[i];
    }
    dest[i] = '\0';
}

void AppendString(char* dest, const char* source) {
    std::strcat(dest, source);
}

const char* FindCharInString(const char* string, int byte) {
    const char wanted = static_cast<char>(byte);
    for (const char* p = string; *p != '\0'; p = NextCharacter(p)) {
        if (!IsLead(*p) && *p == wanted) {
            return p;
        }
    }
    return nullptr;
}

char* FindCharInString(char* string, int byte) {
    return const_cast<char*>(FindCharInString(static_cast<const char*>(string), byte));
}

int CompareStrings(const char* a, const char* b) {
    return std::strcmp(a, b) == 0 ? 0 : 1;
}

int CompareStringsLimited(const char* a, const char* b, int count) {
    if (count < 0) {
        return 1;
    }
    return std::memcmp(a, b, static_cast<size_t>(count)) == 0 ? 0 : 1;
}

void MakeStringUpper(char* string) {
    for (char* p = string; *p != '\0'; p = const_cast<char*>(NextCharacter(p))) {
        if (*p >= 'a' && *p <= 'z') {
            *p = static_cast<char>(*p - 'a' + 'A');
        }
    }
}

int ParseInt(const char* string) {
    const char* p = string;
    while (*p != '\0' && !IsDigit(*p) && *p != '-') {
        ++p;
    }
    if (*p == '\0') {
        return -1;
    }
    const bool negative = *p == '-';
    if (negative) {
        ++p;
    }
    // Unsigned, so that an overlong number wraps at 32 bits without overflow.
    uint32_t value = 0;
    for (; IsDigit(*p); ++p) {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    }
    return static_cast<int>(negative ? 0u - value : value);
}

char* IntToString(int value, char* buffer, int radix) {
    if (radix < 2 || radix > 36) {
        buffer[0] = '\0';
        return buffer;
    }
    // The magnitude in unsigned arithmetic, so INT_MIN has one too.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char reversed[32];
    int count = 0;
    do {
        const uint32_t digit = magnitude % static_cast<uint32_t>(radix);
        reversed[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + (digit - 10));
        magnitude /= static_cast<uint32_t>(radix);
    } while (magnitude != 0);
    char* out = buffer;
    if (value < 0) {
        *out++ = '-';
    }
    while (count > 0) {
        *out++ = reversed[--count];
    }
    *out = '\0';
    return buffer;
}

int ParseNumberAfterSpace(const char* string) {
    const char* space = FindCharInString(string, ' ');
    return space == nullptr ? -1 : ParseInt(space + 1);
}

int FillBytes(void* dest, int byte, size_t count) {
    std::memset(dest, byte, count);
    return byte;
}

int CompareBytes(const void* a, const void* b, size_t count) {
    return std::memcmp(a, b, count) == 0 ? 0 : 1;
}

void CopyBytes(void* dest, const void* source, size_t count) {
    auto* to = static_cast<uint8_t*>(dest);
    const auto* from = static_cast<const uint8_t*>(source);
    for (size_t i = 0; i < count; ++i) {
        to[i] = from[i];
    }
}

void MoveBytes(void* dest, const void* source, size_t count) {
    if (dest != source) {
        std::memmove(dest, source, count);
    }
}

int AbsInt(int value) {
    // INT_MIN has no positive counterpart and stays as it is.
    return value < 0 ? static_cast<int>(0u - static_cast<uint32_t>(value)) : value;
}

float AbsFloat(float value) {
    return std::fabs(value);
}

int FloatToInt(float value) {
    return DoubleToInt(value);
}

int DoubleToInt(double value) {
    // Written so that NaN fails the test too.
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

void Convert4DoublesToInts(const double in[4], int out[4]) {
    for (int i = 0; i < 4; ++i) {
        out[i] = DoubleToInt(in[i]);
    }
}

float SquareRootFloat(float value) {
    return std::sqrt(value);
}

void GetSinCos(float angle, float* sine, float* cosine) {
    const long double wide = angle;
    if (sine != nullptr) {
        *sine = static_cast<float>(std::sin(wide));
    }
    if (cosine != nullptr) {
        *cosine = static_cast<float>(std::cos(wide));
    }
}

void Multiply64To128(uint64_t a, uint64_t b, unsigned __int128* result) {
    *result = static_cast<unsigned __int128>(a) * b;
}

void Divide128By64(unsigned __int128 dividend, uint64_t divisor, uint64_t* quotient) {
    if (divisor == 0) {
        *quotient = 0;
        return;
    }
    const unsigned __int128 wide = dividend / divisor;
    // A quotient beyond 64 bits saturates instead of trapping.
    *quotient = wide > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(wide);
}

int GetMillisecondCount() {
    return platform::Milliseconds31();
}

namespace {

std::atomic<bool> use_performance_counter{true};

}  // namespace

void SetUsePerformanceCounter(bool use) { use_performance_counter = use; }
bool GetUsePerformanceCounter() { return use_performance_counter; }

int64_t GetUsecCount(int use_time_stamp_counter) {
    platform::Clock& clock = platform::ActiveClock();
    // The time-stamp counter and the performance counter both count the
    // clock's microseconds here.
    if (use_time_stamp_counter == 1 && GetSystemInfoBlock().time_stamp_counter != 0 && IsLibraryInitialized()) {
        return clock.Microseconds();
    }
    if (!use_performance_counter) return static_cast<int64_t>(clock.Milliseconds()) * 1000;
    return clock.Microseconds();
}

int WaitWithMessages(int milliseconds) {
    const int32_t start = platform::Milliseconds31();
    if (ProcessMessages() != 0) {
        return 0;
    }
    // Elapsed time modulo 2^31, so a wrap of the clock during the wait neither
    // ends it early nor makes it last until the clock comes round again.
    while (platform::ElapsedMilliseconds31(start, platform::Milliseconds31()) < milliseconds) {
        platform::SleepMilliseconds(1);
        if (ProcessMessages() != 0) {
            return 0;
        }
    }
    return 0;
}

int GetLocalDateTime(CalendarTime* record) {
    *record = platform::LocalCalendarNow();
    return 0;
}

int FileTimeToCalendarTime(uint64_t file_time, CalendarTime* record) {
    constexpr int64_t kTicksPerSecond = 10'000'000;
    constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
    const int64_t seconds = static_cast<int64_t>(file_time / kTicksPerSecond) - kSecondsFrom1601To1970;
    *record = platform::ToLocalCalendarTime(seconds);
    return *record == CalendarTime{} ? -1 : 0;
}

void WrapRingPositions(RingBuffer* ring) {
    if (ring->read_position == ring->capacity) {
        ring->read_position = 0;
    }
    if (ring->write_position == ring->capacity) {
        ring->write_position = 0;
    }
}

}  // namespace velk
