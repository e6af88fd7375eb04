// The converting copy: the one routine through which pixels move between
// images, surfaces, textures and software images, plus the image layer's
// dither option word. Layouts come from colorfmt.h.
#pragma once

#include "graphics/image/colorfmt.h"
#include "platform/kernel/types.h"

// Copies srcRect (right and bottom exclusive) of src to (dstX, dstY) of dst,
// converting between the two layouts. The caller guarantees that the rectangle
// lies inside the source (and alpha source) and fits in the destination.
// Answers -1 for an empty rectangle, the largest index for a plain copy
// between palette images, else 0.
int CopyPixelsConvertingFormat(void* dst, int dstPitch, const COLORFMT* dstFormat, const void* src, int srcPitch,
                               const COLORFMT* srcFormat, const void* alphaSrc, int alphaPitch,
                               const COLORFMT* alphaFormat, int dstX, int dstY, const RECT* srcRect,
                               int mirror, int keyToAlpha, DWORD keyColor, int dither, int colorOff,
                               int alphaFromRed, int keySkip, int paletteRemap);

