// The flat-colour shape kernels: filled rectangles, lines, circle outlines
// and discs, drawn into an XRGB8888 or RGB565 MEMIMG under the blend mode,
// parameter and brightness of their KERNELPARAMS, clipped to its draw area.
// Nothing is reported; a call that cannot be drawn leaves the image untouched.
#pragma once

#include "graphics/memimg.h"
#include "platform/kernel/types.h"
#include "softrender/kernelparams.h"

namespace softrender {

// A null rectangle means the whole view; corners may come in either order.
void FillMemImgRect(const KERNELPARAMS& k, MEMIMG* dst, const RECT* rect, DWORD colour);
// (x2, y2) is the exclusive corner.
void FillMemImgRectByCorners(const KERNELPARAMS& k, MEMIMG* dst, int x1, int y1, int x2, int y2, DWORD colour);
// (x1, y1) is drawn, (x2, y2) is not.
void PlotMemImgLine(const KERNELPARAMS& k, MEMIMG* dst, int x1, int y1, int x2, int y2, DWORD colour);
// fill 0 draws the outline, any other value the disc.
void PlotMemImgCircle(const KERNELPARAMS& k, MEMIMG* dst, int x, int y, int r, DWORD colour, int fill);

}  // namespace softrender
