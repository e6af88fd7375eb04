// Test fixtures for the software kernels: a MEMIMG owned by the test with
// pixel get/set, and the parameters of a draw over a known area and mode.
#pragma once

#include <cstdint>

#include "graphics/memimg.h"
#include "softrender/kernelparams.h"

class SoftImage {
public:
    // format 0 (RGB565), 1 (XRGB8888) or 2 (blend graph).
    SoftImage(int width, int height, int format, bool palette = false, bool alpha = false, std::uint32_t key = 0);
    ~SoftImage();
    SoftImage(const SoftImage&) = delete;
    SoftImage& operator=(const SoftImage&) = delete;

    MEMIMG* Img() { return &img_; }
    int Width() const { return img_.Width; }
    int Height() const { return img_.Height; }
    // The raw pixel: 1, 2 or 4 bytes by the image's bytes per pixel.
    std::uint32_t Get(int x, int y) const;
    void Set(int x, int y, std::uint32_t v);
    void Fill(std::uint32_t v);
    void SetPaletteEntry(int i, std::uint32_t v);

private:
    MEMIMG img_{};
};

// Blend tables built and blend-graph factors the identity; answers the
// parameters of a copy (mode 0, parameter 255, white brightness, MMX, no
// blend graph) over the draw area.
KERNELPARAMS ResetKernelParams(int left, int top, int right, int bottom);

inline KERNELPARAMS WithGraph(KERNELPARAMS k, const MEMIMG* blendGraph)
{
    k.BlendGraph = blendGraph;
    return k;
}
