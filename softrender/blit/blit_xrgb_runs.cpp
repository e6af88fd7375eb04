// The 1:1 blit's run-length loops for XRGB 8:8:8:8 images (whole, unclipped sources
// with a prepared run table), instantiated here to spread the build.
#include "softrender/blit/blit_kernel.h"
#include "softrender/blit/blit_simd.h"

namespace blitk {

BlitLoop SelectXrgbRunLoop(const BlitChoice& choice) { return simd::SelectRunLoopAtLevel<PixFmt::X8888>(choice); }

}  // namespace blitk
