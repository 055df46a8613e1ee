// The multiply-then-alpha loops (mode 11).
#include "lib/softrender/transform/textured_loops.h"

namespace velk::textured_loops {

template <class Walk>
TexturedSpanLoop<Walk> SelectMultiplyAlphaLoop(TexelKind kind, LoopVariant variant) {
    return SelectModeLoop<kBlendModeMultiplyAlpha, Walk>(kind, variant);
}

template TexturedSpanLoop<ExactTexelWalk> SelectMultiplyAlphaLoop<ExactTexelWalk>(TexelKind, LoopVariant);
template TexturedSpanLoop<FixedTexelWalk> SelectMultiplyAlphaLoop<FixedTexelWalk>(TexelKind, LoopVariant);

}  // namespace velk::textured_loops
