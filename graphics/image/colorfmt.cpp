// Pixel layouts: fixed formats, mask analysis and colour values. Pure
// functions over caller-owned COLORFMT records; no state.
#include "graphics/image/colorfmt.h"

#include <cstring>

namespace {

struct MaskRun {
    BYTE Shift;
    BYTE Width;
};

// Lowest run of set bits: a mask with a gap counts only that run.
MaskRun AnalyseMask(DWORD mask)
{
    MaskRun run{0, 0};
    if (mask == 0) {
        return run;
    }
    while (((mask >> run.Shift) & 1u) == 0) {
        ++run.Shift;
    }
    while (run.Shift + run.Width < 32 && ((mask >> (run.Shift + run.Width)) & 1u) != 0) {
        ++run.Width;
    }
    return run;
}

// All bits of a pixel of the given size; bit counts outside 1..32 have none.
DWORD PixelBits(int bits)
{
    if (bits <= 0) {
        return 0;
    }
    if (bits >= 32) {
        return 0xFFFFFFFFu;
    }
    return (1u << bits) - 1u;
}

DWORD ChannelMax(int width)
{
    return PixelBits(width);
}

void SetChannels(COLORFMT* f, DWORD r, DWORD g, DWORD b, DWORD a)
{
    f->RedMask = r;
    f->GreenMask = g;
    f->BlueMask = b;
    f->AlphaMask = a;
    MaskRun rr = AnalyseMask(r), gr = AnalyseMask(g), br = AnalyseMask(b), ar = AnalyseMask(a);
    f->RedShift = rr.Shift;
    f->RedWidth = rr.Width;
    f->GreenShift = gr.Shift;
    f->GreenWidth = gr.Width;
    f->BlueShift = br.Shift;
    f->BlueWidth = br.Width;
    f->AlphaShift = ar.Shift;
    f->AlphaWidth = ar.Width;
}

void SetSpare(COLORFMT* f, DWORD spare)
{
    f->SpareMask = spare;
    MaskRun sr = AnalyseMask(spare);
    f->SpareShift = sr.Shift;
    f->SpareWidth = sr.Width;
}

// The fixed 8:8:8 layouts write their fields directly and leave the palette.
void SetFixed(COLORFMT* f, int bits, DWORD alphaMask, DWORD spare)
{
    f->BitsPerPixel = static_cast<WORD>(bits);
    f->BytesPerPixel = static_cast<WORD>(bits / 8);
    f->FormatKind = 0;
    SetChannels(f, 0xFF0000, 0xFF00, 0xFF, alphaMask);
    f->SpareMask = spare;
}

DWORD ResizeChannel(DWORD x, int fromWidth, int toWidth)
{
    if (toWidth > fromWidth) {
        return static_cast<DWORD>(static_cast<std::uint64_t>(x) << (toWidth - fromWidth));
    }
    if (fromWidth > toWidth) {
        return static_cast<DWORD>(static_cast<std::uint64_t>(x) >> (fromWidth - toWidth));
    }
    return x;
}

DWORD Place(DWORD x, int shift)
{
    return static_cast<DWORD>(static_cast<std::uint64_t>(x) << shift);
}

} // namespace

int SetColorFormatFromMasks(COLORFMT* format, int bitsPerPixel, DWORD redMask, DWORD greenMask, DWORD blueMask,
                            DWORD alphaMask)
{
    format->BitsPerPixel = static_cast<WORD>(bitsPerPixel);
    format->BytesPerPixel = static_cast<WORD>(bitsPerPixel / 8);
    format->FormatKind = 0;
    SetChannels(format, redMask, greenMask, blueMask, alphaMask);
    SetSpare(format, PixelBits(bitsPerPixel) & ~(redMask | greenMask | blueMask | alphaMask));
    return 0;
}

int SetColorFormatFromDDPixelFormat(const DDPIXELFORMAT* pixelFormat, COLORFMT* format)
{
    int bits = static_cast<int>(pixelFormat->dwRGBBitCount & 0xFF);
    format->BitsPerPixel = static_cast<WORD>(bits);
    format->BytesPerPixel = static_cast<WORD>(bits / 8);
    SetChannels(format, pixelFormat->dwRBitMask, pixelFormat->dwGBitMask, pixelFormat->dwBBitMask,
                pixelFormat->dwRGBAlphaBitMask);
    SetSpare(format, PixelBits(bits) & ~(pixelFormat->dwRBitMask | pixelFormat->dwGBitMask |
                                         pixelFormat->dwBBitMask | pixelFormat->dwRGBAlphaBitMask));
    return 0;
}

int FillRGBPixelFormat(DDPIXELFORMAT* pixelFormat, int bitsPerPixel, DWORD redMask, DWORD greenMask, DWORD blueMask,
                       DWORD alphaMask)
{
    std::memset(pixelFormat, 0, sizeof(*pixelFormat));
    pixelFormat->dwSize = sizeof(DDPIXELFORMAT);
    pixelFormat->dwFlags = DDPF_RGB;
    pixelFormat->dwRGBBitCount = static_cast<DWORD>(bitsPerPixel);
    pixelFormat->dwRBitMask = redMask;
    pixelFormat->dwGBitMask = greenMask;
    pixelFormat->dwBBitMask = blueMask;
    pixelFormat->dwRGBAlphaBitMask = alphaMask;
    return 0;
}

int SetColorFormatPalette8(COLORFMT* format)
{
    SetFixed(format, 8, 0, 0xFF000000u);
    return 0;
}

int SetColorFormatGray8(COLORFMT* format)
{
    SetFixed(format, 8, 0, 0xFF000000u);
    for (int i = 0; i < 256; ++i) {
        format->Palette[i] = COLORPALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    }
    return 0;
}

int SetColorFormatRGB24(COLORFMT* format)
{
    SetFixed(format, 24, 0, 0);
    return 0;
}

int SetColorFormatXRGB32(COLORFMT* format)
{
    SetFixed(format, 32, 0, 0xFF000000u);
    format->SpareShift = 24;
    format->SpareWidth = 8;
    return 0;
}

int SetColorFormatARGB32(COLORFMT* format)
{
    SetFixed(format, 32, 0xFF000000u, 0);
    return 0;
}

void UpdateColorFormatUnusedMask(COLORFMT* format)
{
    int used = format->RedWidth + format->GreenWidth + format->BlueWidth + format->AlphaWidth;
    if (used == format->BitsPerPixel) {
        format->SpareMask = 0;
    } else {
        format->SpareMask = PixelBits(format->BitsPerPixel) &
                            ~(format->RedMask | format->GreenMask | format->BlueMask | format->AlphaMask);
    }
}

int IsSameColorFormat(const COLORFMT* a, const COLORFMT* b)
{
    if (a->BitsPerPixel == 0 && b->BitsPerPixel == 0 && a->FormatKind != b->FormatKind) {
        return 0;
    }
    return a->BitsPerPixel == b->BitsPerPixel && a->RedMask == b->RedMask && a->GreenMask == b->GreenMask &&
                   a->BlueMask == b->BlueMask && a->AlphaMask == b->AlphaMask
               ? 1
               : 0;
}

DWORD GetColorValueInFormat(const COLORFMT* format, int red, int green, int blue, int alpha)
{
    if (format->BytesPerPixel == 1) {
        int best = 0;
        int bestDistance = 0xFFFFFF;
        for (int i = 0; i < 256; ++i) {
            const COLORPALETTEENTRY& e = format->Palette[i];
            int dr = e.Red - red, dg = e.Green - green, db = e.Blue - blue;
            int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        return static_cast<DWORD>(best);
    }
    auto channel = [](int c, int width, int shift) -> DWORD {
        if (width > 8) {
            return 0;
        }
        return Place(static_cast<DWORD>(c & 255) >> (8 - width), shift);
    };
    DWORD v = channel(red, format->RedWidth, format->RedShift) | channel(green, format->GreenWidth, format->GreenShift) |
              channel(blue, format->BlueWidth, format->BlueShift);
    v |= format->SpareMask;
    if (format->AlphaWidth != 0) {
        v |= channel(alpha, format->AlphaWidth, format->AlphaShift);
    }
    return v;
}

DWORD ConvertColorValueBetweenFormats(const COLORFMT* target, const COLORFMT* source, DWORD value)
{
    auto take = [&](DWORD smask, int sshift, int swidth, int twidth) {
        return ResizeChannel((value & smask) >> sshift, swidth, twidth);
    };
    DWORD r = take(source->RedMask, source->RedShift, source->RedWidth, target->RedWidth);
    DWORD g = take(source->GreenMask, source->GreenShift, source->GreenWidth, target->GreenWidth);
    DWORD b = take(source->BlueMask, source->BlueShift, source->BlueWidth, target->BlueWidth);
    DWORD a;
    if (source->AlphaWidth == 0) {
        a = target->AlphaMask >> target->AlphaShift;
    } else {
        a = take(source->AlphaMask, source->AlphaShift, source->AlphaWidth, target->AlphaWidth);
    }
    return Place(r, target->RedShift) | Place(g, target->GreenShift) | Place(b, target->BlueShift) |
           Place(a, target->AlphaShift) | target->SpareMask;
}

int GetColorChannelsFromValue(const COLORFMT* format, DWORD value, DWORD* red, DWORD* green, DWORD* blue,
                              DWORD* alpha)
{
    auto split = [value](DWORD mask, int shift, int width) -> DWORD {
        if (width == 0) {
            return 0;
        }
        std::uint64_t x = (value & mask) >> shift;
        return static_cast<DWORD>(x * 255u / ChannelMax(width));
    };
    if (red != nullptr) {
        *red = split(format->RedMask, format->RedShift, format->RedWidth);
    }
    if (green != nullptr) {
        *green = split(format->GreenMask, format->GreenShift, format->GreenWidth);
    }
    if (blue != nullptr) {
        *blue = split(format->BlueMask, format->BlueShift, format->BlueWidth);
    }
    if (alpha != nullptr) {
        *alpha = split(format->AlphaMask, format->AlphaShift, format->AlphaWidth);
    }
    return 0;
}
