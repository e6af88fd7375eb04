// The instruction-set levels of the kernels' vector loops: what this
// processor has, found once, and the level a draw may use.
// No neighbours; the graph layer copies the host level into KERNELPARAMS.
#pragma once

#include "softrender/kernelparams.h"

namespace softrender {

// The widest level this processor runs, detected on the first call.
IsaLevel HostIsaLevel();

// asked, lowered to what the processor runs: a test may ask for any level.
inline IsaLevel UsableIsaLevel(IsaLevel asked)
{
    const IsaLevel host = HostIsaLevel();
    return static_cast<int>(asked) < static_cast<int>(host) ? asked : host;
}

}  // namespace softrender
