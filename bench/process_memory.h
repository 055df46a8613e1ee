#pragma once
// The benchmark process's own memory, as the kernel counts it.

#include <cstdlib>
#include <fstream>
#include <string>

namespace velk::bench {

// Resident memory now, in megabytes.
inline double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

// The peak of the resident memory so far, in megabytes.
inline double PeakResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0.0;
}

}  // namespace velk::bench
