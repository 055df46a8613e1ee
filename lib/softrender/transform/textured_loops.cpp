#include "lib/softrender/transform/textured_loops.h"

namespace velk {

template <class Walk>
TexturedSpanLoop<Walk> FindTexturedSpanLoop(TexelKind kind, int mode, LoopVariant variant) {
    using namespace textured_loops;
    switch (mode) {
        case kBlendModePlain: return SelectCopyLoop<Walk>(kind, variant);
        case kBlendModeAlpha: return SelectAlphaLoop<Walk>(kind, variant);
        case kBlendModeAdd: return SelectAddLoop<Walk>(kind, variant);
        case kBlendModeSubtract: return SelectSubtractLoop<Walk>(kind, variant);
        case kBlendModeMultiply: return SelectMultiplyLoop<Walk>(kind, variant);
        case kBlendModeInvertedAlpha: return SelectInvertedAlphaLoop<Walk>(kind, variant);
        case kBlendModeMultiplyAlpha: return SelectMultiplyAlphaLoop<Walk>(kind, variant);
        default: return nullptr;
    }
}

template TexturedSpanLoop<ExactTexelWalk> FindTexturedSpanLoop<ExactTexelWalk>(TexelKind, int, LoopVariant);
template TexturedSpanLoop<FixedTexelWalk> FindTexturedSpanLoop<FixedTexelWalk>(TexelKind, int, LoopVariant);

}  // namespace velk
