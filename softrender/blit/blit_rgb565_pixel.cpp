// The 1:1 blit's per-pixel loops for RGB 5:6:5 images: the vector loops at the
// draw's level, the fast branch and every general combination, instantiated
// here to spread the build.
#include "softrender/blit/blit_kernel.h"
#include "softrender/blit/blit_simd.h"

namespace blitk {

BlitLoop SelectRgb565PixelLoop(const BlitChoice& choice)
{
    if (choice.isa == IsaLevel::Avx2) {
        if (BlitLoop vector = SelectRgb565VectorAvx2(choice)) return vector;
    }
    if (choice.isa != IsaLevel::Portable) {
        if (BlitLoop vector = simd::SelectRgb565Vector<softrender::simd::V128>(choice)) return vector;
    }
    if (choice.fast != Fast::None) return SelectFast<PixFmt::R565>(choice);
    return SelectGeneral<PixFmt::R565, false>(choice);
}

}  // namespace blitk
