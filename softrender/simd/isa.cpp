// Detects the host's instruction-set level once, through the compiler's
// processor query. No neighbours.
#include "softrender/simd/isa.h"

namespace {

IsaLevel Detect()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return IsaLevel::Avx2;
    if (__builtin_cpu_supports("sse2")) return IsaLevel::Sse2;
    return IsaLevel::Portable;
}

}  // namespace

IsaLevel softrender::HostIsaLevel()
{
    static const IsaLevel level = Detect();
    return level;
}
