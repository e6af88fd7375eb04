// GraphImage set-up, pixel access and the graph-image handle table. Pixel
// values are encoded and split through colorfmt.cpp.
#include "graphics/image/graphimage.h"

#include <cassert>
#include <cstdint>
#include <cstring>

#include "core/memory.h"

GRAPHIMAGETABLE GraphImageTable;

std::size_t GetImageBlockSize(long long pitch, long long rows)
{
    if (pitch <= 0 || rows <= 0) {
        return 0;
    }
    // Cap well below the address space so later row arithmetic in int stays sound.
    constexpr long long limit = 0x7FFFFFFFLL;
    if (pitch > limit / rows) {
        return 0;
    }
    return static_cast<std::size_t>(pitch * rows);
}

namespace {

int SetupGraphImage(int width, int height, GraphImage* image)
{
    long long pitch = (static_cast<long long>(width) * image->Format.BytesPerPixel + 3) / 4 * 4;
    image->Width = width;
    image->Height = height;
    image->Pixels = nullptr;
    std::size_t size = GetImageBlockSize(pitch, height);
    if (size == 0) {
        image->Pitch = 0;
        return -1;
    }
    image->Pitch = static_cast<int>(pitch);
    image->Pixels = AllocMemory(size, __FILE__, __LINE__);
    return image->Pixels != nullptr ? 0 : -1;
}

BYTE* PixelAt(const GraphImage* image, int x, int y)
{
    return static_cast<BYTE*>(image->Pixels) + static_cast<std::ptrdiff_t>(y) * image->Pitch +
           static_cast<std::ptrdiff_t>(x) * image->Format.BytesPerPixel;
}

bool Inside(const GraphImage* image, int x, int y)
{
    return static_cast<unsigned>(x) < static_cast<unsigned>(image->Width) &&
           static_cast<unsigned>(y) < static_cast<unsigned>(image->Height) && image->Pixels != nullptr;
}

// Places a channel so that its top bit lands on bit (top - 1).
DWORD PlaceTop(DWORD v, DWORD mask, int shift, int width, int top)
{
    if (width == 0) {
        return 0;
    }
    DWORD x = (v & mask) >> shift;
    int up = top - width;
    return up >= 0 ? x << up : x >> -up;
}

} // namespace

int SetupGraphImageARGB32(int width, int height, GraphImage* image)
{
    SetColorFormatARGB32(&image->Format);
    return SetupGraphImage(width, height, image);
}

int SetupGraphImageXRGB32(int width, int height, GraphImage* image)
{
    SetColorFormatXRGB32(&image->Format);
    return SetupGraphImage(width, height, image);
}

int SetupGraphImageRGB24(int width, int height, GraphImage* image)
{
    SetColorFormatRGB24(&image->Format);
    return SetupGraphImage(width, height, image);
}

int FreeGraphImagePixels(GraphImage* image)
{
    if (image->Pixels != nullptr) {
        FreeMemory(image->Pixels);
    }
    std::memset(image, 0, sizeof(*image));
    return 0;
}

DWORD GetGraphImagePixelPacked(const GraphImage* image, int x, int y)
{
    const COLORFMT& f = image->Format;
    if (image->Pixels == nullptr || f.BytesPerPixel < 2 || f.BytesPerPixel > 4) {
        return 0;
    }
    // Its one caller reads the top-left pixel of a non-empty image.
    assert(Inside(image, x, y));
    DWORD v = ReadPixelValue(PixelAt(image, x, y), f.BytesPerPixel);
    return PlaceTop(v, f.BlueMask, f.BlueShift, f.BlueWidth, 8) |
           PlaceTop(v, f.GreenMask, f.GreenShift, f.GreenWidth, 16) |
           PlaceTop(v, f.RedMask, f.RedShift, f.RedWidth, 24) | PlaceTop(v, f.AlphaMask, f.AlphaShift, f.AlphaWidth, 32);
}

int GetGraphImagePixelRGBA(const GraphImage* image, int x, int y, DWORD* red, DWORD* green, DWORD* blue,
                           DWORD* alpha)
{
    if (!Inside(image, x, y)) {
        return -1;
    }
    const COLORFMT& f = image->Format;
    if (f.BytesPerPixel == 1) {
        const COLORPALETTEENTRY& e = f.Palette[*PixelAt(image, x, y)];
        if (red != nullptr) *red = e.Red;
        if (green != nullptr) *green = e.Green;
        if (blue != nullptr) *blue = e.Blue;
        if (alpha != nullptr) *alpha = e.Alpha;
        return 0;
    }
    return GetColorChannelsFromValue(&f, ReadPixelValue(PixelAt(image, x, y), f.BytesPerPixel), red, green, blue,
                                     alpha);
}

int SetGraphImagePixel(GraphImage* image, int x, int y, int red, int green, int blue, int alpha)
{
    if (!Inside(image, x, y)) {
        return -1;
    }
    int bytes = image->Format.BytesPerPixel;
    if (bytes >= 1 && bytes <= 4) {
        WritePixelValue(PixelAt(image, x, y), bytes, GetColorValueInFormat(&image->Format, red, green, blue, alpha));
    }
    return 0;
}

int FillGraphImageColor(GraphImage* image, int red, int green, int blue, int alpha)
{
    int bytes = image->Format.BytesPerPixel;
    if (bytes < 2 || bytes > 4 || image->Pixels == nullptr) {
        return 0;
    }
    DWORD v = GetColorValueInFormat(&image->Format, red, green, blue, alpha);
    for (int y = 0; y < image->Height; ++y) {
        BYTE* p = PixelAt(image, 0, y);
        for (int x = 0; x < image->Width; ++x, p += bytes) {
            WritePixelValue(p, bytes, v);
        }
    }
    return 0;
}

int MirrorGraphImageHorizontally(GraphImage* image)
{
    if (image->Width == 0 || image->Height == 0) {
        return -1;
    }
    int bytes = image->Format.BytesPerPixel;
    if (bytes == 0 || bytes > 4 || image->Pixels == nullptr) {
        return 0;
    }
    for (int y = 0; y < image->Height; ++y) {
        for (int i = 0; i < image->Width / 2; ++i) {
            BYTE* a = PixelAt(image, i, y);
            BYTE* b = PixelAt(image, image->Width - 1 - i, y);
            BYTE t[4];
            std::memcpy(t, a, bytes);
            std::memcpy(a, b, bytes);
            std::memcpy(b, t, bytes);
        }
    }
    return 0;
}

int DropGraphImageHandle(HANDLEVALUE handle)
{
    GRAPHIMAGEREC* rec = GetHandleRecord(GraphImageTable, handle);
    if (rec == nullptr) {
        return -1;
    }
    FreeGraphImagePixels(&rec->Image);
    return ReleaseHandleRecord(GraphImageTable, handle);
}

int DropGraphImageHandleTable()
{
    DeleteAllHandleRecords(GraphImageTable, DropGraphImageHandle);
    return 0;
}
