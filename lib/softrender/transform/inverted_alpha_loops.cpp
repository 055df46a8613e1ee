// The loops of alpha with the inverted source (mode 10).
#include "lib/softrender/transform/textured_loops.h"

namespace velk::textured_loops {

template <class Walk>
TexturedSpanLoop<Walk> SelectInvertedAlphaLoop(TexelKind kind, LoopVariant variant) {
    return SelectModeLoop<kBlendModeInvertedAlpha, Walk>(kind, variant);
}

template TexturedSpanLoop<ExactTexelWalk> SelectInvertedAlphaLoop<ExactTexelWalk>(TexelKind, LoopVariant);
template TexturedSpanLoop<FixedTexelWalk> SelectInvertedAlphaLoop<FixedTexelWalk>(TexelKind, LoopVariant);

}  // namespace velk::textured_loops
