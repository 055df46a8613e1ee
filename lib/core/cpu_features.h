#pragma once
// What the processor offers beyond the SSE2 every build may assume, asked
// once; the pixel and decoding kernels choose their wide forms by it.

namespace velk {

bool MachineHasAvx2();
// AVX-512 with byte and word lanes and its masks on the narrower registers
// (F, BW and VL together), which the 512-bit kernels use; the operating
// system saving the wide registers.
bool MachineHasAvx512Bw();
// AVX-512 F and BW with the byte permutes (VBMI), and the bit gathers of
// BMI2.
bool MachineHasAvx512Vbmi();

}  // namespace velk
