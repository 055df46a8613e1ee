// The general blit loops for 16-bit R5G6B5 destinations.
#include "lib/softrender/blit_loops.h"

namespace velk {

template void RunBlitJob<Rgb565>(const BlitJob& job);

}  // namespace velk
