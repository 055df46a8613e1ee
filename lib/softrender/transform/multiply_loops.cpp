// The multiply loops (mode 4).
#include "lib/softrender/transform/textured_loops.h"

namespace velk::textured_loops {

template <class Walk>
TexturedSpanLoop<Walk> SelectMultiplyLoop(TexelKind kind, LoopVariant variant) {
    return SelectModeLoop<kBlendModeMultiply, Walk>(kind, variant);
}

template TexturedSpanLoop<ExactTexelWalk> SelectMultiplyLoop<ExactTexelWalk>(TexelKind, LoopVariant);
template TexturedSpanLoop<FixedTexelWalk> SelectMultiplyLoop<FixedTexelWalk>(TexelKind, LoopVariant);

}  // namespace velk::textured_loops
