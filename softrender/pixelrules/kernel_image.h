// What the rotate and 3D triangle kernels read of a MEMIMG, fetched once per
// draw.
// Reads graphics/memimg; no state.
#pragma once

#include <algorithm>
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

// Whether two drawable images' rows share any byte (an image drawn onto
// itself, or one image viewed as two): vector loops that read ahead of their
// stores give way to the pixel-by-pixel order then.
inline bool ImagesShareBytes(const MEMIMG* a, const MEMIMG* b)
{
    auto range = [](const MEMIMG* m, std::uintptr_t* lo, std::uintptr_t* hi) {
        const std::ptrdiff_t pitch = m->Body->Pitch;
        const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(m->Pixels);
        const std::uintptr_t last = first + static_cast<std::uintptr_t>(static_cast<std::ptrdiff_t>(m->Height - 1) * pitch);
        *lo = std::min(first, last);
        *hi = std::max(first, last) + static_cast<std::uintptr_t>(pitch < 0 ? -pitch : pitch);
    };
    if (a == nullptr || b == nullptr || a->Height <= 0 || b->Height <= 0) return false;
    std::uintptr_t aLo, aHi, bLo, bHi;
    range(a, &aLo, &aHi);
    range(b, &bLo, &bHi);
    return aLo < bHi && bLo < aHi;
}

}  // namespace softrender
