#include "lib/api/system_report.h"

#include "lib/core/log.h"
#include "lib/api/startup_log_texts.h"
#include "lib/core/string_format.h"
#include "lib/core/system_information.h"

namespace velk {

namespace {

constexpr int kPlatformWin32s = 0;
constexpr int kPlatformWindows9x = 1;
constexpr int kPlatformNt = 2;

// The processor's rating: 0 without CPUID, 1 without MMX, then 3, 4, 5 as
// MMX, SSE and SSE2 are there one after the other.
int CpuLevel(const SystemProbe& probe) {
    if (!probe.has_cpuid) return 0;
    if (!probe.features.mmx) return 1;
    if (!probe.features.sse) return 3;
    if (!probe.features.sse2) return 4;
    return 5;
}

void WriteOsLine(const SystemProbe& probe, SystemInformation& record) {
    WriteLog(startup_log_text::kOs);
    record.os_code = OsCodeOf(probe.os, record.os_code);
    record.os_text = FormatString("%s ( Build %d %s )", OsNameOf(probe.os).c_str(), probe.os.build,
                                  probe.os.service_text.c_str());
    WriteLogFormat("%s", record.os_text.c_str());
}

void WriteSpeedLine(const SystemProbe& probe, SystemInformation& record) {
    // The counter is only known through CPUID.
    const bool counter = probe.has_cpuid && probe.features.time_stamp_counter;
    record.time_stamp_counter = counter ? 1 : 0;
    if (!counter) return;
    record.cpu_mhz = probe.cpu_mhz;
    record.cpu_clock_hz = static_cast<int64_t>(probe.cpu_mhz) * 1000000;
    WriteLogFormat(startup_log_text::kCpuSpeed, probe.cpu_mhz * 0.001);
}

void WriteFeatureLines(int level, SystemInformation& record) {
    if (level == 1) WriteLog(startup_log_text::kNoMmx);
    if (level >= 3) {
        WriteLog(startup_log_text::kUseMmx);
        record.mmx = 1;
    }
    if (level >= 4) {
        WriteLog(startup_log_text::kSseAvailable);
        record.sse = 1;
    }
    if (level >= 5) {
        WriteLog(startup_log_text::kSse2Available);
        record.sse2 = 1;
    }
}

void WriteVendorLine(const std::string& vendor) {
    WriteLog(startup_log_text::kCpuVendor);
    // The vendor text is three 4-character words written one after another.
    for (size_t start = 0; start < 12; start += 4) {
        WriteLog(vendor.size() > start ? vendor.substr(start, 4).c_str() : "");
    }
    WriteLog("\n");
}

}  // namespace

SystemProbe ProbeSystem() {
    SystemProbe probe;
    probe.os = platform::QueryOsVersion();
    probe.has_cpuid = platform::HasCpuid();
    probe.features = platform::QueryCpuFeatures();
    probe.vendor = platform::QueryCpuVendor();
    probe.brand = platform::QueryCpuName();
    probe.cpu_mhz = platform::QueryCpuMhz();
    return probe;
}

std::string OsNameOf(const platform::OsVersion& os) {
    std::string name = "Windows";
    const bool service_c = !os.service_text.empty() && os.service_text[0] == 'C';
    const bool service_a = !os.service_text.empty() && os.service_text[0] == 'A';
    switch (os.platform_id) {
        case kPlatformWin32s:
            return name + "3.1";
        case kPlatformWindows9x:
            if (os.minor == 0) return name + (service_c ? "95OSR2" : "95");
            if (os.minor == 10) return name + (service_a ? "98SE" : "98");
            if (os.minor == 90) return name + "Me";
            return name;
        case kPlatformNt:
            if (os.major == 3) return name + "NT 3.51";
            if (os.major == 4) return name + "4.0";
            if (os.major == 5 && os.minor == 0) return name + "2000";
            if (os.major == 5 && os.minor == 1) return name + "XP";
            if (os.major == 6) return name + "Vista";
            return name;
        default:
            return name;
    }
}

int OsCodeOf(const platform::OsVersion& os, int previous_code) {
    switch (os.platform_id) {
        case kPlatformWin32s:
            return kOsCodeWin32s;
        case kPlatformWindows9x:
            if (os.minor == 0) return kOsCodeWindows95;
            if (os.minor == 10) return kOsCodeWindows98;
            if (os.minor == 90) return kOsCodeWindowsMe;
            return previous_code;
        case kPlatformNt:
            if (os.major == 3) return kOsCodeWindowsNt351;
            if (os.major == 4) return kOsCodeWindowsNt4;
            if (os.major == 5 && os.minor == 0) return kOsCodeWindows2000;
            if (os.major == 5 && os.minor == 1) return kOsCodeWindowsXp;
            if (os.major == 6) return kOsCodeWindowsVista;
            return previous_code;
        default:
            return previous_code;
    }
}

int LogSystemInfoFrom(const SystemProbe& probe) {
    SystemInformation& record = GetSystemInfoBlock();
    WriteLog(startup_log_text::kSystemReport);
    IncreaseLogIndent();

    WriteOsLine(probe, record);
    record.directx_version = kDirectXVersion7;
    record.mmx = record.sse = record.sse2 = 0;

    const int level = CpuLevel(probe);
    WriteSpeedLine(probe, record);
    if (level == 0) {
        WriteLog(startup_log_text::kNoCpuid);
    } else {
        WriteFeatureLines(level, record);
        WriteVendorLine(probe.vendor);
        if (!probe.brand.empty()) {
            WriteLogFormat(startup_log_text::kCpuName, probe.brand.c_str());
            record.cpu_name = probe.brand;
        }
    }
    DecreaseLogIndent();
    return 0;
}

int LogSystemInfo() { return LogSystemInfoFrom(ProbeSystem()); }

}  // namespace velk
