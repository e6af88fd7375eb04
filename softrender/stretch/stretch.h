// Stretch kernel: draws a whole source MEMIMG into a rectangle of a
// destination MEMIMG, enlarged, reduced or mirrored, under the blend mode,
// parameter, brightness and blend graph of its KERNELPARAMS, with an optional colour key.
#pragma once

#include "graphics/memimg.h"
#include "platform/kernel/types.h"
#include "softrender/kernelparams.h"

// Two opposite corners of the destination rectangle as the stretched draw
// received them; x1 > x2 mirrors left-right, y1 > y2 top-bottom. The layout
// of a RECT.
struct STRETCHBLOCK {
    LONG x1;
    LONG y1;
    LONG x2;
    LONG y2;
};

// A same-size, unmirrored draw goes to BlitMemImg. Nothing is drawn for an
// empty rectangle, a source of format other than RGB565/XRGB8888, a source
// wider or taller than 65,536, a destination of another format or with a
// palette (or an RGB565 one with alpha), a blend graph smaller than the
// source, or a blend mode that draws nothing.
namespace softrender {
void StretchBlitMemImg(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMG* src, const STRETCHBLOCK* corners,
                       int keyFlag);
}  // namespace softrender
