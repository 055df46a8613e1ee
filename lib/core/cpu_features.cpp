#include "lib/core/cpu_features.h"

namespace velk {

bool MachineHasAvx2() {
    // Kernels may be chosen during static initialisation, before the
    // compiler's own feature table has been filled in.
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

bool MachineHasAvx512Bw() {
    // The compiler's check covers the operating system's support for the
    // wide register state as well as the instructions.
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
               __builtin_cpu_supports("avx512vl") != 0;
    }();
    return has;
}

bool MachineHasAvx512Vbmi() {
    static const bool has = [] {
        __builtin_cpu_init();
        return MachineHasAvx512Bw() && __builtin_cpu_supports("avx512vbmi") != 0 && __builtin_cpu_supports("bmi2") != 0;
    }();
    return has;
}

}  // namespace velk
