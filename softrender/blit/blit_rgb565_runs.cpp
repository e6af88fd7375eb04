// The 1:1 blit's run-length loops for RGB 5:6:5 images (whole, unclipped sources
// with a prepared run table), instantiated here to spread the build.
#include "softrender/blit/blit_kernel.h"
#include "softrender/blit/blit_simd.h"

namespace blitk {

BlitLoop SelectRgb565RunLoop(const BlitChoice& choice)
{
    if (choice.isa == IsaLevel::Avx2) {
        if (BlitLoop vector = SelectRunCopyAvx2(choice, 2)) return vector;
    }
    if (choice.isa != IsaLevel::Portable) {
        if (BlitLoop vector = simd::SelectRunCopy<softrender::simd::V128, 2>(choice)) return vector;
    }
    return SelectGeneral<PixFmt::R565, true>(choice);
}

}  // namespace blitk
