// The 1:1 blit's per-pixel loops for XRGB 8:8:8:8 images: the SSE2 loops of
// the commonest combinations, the fast branch and every general combination,
// instantiated here to spread the build.
#include "softrender/blit/blit_kernel.h"
#include "softrender/blit/blit_simd.h"

namespace blitk {

BlitLoop SelectXrgbPixelLoop(const BlitChoice& choice)
{
#if defined(__SSE2__)
    if (BlitLoop vector = simd::SelectXrgbVector(choice)) return vector;
#endif
    if (choice.fast != Fast::None) return SelectFast<PixFmt::X8888>(choice);
    return SelectGeneral<PixFmt::X8888, false>(choice);
}

}  // namespace blitk
