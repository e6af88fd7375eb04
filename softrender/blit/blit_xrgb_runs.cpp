// The 1:1 blit's run-length loops for XRGB 8:8:8:8 images (whole, unclipped sources
// with a prepared run table), instantiated here to spread the build.
#include "softrender/blit/blit_kernel.h"
#include "softrender/blit/blit_simd.h"

namespace blitk {

BlitLoop SelectXrgbRunLoop(const BlitChoice& choice)
{
    if (choice.isa == IsaLevel::Avx2) {
        if (BlitLoop vector = SelectRunCopyAvx2(choice, 4)) return vector;
    }
    if (choice.isa != IsaLevel::Portable) {
        if (BlitLoop vector = simd::SelectRunCopy<softrender::simd::V128, 4>(choice)) return vector;
    }
    return SelectGeneral<PixFmt::X8888, true>(choice);
}

}  // namespace blitk
