// The 1:1 blit's run-length loops for RGB 5:6:5 images (whole, unclipped sources
// with a prepared run table), instantiated here to spread the build.
#include "softrender/blit/blit_kernel.h"
#include "softrender/blit/blit_simd.h"

namespace blitk {

BlitLoop SelectRgb565RunLoop(const BlitChoice& choice) { return simd::SelectRunLoopAtLevel<PixFmt::R565>(choice); }

}  // namespace blitk
