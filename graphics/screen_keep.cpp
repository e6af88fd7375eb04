// Owns the copy of the back screen taken around a mode switch; reads and
// writes the back surface or the back screen's software image.
#include "graphics/screen_keep.h"

#include "graphics/screen.h"

#include <cstring>
#include <vector>

struct KEPTSCREEN {
    int Width;
    int Height;
    int BytesPerPixel;
    std::vector<BYTE> Rows;
};

namespace {

// The back screen's pixels, either in its software image or a locked surface.
struct BackPixels {
    BYTE* Pixels = nullptr;
    int Pitch = 0;
    int Width = 0;
    int Height = 0;
    int BytesPerPixel = 0;
    IDirectDrawSurface7* Locked = nullptr;
};

bool OpenBack(BackPixels* b, DWORD lockFlags)
{
    SCREENSTATE& s = ScreenState;
    if (IsMemImgAlive(&s.BackImage) != 0 && s.BackImage.Body->ExternalPixels == 0) {
        b->Pixels = s.BackImage.Pixels;
        b->Pitch = s.BackImage.Body->Pitch;
        b->Width = s.BackImage.Width;
        b->Height = s.BackImage.Height;
        b->BytesPerPixel = MemImgBytesPerPixel(s.BackImage.Body);
        return true;
    }
    if (s.BackSurface == nullptr) return false;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (s.BackSurface->Lock(nullptr, &desc, DDLOCK_WAIT | lockFlags, nullptr) != DD_OK) return false;
    b->Locked = s.BackSurface;
    b->Pixels = static_cast<BYTE*>(desc.lpSurface);
    b->Pitch = static_cast<int>(desc.lPitch);
    b->Width = static_cast<int>(desc.dwWidth);
    b->Height = static_cast<int>(desc.dwHeight);
    b->BytesPerPixel = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    return true;
}

void CloseBack(BackPixels* b)
{
    if (b->Locked != nullptr) b->Locked->Unlock(nullptr);
}

} // namespace

KEPTSCREEN* SaveBackScreenPixels()
{
    BackPixels b;
    if (!OpenBack(&b, DDLOCK_READONLY)) return nullptr;
    KEPTSCREEN* kept = new KEPTSCREEN{b.Width, b.Height, b.BytesPerPixel, {}};
    const std::size_t row = static_cast<std::size_t>(b.Width) * b.BytesPerPixel;
    kept->Rows.resize(row * b.Height);
    for (int y = 0; y < b.Height; ++y) std::memcpy(&kept->Rows[row * y], b.Pixels + static_cast<std::size_t>(b.Pitch) * y, row);
    CloseBack(&b);
    return kept;
}

void RestoreBackScreenPixels(KEPTSCREEN* kept)
{
    if (kept == nullptr) return;
    BackPixels b;
    if (OpenBack(&b, DDLOCK_WRITEONLY)) {
        if (b.Width == kept->Width && b.Height == kept->Height && b.BytesPerPixel == kept->BytesPerPixel) {
            const std::size_t row = static_cast<std::size_t>(b.Width) * b.BytesPerPixel;
            for (int y = 0; y < b.Height; ++y) {
                std::memcpy(b.Pixels + static_cast<std::size_t>(b.Pitch) * y, &kept->Rows[row * y], row);
            }
        }
        CloseBack(&b);
    }
    delete kept;
}
