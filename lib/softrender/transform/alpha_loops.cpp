// The alpha loops (mode 1).
#include "lib/softrender/transform/textured_loops.h"

namespace velk::textured_loops {

template <class Walk>
TexturedSpanLoop<Walk> SelectAlphaLoop(TexelKind kind, LoopVariant variant) {
    return SelectModeLoop<kBlendModeAlpha, Walk>(kind, variant);
}

template TexturedSpanLoop<ExactTexelWalk> SelectAlphaLoop<ExactTexelWalk>(TexelKind, LoopVariant);
template TexturedSpanLoop<FixedTexelWalk> SelectAlphaLoop<FixedTexelWalk>(TexelKind, LoopVariant);

}  // namespace velk::textured_loops
