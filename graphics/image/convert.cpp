// The converting copy: palette remap, indexed output, raw copies, key to
// alpha, fixed-formula pairs for the frequent loads, and a general per-pixel
// path with proportional widening and dithering. Reads layouts from colorfmt.
#include "graphics/image/convert.h"
#include "graphics/image/graphimage.h"

#include <cstdint>
#include <cstring>

namespace {

const int DitherMatrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

inline DWORD PaletteEntry(const COLORFMT& f, BYTE index)
{
    const COLORPALETTEENTRY& e = f.Palette[index];
    return static_cast<DWORD>(e.Blue) | (static_cast<DWORD>(e.Green) << 8) | (static_cast<DWORD>(e.Red) << 16) |
           (static_cast<DWORD>(e.Alpha) << 24);
}

inline DWORD PaletteRGB(const COLORFMT& f, BYTE index)
{
    return PaletteEntry(f, index) & 0xFFFFFF;
}

inline DWORD LowBits(int width)
{
    return width <= 0 ? 0 : width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
}

// Narrowing drops low bits; widening repeats the value proportionally so a
// full channel stays full.
inline DWORD ResizeChannel(DWORD c, int from, int to)
{
    if (from == to) {
        return c;
    }
    if (from > to) {
        return c >> (from - to);
    }
    if (from == 0) {
        return 0;
    }
    int k = to - from;
    return static_cast<DWORD>((static_cast<std::uint64_t>(c) << k) +
                              static_cast<std::uint64_t>(c) * LowBits(k) / LowBits(from));
}

inline DWORD Channel8(DWORD v, DWORD mask, int shift, int width)
{
    DWORD c = (v & mask) >> shift;
    if (width == 0) {
        return 0;
    }
    if (width < 8) {
        return c * 255u / LowBits(width);
    }
    return c >> (width - 8);
}

bool Is(const COLORFMT& f, int bits, DWORD r, DWORD g, DWORD b, DWORD a)
{
    return f.BitsPerPixel == bits && f.RedMask == r && f.GreenMask == g && f.BlueMask == b && f.AlphaMask == a;
}

bool IsPalette(const COLORFMT& f)
{
    return f.BitsPerPixel == 8 && f.BytesPerPixel == 1;
}
bool Is565(const COLORFMT& f) { return Is(f, 16, 0xF800, 0x7E0, 0x1F, 0); }
bool Is555(const COLORFMT& f, DWORD alpha) { return Is(f, 16, 0x7C00, 0x3E0, 0x1F, alpha); }
bool IsRGB24(const COLORFMT& f) { return Is(f, 24, 0xFF0000, 0xFF00, 0xFF, 0); }
bool IsXRGB32Masks(const COLORFMT& f)
{
    return f.BitsPerPixel == 32 && f.RedMask == 0xFF0000 && f.GreenMask == 0xFF00 && f.BlueMask == 0xFF;
}

inline DWORD RGBTo565(DWORD e) { return ((e >> 8) & 0xF800) | ((e >> 5) & 0x7E0) | ((e >> 3) & 0x1F); }
inline DWORD RGBTo555(DWORD e) { return ((e >> 9) & 0x7C00) | ((e >> 6) & 0x3E0) | ((e >> 3) & 0x1F); }
inline DWORD From565(DWORD v) { return ((v & 0x1F) << 3) | ((v & 0x7E0) << 5) | ((v & 0xF800) << 8); }
inline DWORD From565To555(DWORD v) { return ((v & 0xFFC0) >> 1) | (v & 0x1F); }
inline DWORD From555To565(DWORD v) { return ((v & 0x7FE0) << 1) | (v & 0x3F); }

// Everything a per-pixel pass needs, fixed once per copy.
struct CopyFrame {
    BYTE* dst;
    int dstPitch;
    const BYTE* src;
    int srcPitch;
    int w, h;
    int sBytes, dBytes;
    bool mirror;
};

// Runs fn(srcPixel, dstPixel, x, y) over the rectangle, the destination
// running leftwards when mirrored.
template <class Fn>
void ForEachPixel(const CopyFrame& c, Fn fn)
{
    for (int y = 0; y < c.h; ++y) {
        const BYTE* s = c.src + static_cast<std::ptrdiff_t>(y) * c.srcPitch;
        BYTE* d = c.dst + static_cast<std::ptrdiff_t>(y) * c.dstPitch;
        std::ptrdiff_t step = c.dBytes;
        if (c.mirror) {
            d += static_cast<std::ptrdiff_t>(c.w - 1) * c.dBytes;
            step = -step;
        }
        for (int x = 0; x < c.w; ++x, s += c.sBytes, d += step) {
            fn(s, d, x, y);
        }
    }
}

// The fixed-formula pairs; false when the pair is not one of them.
bool CopyFastPair(const CopyFrame& c, const COLORFMT& S, const COLORFMT& D, bool keyToAlpha, DWORD key)
{
    auto run = [&](auto fn) {
        ForEachPixel(c, [&](const BYTE* s, BYTE* d, int, int) { fn(s, d); });
        return true;
    };
    DWORD k = key & 0xFFFFFF;
    if (!keyToAlpha) {
        if (IsPalette(S)) {
            if (Is565(D)) {
                return run([&](const BYTE* s, BYTE* d) { WritePixelValue(d, 2, RGBTo565(PaletteRGB(S, *s))); });
            }
            if (Is555(D, 0)) {
                return run([&](const BYTE* s, BYTE* d) { WritePixelValue(d, 2, RGBTo555(PaletteRGB(S, *s)) | 0x8000); });
            }
            if (IsXRGB32Masks(D) && D.AlphaMask == 0) {
                return run([&](const BYTE* s, BYTE* d) { WritePixelValue(d, 4, PaletteRGB(S, *s) | 0xFF000000u); });
            }
        } else if (IsRGB24(S)) {
            if (Is565(D)) {
                return run([](const BYTE* s, BYTE* d) {
                    WritePixelValue(d, 2, static_cast<DWORD>(((s[2] >> 3) << 11) | ((s[1] >> 2) << 5) | (s[0] >> 3)));
                });
            }
            if (Is555(D, 0)) {
                return run([](const BYTE* s, BYTE* d) {
                    WritePixelValue(d, 2,
                               static_cast<DWORD>(((s[2] >> 3) << 10) | ((s[1] >> 3) << 5) | (s[0] >> 3) | 0x8000));
                });
            }
            if (IsXRGB32Masks(D)) {
                return run([](const BYTE* s, BYTE* d) {
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                    d[3] = 0xFF;
                });
            }
        } else if (Is(S, 32, 0xFF0000, 0xFF00, 0xFF, 0) && Is565(D)) {
            return run([](const BYTE* s, BYTE* d) {
                DWORD v = ReadPixelValue(s, 4);
                WritePixelValue(d, 2, ((v & 0xF8) >> 3) | ((v & 0xFC00) >> 5) | ((v >> 8) & 0xF800));
            });
        } else if (Is565(S)) {
            if (IsRGB24(D)) {
                return run([](const BYTE* s, BYTE* d) { WritePixelValue(d, 3, From565(ReadPixelValue(s, 2))); });
            }
            if (Is(D, 32, 0xFF0000, 0xFF00, 0xFF, 0)) {
                return run([](const BYTE* s, BYTE* d) { WritePixelValue(d, 4, From565(ReadPixelValue(s, 2))); });
            }
            if (Is555(D, 0)) {
                return run([](const BYTE* s, BYTE* d) { WritePixelValue(d, 2, From565To555(ReadPixelValue(s, 2))); });
            }
        } else if (Is555(S, 0) && Is565(D)) {
            return run([](const BYTE* s, BYTE* d) { WritePixelValue(d, 2, From555To565(ReadPixelValue(s, 2))); });
        }
        return false;
    }
    DWORD k555 = RGBTo555(k);
    if (IsPalette(S)) {
        if (Is555(D, 0x8000)) {
            return run([&](const BYTE* s, BYTE* d) {
                DWORD e = PaletteRGB(S, *s);
                WritePixelValue(d, 2, RGBTo555(e) | (e == k ? 0 : 0x8000));
            });
        }
        if (IsXRGB32Masks(D) && D.AlphaMask == 0xFF000000u) {
            return run([&](const BYTE* s, BYTE* d) {
                DWORD e = PaletteRGB(S, *s);
                WritePixelValue(d, 4, e | (e == k ? 0 : 0xFF000000u));
            });
        }
    } else if (IsRGB24(S)) {
        if (Is555(D, 0x8000)) {
            return run([&](const BYTE* s, BYTE* d) {
                DWORD v = RGBTo555(ReadPixelValue(s, 3));
                WritePixelValue(d, 2, v | (v == k555 ? 0 : 0x8000));
            });
        }
        if (IsXRGB32Masks(D) && D.AlphaMask == 0xFF000000u) {
            return run([&](const BYTE* s, BYTE* d) {
                DWORD v = ReadPixelValue(s, 3);
                WritePixelValue(d, 4, v | (v == k ? 0 : 0xFF000000u));
            });
        }
    } else if (Is565(S) && Is555(D, 0x8000)) {
        return run([&](const BYTE* s, BYTE* d) {
            DWORD v = From565To555(ReadPixelValue(s, 2));
            WritePixelValue(d, 2, v | (v == k555 ? 0 : 0x8000));
        });
    }
    return false;
}

struct GeneralOptions {
    bool alphaFromImage;
    bool keyToAlpha;
    bool keySkip;
    bool colorOff;
    bool alphaFromRed;
    int dither;
    DWORD key;
};

void CopyGeneral(const CopyFrame& c, const COLORFMT& S, const COLORFMT& D, const BYTE* alphaSrc, int alphaPitch,
                 const COLORFMT& A, const GeneralOptions& o)
{
    const int sBits = S.BitsPerPixel;
    const int aBytes = A.BytesPerPixel;
    const bool resize = S.RedWidth != D.RedWidth || S.GreenWidth != D.GreenWidth ||
                        (o.alphaFromImage && A.RedWidth != D.AlphaWidth);
    const bool dAlpha = D.AlphaWidth != 0;
    const DWORD dAlphaFull = D.AlphaMask >> D.AlphaShift;
    DWORD skipKey = o.key;
    if (!o.keyToAlpha && sBits < 32) {
        skipKey &= LowBits(sBits);
    }
    const DWORD rgbMask = D.RedMask | D.GreenMask | D.BlueMask;
    const DWORD keyValue =
        GetColorValueInFormat(&D, (o.key >> 16) & 255, (o.key >> 8) & 255, o.key & 255, 255) & rgbMask;

    struct Chan {
        DWORD sMask;
        int sShift, sWidth;
        int dShift, dWidth;
    };
    const Chan chans[3] = {{S.RedMask, S.RedShift, S.RedWidth, D.RedShift, D.RedWidth},
                           {S.GreenMask, S.GreenShift, S.GreenWidth, D.GreenShift, D.GreenWidth},
                           {S.BlueMask, S.BlueShift, S.BlueWidth, D.BlueShift, D.BlueWidth}};
    DWORD carried[3] = {0, 0, 0};

    for (int y = 0; y < c.h; ++y) {
        const BYTE* s = c.src + static_cast<std::ptrdiff_t>(y) * c.srcPitch;
        const BYTE* a = alphaSrc != nullptr ? alphaSrc + static_cast<std::ptrdiff_t>(y) * alphaPitch : nullptr;
        BYTE* d = c.dst + static_cast<std::ptrdiff_t>(y) * c.dstPitch;
        std::ptrdiff_t step = c.dBytes;
        if (c.mirror) {
            d += static_cast<std::ptrdiff_t>(c.w - 1) * c.dBytes;
            step = -step;
        }
        for (int x = 0; x < c.w; ++x, s += c.sBytes, d += step, a += (a != nullptr ? aBytes : 0)) {
            DWORD raw = ReadPixelValue(s, c.sBytes);
            if (o.keySkip && raw == skipKey) {
                continue;
            }
            DWORD value = sBits == 8 ? PaletteEntry(S, static_cast<BYTE>(raw)) : raw;
            DWORD ch[3];
            for (int i = 0; i < 3; ++i) {
                const Chan& k = chans[i];
                DWORD cv = (value & k.sMask) >> k.sShift;
                if (resize) {
                    DWORD out = ResizeChannel(cv, k.sWidth, k.dWidth);
                    int dropped = k.sWidth - k.dWidth;
                    if (dropped > 0 && o.dither != 0) {
                        DWORD droppedBits = cv & LowBits(dropped);
                        if (o.dither == 1) {
                            DWORD threshold =
                                (static_cast<DWORD>(DitherMatrix[(x & 3) + 4 * (y & 3)]) << dropped) >> 4;
                            if (threshold < droppedBits) {
                                ++out;
                            }
                        } else if (o.dither == 2) {
                            carried[i] += droppedBits;
                            if (carried[i] > LowBits(dropped)) {
                                ++out;
                                carried[i] &= LowBits(dropped);
                            }
                        }
                        if (out > LowBits(k.dWidth)) {
                            out = LowBits(k.dWidth);
                        }
                    }
                    cv = out;
                }
                ch[i] = cv & LowBits(k.dWidth);
            }
            DWORD alpha;
            if (o.alphaFromImage) {
                DWORD av = ReadPixelValue(a, aBytes);
                if (A.BitsPerPixel == 8) {
                    av = PaletteEntry(A, static_cast<BYTE>(av));
                }
                alpha = ResizeChannel((av & A.RedMask) >> A.RedShift, A.RedWidth, D.AlphaWidth);
            } else if (S.AlphaWidth == 0) {
                alpha = dAlphaFull;
            } else if (!dAlpha) {
                alpha = 0;
            } else {
                alpha = ResizeChannel((value & S.AlphaMask) >> S.AlphaShift, S.AlphaWidth, D.AlphaWidth);
            }
            if (o.alphaFromRed) {
                alpha = ch[0];
            }
            if (o.colorOff) {
                ch[0] = ch[1] = ch[2] = 0;
            }
            alpha &= dAlphaFull;
            DWORD out = (alpha << D.AlphaShift) | (ch[0] << D.RedShift) | (ch[1] << D.GreenShift) |
                        (ch[2] << D.BlueShift);
            if (o.keyToAlpha) {
                out = (out & rgbMask) == keyValue ? out & ~D.AlphaMask : out | D.AlphaMask;
            }
            if (D.BitsPerPixel == 16 || D.BitsPerPixel == 32) {
                out |= D.SpareMask;
            }
            WritePixelValue(d, c.dBytes, out);
        }
    }
}

} // namespace

int CopyPixelsConvertingFormat(void* dst, int dstPitch, const COLORFMT* dstFormat, const void* src, int srcPitch,
                               const COLORFMT* srcFormat, const void* alphaSrc, int alphaPitch,
                               const COLORFMT* alphaFormat, int dstX, int dstY, const RECT* srcRect,
                               int mirror, int keyToAlpha, DWORD keyColor, int dither, int colorOff,
                               int alphaFromRed, int keySkip, int paletteRemap)
{
    static const COLORFMT NoFormat{};
    const COLORFMT& S = *srcFormat;
    const COLORFMT& D = *dstFormat;
    const COLORFMT& A = alphaFormat != nullptr && alphaSrc != nullptr ? *alphaFormat : NoFormat;
    const bool sAlpha = S.AlphaWidth != 0;
    const bool dAlpha = D.AlphaWidth != 0;
    const bool alphaTransfer = dAlpha && (alphaSrc != nullptr || sAlpha);
    const bool alphaFromImage = dAlpha && alphaSrc != nullptr && !sAlpha;
    if (alphaTransfer || !dAlpha || alphaFromRed == 1) {
        keyToAlpha = 0;
    }
    if (alphaTransfer || mirror != 0) {
        keySkip = 0;
    }

    const int w = srcRect->right - srcRect->left;
    const int h = srcRect->bottom - srcRect->top;
    if (w <= 0 || h <= 0) {
        return -1;
    }

    CopyFrame c;
    c.sBytes = S.BytesPerPixel;
    c.dBytes = D.BytesPerPixel;
    c.src = static_cast<const BYTE*>(src) + static_cast<std::ptrdiff_t>(srcRect->top) * srcPitch +
            static_cast<std::ptrdiff_t>(srcRect->left) * c.sBytes;
    c.dst = static_cast<BYTE*>(dst) + static_cast<std::ptrdiff_t>(dstY) * dstPitch +
            static_cast<std::ptrdiff_t>(dstX) * c.dBytes;
    c.srcPitch = srcPitch;
    c.dstPitch = dstPitch;
    c.w = w;
    c.h = h;
    c.mirror = mirror != 0;

    if (paletteRemap != 0 && S.BytesPerPixel == 1 && D.BytesPerPixel == 1 &&
        std::memcmp(S.Palette, D.Palette, sizeof(S.Palette)) != 0) {
        BYTE map[256];
        for (int i = 0; i < 256; ++i) {
            const COLORPALETTEENTRY& e = S.Palette[i];
            map[i] = static_cast<BYTE>(GetColorValueInFormat(&D, e.Red, e.Green, e.Blue, 0));
        }
        CopyFrame plain = c;
        plain.mirror = false;
        ForEachPixel(plain, [&](const BYTE* s, BYTE* d, int, int) { *d = map[*s]; });
        return 0;
    }

    if (D.BitsPerPixel == 8) {
        if (S.BitsPerPixel == 16 || S.BitsPerPixel == 24 || S.BitsPerPixel == 32) {
            CopyFrame plain = c;
            plain.mirror = false;
            ForEachPixel(plain, [&](const BYTE* s, BYTE* d, int, int) {
                DWORD v = ReadPixelValue(s, c.sBytes);
                int r = static_cast<int>(Channel8(v, S.RedMask, S.RedShift, S.RedWidth));
                int g = static_cast<int>(Channel8(v, S.GreenMask, S.GreenShift, S.GreenWidth));
                int b = static_cast<int>(Channel8(v, S.BlueMask, S.BlueShift, S.BlueWidth));
                int al = static_cast<int>((v & S.AlphaMask) >> S.AlphaShift);
                *d = static_cast<BYTE>(GetColorValueInFormat(&D, r, g, b, al));
            });
            return 0;
        }
        if (S.BitsPerPixel != 8) {
            return 0;
        }
        if (colorOff == 0 && keySkip == 0 && mirror == 0) {
            int largest = 0;
            for (int y = 0; y < h; ++y) {
                const BYTE* s = c.src + static_cast<std::ptrdiff_t>(y) * srcPitch;
                BYTE* d = c.dst + static_cast<std::ptrdiff_t>(y) * dstPitch;
                std::memcpy(d, s, static_cast<std::size_t>(w));
                for (int x = 0; x < w; ++x) {
                    if (s[x] > largest) {
                        largest = s[x];
                    }
                }
            }
            return largest;
        }
    }

    const bool sameLayout = S.BitsPerPixel == D.BitsPerPixel && S.RedMask == D.RedMask &&
                            S.GreenMask == D.GreenMask && S.BlueMask == D.BlueMask;
    if (keyToAlpha == 0 && colorOff == 0 && alphaFromRed == 0 && !alphaFromImage && sameLayout &&
        S.AlphaMask == D.AlphaMask) {
        const int bytes = c.sBytes;
        if (!c.mirror && keySkip == 0) {
            for (int y = 0; y < h; ++y) {
                std::memcpy(c.dst + static_cast<std::ptrdiff_t>(y) * dstPitch,
                            c.src + static_cast<std::ptrdiff_t>(y) * srcPitch,
                            static_cast<std::size_t>(w) * static_cast<std::size_t>(bytes));
            }
            return 0;
        }
        const DWORD key = bytes == 3 ? keyColor & 0xFFFFFF : bytes == 1 ? keyColor & 0xFF
                          : bytes == 2                     ? keyColor & 0xFFFF
                                                           : keyColor;
        ForEachPixel(c, [&](const BYTE* s, BYTE* d, int, int) {
            if (keySkip != 0 && ReadPixelValue(s, bytes) == key) {
                return;
            }
            std::memcpy(d, s, static_cast<std::size_t>(bytes));
        });
        return 0;
    }

    if (keySkip == 0 && dAlpha && keyToAlpha != 0 && colorOff == 0 && alphaFromRed == 0 && sameLayout) {
        const DWORD rgbMask = D.RedMask | D.GreenMask | D.BlueMask;
        const DWORD outside = ~rgbMask & LowBits(D.BitsPerPixel);
        const DWORD k = GetColorValueInFormat(&D, (keyColor >> 16) & 255, (keyColor >> 8) & 255, keyColor & 255, 255);
        const int bytes = c.sBytes;
        ForEachPixel(c, [&](const BYTE* s, BYTE* d, int, int) {
            DWORD v = ReadPixelValue(s, bytes);
            if (bytes == 4) {
                v |= outside;
            }
            // Only the colour bits decide: the spare or attribute bits of a
            // narrower pixel must not hide the key.
            bool isKey = (v | outside) == (k | outside);
            WritePixelValue(d, bytes, isKey ? v & ~D.AlphaMask : v | D.AlphaMask);
        });
        return 0;
    }

    if (dither == 0 && colorOff == 0 && alphaFromRed == 0 && mirror == 0 && alphaSrc == nullptr && keySkip == 0 &&
        CopyFastPair(c, S, D, keyToAlpha != 0, keyColor)) {
        return 0;
    }

    GeneralOptions o;
    o.alphaFromImage = alphaFromImage;
    o.keyToAlpha = keyToAlpha != 0;
    o.keySkip = keySkip != 0;
    o.colorOff = colorOff != 0;
    o.alphaFromRed = alphaFromRed != 0;
    o.dither = dither;
    o.key = keyColor;
    CopyGeneral(c, S, D, alphaFromImage ? static_cast<const BYTE*>(alphaSrc) +
                                             static_cast<std::ptrdiff_t>(srcRect->top) * alphaPitch +
                                             static_cast<std::ptrdiff_t>(srcRect->left) * A.BytesPerPixel
                                       : nullptr,
                alphaPitch, A, o);
    return 0;
}
