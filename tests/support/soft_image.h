// Test fixtures for the software kernels: a MEMIMG owned by the test with
// pixel get/set, and a drawing state reset to a known area and mode.
#pragma once

#include <cstdint>

#include "graphics/memimg.h"

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

// Blend tables built, a draw area, mode 0, parameter 255, white brightness,
// blend-graph factors the identity.
void ResetKernelDrawState(int left, int top, int right, int bottom);
