// The 1:1 blit's per-pixel loops for XRGB 8:8:8:8 images: the vector loops of
// the commonest combinations at the draw's level, the fast branch and every
// general combination, instantiated here to spread the build.
#include "softrender/blit/blit_kernel.h"
#include "softrender/blit/blit_simd.h"

namespace blitk {

BlitLoop SelectXrgbPixelLoop(const BlitChoice& choice)
{
    if (choice.isa == IsaLevel::Avx2) {
        if (BlitLoop vector = SelectXrgbVectorAvx2(choice)) return vector;
    }
    if (choice.isa != IsaLevel::Portable) {
        if (BlitLoop vector = simd::SelectXrgbVector<softrender::simd::V128>(choice)) return vector;
    }
    if (choice.fast != Fast::None) return SelectFast<PixFmt::X8888>(choice);
    return SelectGeneral<PixFmt::X8888, false>(choice);
}

}  // namespace blitk
