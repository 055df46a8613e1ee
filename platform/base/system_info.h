#pragma once
// Facts about the machine that the library reports and decides on. They are
// fixed where the game would otherwise behave differently from machine to
// machine: a 32-bit desktop, code page 932, and the Windows version code 263.

#include <cstdint>
#include <string>

namespace velk::platform {

struct MemoryStatus {
    uint64_t total_physical = 0;
    uint64_t available_physical = 0;
    uint64_t total_virtual = 0;
};

MemoryStatus QueryMemoryStatus();

// The processor's brand text ("" when it cannot be read).
std::string QueryCpuName();
// The processor's vendor text ("GenuineIntel", ...; "" without CPUID).
std::string QueryCpuVendor();
bool HasCpuid();
// The processor's clock in MHz, 0 when unknown.
int QueryCpuMhz();
// Whether the processor has a time-stamp counter and the SIMD sets the
// library asks about.
struct CpuFeatures {
    bool time_stamp_counter = false;
    bool mmx = false;
    bool sse = false;
    bool sse2 = false;
};
CpuFeatures QueryCpuFeatures();

// The Windows version this platform reports itself as: NT platform (2),
// version 5.1 (XP), which the library's version table turns into code 263.
struct OsVersion {
    int platform_id = 2;
    int major = 5;
    int minor = 1;
    int build = 2600;
    std::string service_text;
};
OsVersion QueryOsVersion();
constexpr int kOsCode = 263;
// Tests only: report Windows Vista (6.0, code 264) instead, so that the
// library's steps for it (the temporary primary) can be reached.
void SetReportWindowsVistaForTests(bool report);

// Code page of the game's text.
constexpr int kCodePage = 932;

// Colour depth the desktop reports: always 32 bits per pixel (an X server's
// depth 24 is stored in 32 bits).
constexpr int kDesktopColorBits = 32;

}  // namespace velk::platform
