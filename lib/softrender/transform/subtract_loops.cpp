// The subtract loops (mode 3).
#include "lib/softrender/transform/textured_loops.h"

namespace velk::textured_loops {

template <class Walk>
TexturedSpanLoop<Walk> SelectSubtractLoop(TexelKind kind, LoopVariant variant) {
    return SelectModeLoop<kBlendModeSubtract, Walk>(kind, variant);
}

template TexturedSpanLoop<ExactTexelWalk> SelectSubtractLoop<ExactTexelWalk>(TexelKind, LoopVariant);
template TexturedSpanLoop<FixedTexelWalk> SelectSubtractLoop<FixedTexelWalk>(TexelKind, LoopVariant);

}  // namespace velk::textured_loops
