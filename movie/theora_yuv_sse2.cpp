// The SSE2 loop of the fixed-point 4:2:0 conversion: 16 pixels of each row
// a pass. No neighbours.
#include "movie/theora_yuv_loop.h"

#include "softrender/simd/vec128.h"

namespace {

struct Loads128 {
    using V = softrender::simd::V128;
    static V::T Luma(const BYTE* p) { return V::Load(p); }
    static V::T Chroma(const BYTE* p)
    {
        return V::UnpackLo8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), V::Zero());
    }
};

} // namespace

int ConvertTheoraRowPairSse2(const Theora420RowPair& rows)
{
    return theora_yuv::ConvertRowPair<softrender::simd::V128, Loads128>(rows);
}
