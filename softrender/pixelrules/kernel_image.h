// What the rotate and 3D triangle kernels read of a MEMIMG, fetched once per
// draw.
// Reads graphics/memimg; no state.
#pragma once

#include <cstdint>

#include "graphics/memimg.h"

namespace softrender {

struct KernelImage {
    BYTE* pixels;
    int width;
    int height;
    int pitch;
    int format;      // 0 RGB 5:6:5, 1 XRGB 8:8:8:8, 2 one byte, 3 depth
    int usePalette;  // texels are 8-bit indices
    int useAlpha;
    DWORD colorKey;
    const BYTE* palette;  // the image's own 256 entries
};

inline KernelImage ReadKernelImage(const MEMIMG* img)
{
    const MEMIMGBODY* b = img->Body;
    KernelImage k;
    k.pixels = img->Pixels;
    k.width = img->Width;
    k.height = img->Height;
    k.pitch = b->Pitch;
    k.format = b->PixelFormat;
    k.usePalette = b->UsePalette;
    k.useAlpha = b->UseAlpha;
    k.colorKey = b->ColorKey;
    k.palette = b->Palette;
    return k;
}

// A header that is alive and has pixels; the kernels refuse anything else.
inline bool IsDrawableImage(const MEMIMG* img)
{
    return img != nullptr && img->Tag == MEMIMG_TAG && img->Body != nullptr && img->Pixels != nullptr;
}

}  // namespace softrender
