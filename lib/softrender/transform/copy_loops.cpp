// The copy loops (mode 0, and mode 1 at parameter 255).
#include "lib/softrender/transform/textured_loops.h"

namespace velk::textured_loops {

template <class Walk>
TexturedSpanLoop<Walk> SelectCopyLoop(TexelKind kind, LoopVariant variant) {
    return SelectModeLoop<kBlendModePlain, Walk>(kind, variant);
}

template TexturedSpanLoop<ExactTexelWalk> SelectCopyLoop<ExactTexelWalk>(TexelKind, LoopVariant);
template TexturedSpanLoop<FixedTexelWalk> SelectCopyLoop<FixedTexelWalk>(TexelKind, LoopVariant);

}  // namespace velk::textured_loops
