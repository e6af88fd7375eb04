// Test fixtures for the software kernels (see soft_image.h).
#include "soft_image.h"

#include <cstring>
#include <stdexcept>

#include "graphics/blendtable.h"

SoftImage::SoftImage(int width, int height, int format, bool palette, bool alpha, std::uint32_t key)
{
    if (AllocateMemImg(&img_, width, height, -1, key, format, palette, alpha, 0, nullptr) != 0)
        throw std::runtime_error("AllocateMemImg failed");
    for (int y = 0; y < height; ++y) std::memset(img_.Pixels + y * img_.Body->Pitch, 0, img_.Body->Pitch);
}

SoftImage::~SoftImage() { DropMemImgReference(&img_); }

std::uint32_t SoftImage::Get(int x, int y) const
{
    const int n = MemImgBytesPerPixel(img_.Body);
    std::uint32_t v = 0;
    std::memcpy(&v, img_.Pixels + y * img_.Body->Pitch + x * n, n);
    return v;
}

void SoftImage::Set(int x, int y, std::uint32_t v)
{
    const int n = MemImgBytesPerPixel(img_.Body);
    std::memcpy(img_.Pixels + y * img_.Body->Pitch + x * n, &v, n);
}

void SoftImage::Fill(std::uint32_t v)
{
    for (int y = 0; y < img_.Height; ++y)
        for (int x = 0; x < img_.Width; ++x) Set(x, y, v);
}

void SoftImage::SetPaletteEntry(int i, std::uint32_t v)
{
    const int n = img_.Body->PixelFormat == 0 ? 2 : 4;
    std::memcpy(img_.Body->Palette + i * n, &v, n);
}

KERNELPARAMS ResetKernelParams(int left, int top, int right, int bottom)
{
    static bool built = false;
    if (!built) {
        BuildSoftBlendTables();
        built = true;
    }
    for (int g = 0; g < 256; ++g) BlendTables.BlendGraphFactorTable[g] = static_cast<BYTE>(g);
    return KERNELPARAMS{BlendMode::Copy, 255, 0xFFFFFF, RECT{left, top, right, bottom}, nullptr, true};
}
