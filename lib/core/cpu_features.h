#pragma once
// What the processor offers beyond the SSE2 every build may assume, asked
// once; the pixel and decoding kernels choose their wide forms by it. (Inline:
// the text writers ask for every string.)

namespace velk {

inline bool MachineHasAvx2() {
    // Kernels may be chosen during static initialisation, before the
    // compiler's own feature table has been filled in.
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

// AVX-512 with byte and word lanes and its masks on the narrower registers
// (F, BW and VL together), which the 512-bit kernels use; the operating
// system saving the wide registers.
inline bool MachineHasAvx512Bw() {
    // The compiler's check covers the operating system's support for the
    // wide register state as well as the instructions.
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
               __builtin_cpu_supports("avx512vl") != 0;
    }();
    return has;
}

// AVX-512 F and BW with the byte permutes (VBMI), and the bit gathers of
// BMI2.
inline bool MachineHasAvx512Vbmi() {
    static const bool has = [] {
        __builtin_cpu_init();
        return MachineHasAvx512Bw() && __builtin_cpu_supports("avx512vbmi") != 0 && __builtin_cpu_supports("bmi2") != 0;
    }();
    return has;
}

// With the word funnel shifts of VBMI2 besides.
inline bool MachineHasAvx512Vbmi2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return MachineHasAvx512Vbmi() && __builtin_cpu_supports("avx512vbmi2") != 0;
    }();
    return has;
}

}  // namespace velk
