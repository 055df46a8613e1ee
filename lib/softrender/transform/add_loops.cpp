// The add loops (mode 2).
#include "lib/softrender/transform/textured_loops.h"

namespace velk::textured_loops {

template <class Walk>
TexturedSpanLoop<Walk> SelectAddLoop(TexelKind kind, LoopVariant variant) {
    return SelectModeLoop<kBlendModeAdd, Walk>(kind, variant);
}

template TexturedSpanLoop<ExactTexelWalk> SelectAddLoop<ExactTexelWalk>(TexelKind, LoopVariant);
template TexturedSpanLoop<FixedTexelWalk> SelectAddLoop<FixedTexelWalk>(TexelKind, LoopVariant);

}  // namespace velk::textured_loops
