#include "platform/base/system_info.h"

#include <cpuid.h>
#include <cstring>
#include <fstream>
#include <sys/sysinfo.h>

namespace velk::platform {

MemoryStatus QueryMemoryStatus() {
    MemoryStatus status;
    struct sysinfo info {};
    if (sysinfo(&info) == 0) {
        const uint64_t unit = info.mem_unit != 0 ? info.mem_unit : 1;
        status.total_physical = static_cast<uint64_t>(info.totalram) * unit;
        status.available_physical = static_cast<uint64_t>(info.freeram + info.bufferram) * unit;
        status.total_virtual = status.total_physical + static_cast<uint64_t>(info.totalswap) * unit;
    }
    return status;
}

std::string QueryCpuName() {
    unsigned int max_level = __get_cpuid_max(0x80000000u, nullptr);
    if (max_level < 0x80000004u) {
        return {};
    }
    char brand[49] = {};
    for (unsigned int leaf = 0; leaf < 3; ++leaf) {
        unsigned int regs[4] = {};
        __get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);
        std::memcpy(brand + leaf * 16, regs, 16);
    }
    std::string name(brand);
    const size_t first = name.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : name.substr(first);
}

std::string QueryCpuVendor() {
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) {
        return {};
    }
    char vendor[13] = {};
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    return vendor;
}

bool HasCpuid() { return __get_cpuid_max(0, nullptr) != 0; }

int QueryCpuMhz() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("cpu MHz", 0) == 0) {
            const size_t colon = line.find(':');
            if (colon != std::string::npos) {
                return static_cast<int>(std::strtod(line.c_str() + colon + 1, nullptr));
            }
        }
    }
    return 0;
}

CpuFeatures QueryCpuFeatures() {
    CpuFeatures features;
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
        features.time_stamp_counter = (edx & (1u << 4)) != 0;
        features.mmx = (edx & (1u << 23)) != 0;
        features.sse = (edx & (1u << 25)) != 0;
        features.sse2 = (edx & (1u << 26)) != 0;
    }
    return features;
}

namespace {
bool g_report_vista = false;
}  // namespace

OsVersion QueryOsVersion() {
    if (!g_report_vista) return OsVersion{};
    OsVersion vista;
    vista.major = 6;
    vista.minor = 0;
    vista.build = 6002;
    return vista;
}

void SetReportWindowsVistaForTests(bool report) { g_report_vista = report; }

}  // namespace velk::platform
