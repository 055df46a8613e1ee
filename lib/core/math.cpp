#include "lib/core/math.h"
