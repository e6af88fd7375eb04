// The 1:1 blit's per-pixel loops for RGB 5:6:5 images: the fast branch and every
// general combination, instantiated here to spread the build.
#include "softrender/blit/blit_kernel.h"

namespace blitk {

BlitLoop SelectRgb565PixelLoop(const BlitChoice& choice)
{
    if (choice.fast != Fast::None) return SelectFast<0>(choice);
    return SelectGeneral<0, false>(choice);
}

}  // namespace blitk
