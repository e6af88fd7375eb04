// The flat-colour shape kernels: filled rectangles, lines, circle outlines
// and discs, drawn into an XRGB8888 or RGB565 MEMIMG under the current blend
// mode, parameter and brightness, clipped to DrawArea. Nothing is reported;
// a call that cannot be drawn leaves the image untouched.
#pragma once

#include "graphics/memimg.h"
#include "platform/kernel/types.h"

// A null rectangle means the whole view; corners may come in either order.
void FillMemImgRect(MEMIMG* dst, const RECT* rect, DWORD colour);
// (x2, y2) is the exclusive corner.
void FillMemImgRectByCorners(MEMIMG* dst, int x1, int y1, int x2, int y2, DWORD colour);
// (x1, y1) is drawn, (x2, y2) is not.
void PlotMemImgLine(MEMIMG* dst, int x1, int y1, int x2, int y2, DWORD colour);
// fill 0 draws the outline, any other value the disc.
void PlotMemImgCircle(MEMIMG* dst, int x, int y, int r, DWORD colour, int fill);
