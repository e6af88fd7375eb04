// The 1:1 blit's per-pixel loops for RGB 5:6:5 images: the SSE2 loops, the fast
// branch and every general combination, instantiated here to spread the build.
#include "softrender/blit/blit_kernel.h"
#include "softrender/blit/blit_simd.h"

namespace blitk {

BlitLoop SelectRgb565PixelLoop(const BlitChoice& choice)
{
#if defined(__SSE2__)
    if (BlitLoop vector = simd::SelectRgb565Vector(choice)) return vector;
#endif
    if (choice.fast != Fast::None) return SelectFast<PixFmt::R565>(choice);
    return SelectGeneral<PixFmt::R565, false>(choice);
}

}  // namespace blitk
