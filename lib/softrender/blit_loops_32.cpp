// The general blit loops for 32-bit X8R8G8B8 destinations.
#include "lib/softrender/blit_loops.h"

namespace velk {

template void RunBlitJob<Xrgb8888>(const BlitJob& job);

}  // namespace velk
