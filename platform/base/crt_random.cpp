#include "platform/base/crt_random.h"

namespace velk::platform {

CrtRandom& MainThreadCrtRandom() {
    static CrtRandom generator(1);
    return generator;
}

}  // namespace velk::platform
