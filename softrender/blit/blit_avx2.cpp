// The 1:1 blit's vector loops at the AVX2 level: blit_simd.h's templates
// instantiated on V256. Everything below the target switch is compiled for
// AVX2 and reached only when the processor has it (softrender/simd/isa.h).
#include "softrender/blit/blit_kernel.h"
#include "softrender/simd/vec128.h"

#include "softrender/simd/avx2_begin.h"
#include "softrender/blit/blit_simd.h"
#include "softrender/simd/vec256.h"

namespace blitk {

BlitLoop SelectXrgbVectorAvx2(const BlitChoice& choice)
{
    return simd::SelectXrgbVector<softrender::simd::V256>(choice);
}

BlitLoop SelectRgb565VectorAvx2(const BlitChoice& choice)
{
    return simd::SelectRgb565Vector<softrender::simd::V256>(choice);
}

BlitLoop SelectRunCopyAvx2(const BlitChoice& choice, int bytesPerPixel)
{
    using softrender::simd::V256;
    return bytesPerPixel == 4 ? simd::SelectRunCopy<V256, 4>(choice) : simd::SelectRunCopy<V256, 2>(choice);
}

}  // namespace blitk

#include "softrender/simd/avx2_end.h"
