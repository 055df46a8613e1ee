#include "lib/softrender/blit_job.h"

namespace velk {

template <class Format>
bool RunFastBlitJob(const BlitJob& job) {
    return false;
}

template bool RunFastBlitJob<Xrgb8888>(const BlitJob& job);
template bool RunFastBlitJob<Rgb565>(const BlitJob& job);

}  // namespace velk
