#pragma once
// The system report the start-up writes first into the log: the OS, the
// processor's speed, instruction sets, vendor and name. It also fills the
// library's system-information record.

#include <string>

#include "platform/base/system_info.h"

namespace velk {

// What the machine says of itself, gathered once per report.
struct SystemProbe {
    platform::OsVersion os;
    bool has_cpuid = true;
    platform::CpuFeatures features;
    std::string vendor;      // 12 characters when CPUID reports one
    std::string brand;       // "" when the processor reports none
    int cpu_mhz = 0;
};

// The probe of this machine.
SystemProbe ProbeSystem();

// "Windows" and the version's name ("WindowsXP"), and its OS code; a
// version the table does not know keeps `previous_code`.
std::string OsNameOf(const platform::OsVersion& os);
int OsCodeOf(const platform::OsVersion& os, int previous_code);

// Writes the report of `probe` and fills the record. Returns 0.
int LogSystemInfoFrom(const SystemProbe& probe);
// The same for this machine.
int LogSystemInfo();

}  // namespace velk
