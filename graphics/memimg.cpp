// MEMIMG allocation, region views, release, the fast-blit planes, raw fill,
// the transfers and the COLORFMT singletons. Calls core/memory (the library's
// allocator), graphics/matrix (clipping) and graphics/image/convert.
#include "graphics/memimg.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "core/memory.h"
#include "graphics/image/convert.h"
#include "graphics/matrix.h"
#include "graphics/screen.h"
#include "platform/ddraw/pixelformat.h"

namespace {

constexpr std::size_t kPaletteBlockBytes = 2048;

// a * b into out; false when the product leaves size_t.
bool MulSize(std::size_t a, std::size_t b, std::size_t* out)
{
    if (a != 0 && b > SIZE_MAX / a) return false;
    *out = a * b;
    return true;
}

int BytesPerPixelOf(int format, int usePalette, int useAlpha)
{
    if (usePalette) return 1;
    switch (format) {
        case MEMIMG_FORMAT_RGB565: return useAlpha ? 4 : 2;
        case MEMIMG_FORMAT_XRGB8888: return 4;
        case MEMIMG_FORMAT_CHANNEL8: return 1;
        default: return 2;
    }
}

void FreeBody(MEMIMGBODY* body)
{
    if (body->PixelBlock != nullptr && !body->ExternalPixels) FreeMemory(body->PixelBlock);
    if (body->AlphaPlane != nullptr) FreeMemory(body->AlphaPlane);
    if (body->RunTable != nullptr) FreeMemory(body->RunTable);
    if (body->Palette != nullptr) FreeMemory(body->Palette);
    FreeMemory(body);
}

void BuildSingleChannelFormat(COLORFMT* f, int bits)
{
    std::memset(f, 0, sizeof *f);
    DWORD mask = bits == 8 ? 0xFFu : 0xFFFFu;
    f->BitsPerPixel = static_cast<WORD>(bits);
    f->BytesPerPixel = static_cast<WORD>(bits / 8);
    f->RedWidth = f->GreenWidth = f->BlueWidth = f->AlphaWidth = static_cast<BYTE>(bits);
    f->RedMask = f->GreenMask = f->BlueMask = f->AlphaMask = mask;
}

// Fills the alpha plane with premultiplied colours from the pixels.
void FillPremultipliedPlane(MEMIMGBODY* body)
{
    for (int y = 0; y < body->Height; ++y) {
        const BYTE* src = body->PixelBlock + static_cast<std::size_t>(y) * body->Pitch;
        BYTE* dst = body->AlphaPlane + static_cast<std::size_t>(y) * body->Pitch;
        for (int x = 0; x < body->Width; ++x) {
            DWORD px;
            std::memcpy(&px, src + 4 * x, 4);
            DWORD out;
            if (body->PixelFormat == MEMIMG_FORMAT_RGB565) {
                DWORD c = px & 0xFFFF;
                DWORD a = (px >> 16) & 0xFF;
                DWORD colour = (((c & 0x1F) * a & 0x1F00) | ((c & 0xF800) * a & 0xF80000) |
                                ((c & 0x7E0) * a & 0x7E000)) >> 8;
                out = colour | (a << 16);
            } else {
                DWORD a = px >> 24;
                DWORD blue = (px & 0xFF) * a >> 8;
                DWORD green = ((px >> 8) & 0xFF) * a >> 8;
                DWORD red = ((px >> 16) & 0xFF) * a >> 8;
                out = blue | (green << 8) | (red << 16) | (a << 24);
            }
            std::memcpy(dst + 4 * x, &out, 4);
        }
    }
}

// Run kind of one pixel (the top two bits of its run byte).
BYTE ClassifyPixel(const MEMIMGBODY* body, const BYTE* row, int x)
{
    if (body->UseAlpha) {
        BYTE a = row[4 * x + (body->PixelFormat == MEMIMG_FORMAT_RGB565 ? 2 : 3)];
        if (a == 0) return MEMIMG_RUN_TRANSPARENT;
        if (a == 255) return MEMIMG_RUN_OPAQUE;
        return MEMIMG_RUN_TRANSLUCENT;
    }
    DWORD v;
    if (body->UsePalette) {
        v = row[x];
    } else if (body->PixelFormat == MEMIMG_FORMAT_RGB565) {
        WORD w;
        std::memcpy(&w, row + 2 * x, 2);
        v = w;
    } else {
        std::memcpy(&v, row + 4 * x, 4);
    }
    return v == body->ColorKey ? MEMIMG_RUN_TRANSPARENT : MEMIMG_RUN_OPAQUE;
}

void BuildRunTable(MEMIMGBODY* body)
{
    BYTE* out = body->RunTable;
    for (int y = 0; y < body->Height; ++y) {
        const BYTE* row = body->PixelBlock + static_cast<std::size_t>(y) * body->Pitch;
        int x = 0;
        while (x < body->Width) {
            BYTE kind = ClassifyPixel(body, row, x);
            int n = 1;
            while (x + n < body->Width && n < MEMIMG_RUN_MAX && ClassifyPixel(body, row, x + n) == kind) ++n;
            *out++ = static_cast<BYTE>(kind | (n - 1));
            x += n;
        }
        *out++ = MEMIMG_RUN_END_OF_ROW;
    }
}

// Clips a copy of a w x h block from (sx, sy) of a source to (dx, dy) of a
// destination so that it lies inside both; false when nothing is left.
bool ClipCopy(int* sx, int* sy, int* w, int* h, int* dx, int* dy, int srcW, int srcH, int dstW, int dstH)
{
    long long x0 = *sx, y0 = *sy, x1 = *dx, y1 = *dy, cw = *w, ch = *h;
    if (x0 < 0) { cw += x0; x1 -= x0; x0 = 0; }
    if (y0 < 0) { ch += y0; y1 -= y0; y0 = 0; }
    if (x1 < 0) { cw += x1; x0 -= x1; x1 = 0; }
    if (y1 < 0) { ch += y1; y0 -= y1; y1 = 0; }
    if (cw > srcW - x0) cw = srcW - x0;
    if (ch > srcH - y0) ch = srcH - y0;
    if (cw > dstW - x1) cw = dstW - x1;
    if (ch > dstH - y1) ch = dstH - y1;
    if (cw <= 0 || ch <= 0) return false;
    *sx = static_cast<int>(x0);
    *sy = static_cast<int>(y0);
    *dx = static_cast<int>(x1);
    *dy = static_cast<int>(y1);
    *w = static_cast<int>(cw);
    *h = static_cast<int>(ch);
    return true;
}

}  // namespace

int AllocateMemImg(MEMIMG* header, int width, int height, int pitch, DWORD colorKey, int format,
                   int usePalette, int useAlpha, int withPlanes, void* externalPixels)
{
    if (header->Tag == MEMIMG_TAG) return -1;
    // Refuse what would give the kernels rows or blocks they could run off.
    if (format < 0 || format > 3 || width < 0 || height < 0 || pitch < -1) return -1;

    if (format >= MEMIMG_FORMAT_CHANNEL8) usePalette = useAlpha = 0;
    usePalette = usePalette ? 1 : 0;
    useAlpha = (useAlpha && !usePalette) ? 1 : 0;

    std::size_t bpp = static_cast<std::size_t>(BytesPerPixelOf(format, usePalette, useAlpha));
    std::size_t rowBytes = bpp * static_cast<std::size_t>(width);
    std::size_t pitchBytes;
    if (pitch == -1) {
        pitchBytes = (rowBytes + 15) & ~static_cast<std::size_t>(15);
    } else {
        pitchBytes = static_cast<std::size_t>(pitch);
        if (pitchBytes < rowBytes) return -1;
    }
    if (pitchBytes > static_cast<std::size_t>(INT_MAX)) return -1;
    std::size_t blockBytes;
    if (!MulSize(pitchBytes, static_cast<std::size_t>(height), &blockBytes)) return -1;
    std::size_t runBytes;
    if (!MulSize(static_cast<std::size_t>(width) + 5, static_cast<std::size_t>(height), &runBytes)) return -1;
    // Kernels address rows with 32-bit offsets.
    if (blockBytes > static_cast<std::size_t>(INT_MAX) || runBytes > static_cast<std::size_t>(INT_MAX)) return -1;

    auto* body = static_cast<MEMIMGBODY*>(AllocMemoryZeroed(sizeof(MEMIMGBODY), __FILE__, __LINE__));
    if (body == nullptr) return -1;
    body->RefCount = 1;
    body->Width = width;
    body->Height = height;
    body->ColorKey = colorKey;
    body->PixelFormat = format;
    body->UsePalette = usePalette;
    body->UseAlpha = useAlpha;

    if (usePalette) {
        body->Palette = static_cast<BYTE*>(AllocMemoryZeroed(kPaletteBlockBytes, __FILE__, __LINE__));
        if (body->Palette == nullptr) {
            FreeBody(body);
            return -1;
        }
        body->PaletteCopy = body->Palette + kPaletteBlockBytes / 2;
    }

    std::size_t n = pitch == -1 ? rowBytes : pitchBytes;
    std::size_t p2 = 1;
    int e = 0;
    while (p2 < n) {
        p2 <<= 1;
        ++e;
    }
    body->Pitch = static_cast<int>(pitchBytes);
    body->PitchShift = pitchBytes == p2 ? e : -1;
    body->ColorFormat = LookupMemImgColorFormat(format, useAlpha, usePalette);

    if (externalPixels != nullptr) {
        body->PixelBlock = static_cast<BYTE*>(externalPixels);
        body->ExternalPixels = 1;
    } else {
        body->PixelBlock = static_cast<BYTE*>(AllocMemory(blockBytes ? blockBytes : 1, __FILE__, __LINE__));
        if (body->PixelBlock == nullptr) {
            FreeBody(body);
            return -1;
        }
    }

    if (withPlanes) {
        if (useAlpha) {
            body->AlphaPlane = static_cast<BYTE*>(AllocMemory(blockBytes ? blockBytes : 1, __FILE__, __LINE__));
            if (body->AlphaPlane == nullptr) {
                FreeBody(body);
                return -1;
            }
        }
        if (format != MEMIMG_FORMAT_CHANNEL8) {
            body->RunTable = static_cast<BYTE*>(AllocMemory(runBytes ? runBytes : 1, __FILE__, __LINE__));
            if (body->RunTable == nullptr) {
                FreeBody(body);
                return -1;
            }
        }
    }

    header->Tag = MEMIMG_TAG;
    header->Width = width;
    header->Height = height;
    header->Pixels = body->PixelBlock;
    header->AlphaPlane = body->AlphaPlane;
    header->Body = body;
    return 0;
}

int AllocateMemImgForScreen(MEMIMG* header, int width, int height, int format)
{
    std::memset(header, 0, sizeof *header);
    if (format == -1) format = GetRequestedColorBits() == 16 ? MEMIMG_FORMAT_RGB565 : MEMIMG_FORMAT_XRGB8888;
    return AllocateMemImg(header, width, height, -1, 0, format, 0, 0, 0, nullptr);
}

int AllocateDepthMemImg(MEMIMG* header, int width, int height)
{
    std::memset(header, 0, sizeof *header);
    return AllocateMemImg(header, width, height, -1, 0, MEMIMG_FORMAT_DEPTH16, 0, 0, 0, nullptr);
}

void ShareMemImgRegion(MEMIMG* view, const MEMIMG* parent, int x, int y, int w, int h)
{
    if (!IsMemImgAlive(parent)) return;
    if (x < 0 || y < 0 || w < 0 || h < 0) return;
    if (static_cast<long long>(x) + w > parent->Width || static_cast<long long>(y) + h > parent->Height) return;

    MEMIMGBODY* body = parent->Body;
    std::size_t offset = static_cast<std::size_t>(y) * static_cast<std::size_t>(body->Pitch) +
                         static_cast<std::size_t>(x) * static_cast<std::size_t>(MemImgBytesPerPixel(body));
    view->Tag = MEMIMG_TAG;
    view->Width = w;
    view->Height = h;
    view->Pixels = parent->Pixels + offset;
    view->AlphaPlane = parent->AlphaPlane != nullptr ? parent->AlphaPlane + offset : nullptr;
    view->Body = body;
    ++body->RefCount;
}

void DropMemImgReference(MEMIMG* header)
{
    if (header == nullptr || header->Tag != MEMIMG_TAG) return;
    MEMIMGBODY* body = header->Body;
    if (body != nullptr && --body->RefCount <= 0) FreeBody(body);
    header->Body = nullptr;
    header->Tag = 0;
}

void FillMemImgRectRaw(MEMIMG* image, const RECT* rect, DWORD value)
{
    if (!IsMemImgAlive(image)) return;
    RECT bound = {0, 0, image->Width, image->Height};
    RECT r = rect != nullptr ? *rect : bound;
    ClipRectAgainstRect(&r, &bound);
    if (r.right == r.left || r.bottom == r.top) return;

    MEMIMGBODY* body = image->Body;
    int bpp = MemImgBytesPerPixel(body);
    if (bpp != 1 && bpp != 2 && bpp != 4) return;
    for (int y = r.top; y < r.bottom; ++y) {
        BYTE* row = image->Pixels + static_cast<std::size_t>(y) * body->Pitch + static_cast<std::size_t>(r.left) * bpp;
        int n = r.right - r.left;
        if (bpp == 1) {
            std::memset(row, static_cast<int>(value & 0xFF), static_cast<std::size_t>(n));
        } else if (bpp == 2) {
            WORD v = static_cast<WORD>(value);
            for (int i = 0; i < n; ++i) std::memcpy(row + 2 * i, &v, 2);
        } else {
            for (int i = 0; i < n; ++i) std::memcpy(row + 4 * i, &value, 4);
        }
    }
}

void BuildMemImgFastBlitData(MEMIMG* image)
{
    if (!IsMemImgAlive(image)) return;
    MEMIMGBODY* body = image->Body;
    if (body->RunTable == nullptr) return;
    if (body->PixelFormat != MEMIMG_FORMAT_RGB565 && body->PixelFormat != MEMIMG_FORMAT_XRGB8888) return;
    body->RunsReady = 1;
    if (body->UseAlpha && body->AlphaPlane != nullptr) {
        body->AlphaPremultiplied = 1;
        FillPremultipliedPlane(body);
    }
    BuildRunTable(body);
}

const COLORFMT* LookupMemImgColorFormat(int format, int useAlpha, int usePalette)
{
    static COLORFMT direct[2][2][2];
    static bool directBuilt[2][2][2];
    static COLORFMT channel8;
    static COLORFMT depth16;
    static bool channel8Built;
    static bool depth16Built;

    if (format == MEMIMG_FORMAT_RGB565 || format == MEMIMG_FORMAT_XRGB8888) {
        int a = useAlpha ? 1 : 0;
        int p = usePalette ? 1 : 0;
        COLORFMT* f = &direct[format][a][p];
        if (!directBuilt[format][a][p]) {
            int bits = p ? 8 : (format == MEMIMG_FORMAT_RGB565 && !a ? 16 : 32);
            if (format == MEMIMG_FORMAT_RGB565) {
                SetColorFormatFromMasks(f, bits, 0xF800, 0x7E0, 0x1F, a ? 0xFF0000u : 0u);
            } else {
                SetColorFormatFromMasks(f, bits, 0xFF0000, 0xFF00, 0xFF, a ? 0xFF000000u : 0u);
            }
            directBuilt[format][a][p] = true;
        }
        return f;
    }
    if (format == MEMIMG_FORMAT_CHANNEL8) {
        if (!channel8Built) {
            BuildSingleChannelFormat(&channel8, 8);
            channel8Built = true;
        }
        return &channel8;
    }
    if (format == MEMIMG_FORMAT_DEPTH16) {
        if (!depth16Built) {
            BuildSingleChannelFormat(&depth16, 16);
            depth16Built = true;
        }
        return &depth16;
    }
    return nullptr;
}

const DDPIXELFORMAT* LookupMemImgDDPixelFormat(int format, int useAlpha, int usePalette)
{
    static DDPIXELFORMAT direct[2][2][2];
    static bool directBuilt[2][2][2];
    static DDPIXELFORMAT single[2];
    static bool singleBuilt[2];

    if (format == MEMIMG_FORMAT_RGB565 || format == MEMIMG_FORMAT_XRGB8888) {
        int a = useAlpha ? 1 : 0;
        int p = usePalette ? 1 : 0;
        if (!directBuilt[format][a][p]) {
            const COLORFMT* f = LookupMemImgColorFormat(format, a, p);
            FillRGBPixelFormat(&direct[format][a][p], f->BitsPerPixel, f->RedMask, f->GreenMask, f->BlueMask,
                               f->AlphaMask);
            directBuilt[format][a][p] = true;
        }
        return &direct[format][a][p];
    }
    if (format == MEMIMG_FORMAT_CHANNEL8 || format == MEMIMG_FORMAT_DEPTH16) {
        int i = format - MEMIMG_FORMAT_CHANNEL8;
        if (!singleBuilt[i]) {
            // Only the bit count and the masks: size and flags stay 0.
            DDPIXELFORMAT* pf = &single[i];
            *pf = DDPIXELFORMAT{};
            DWORD mask = i == 0 ? 0xFFu : 0xFFFFu;
            pf->dwRGBBitCount = i == 0 ? 8 : 16;
            pf->dwRBitMask = pf->dwGBitMask = pf->dwBBitMask = pf->dwRGBAlphaBitMask = mask;
            singleBuilt[i] = true;
        }
        return &single[i];
    }
    return nullptr;
}

void TransferGraphImageToMemImg(const GraphImage* image, const GraphImage* alphaImage, MEMIMG* dst, int srcX, int srcY,
                                int w, int h, int dstX, int dstY, int keyToAlpha)
{
    if (image == nullptr || image->Pixels == nullptr || !IsMemImgAlive(dst)) return;
    MEMIMGBODY* body = dst->Body;
    int srcW = image->Width, srcH = image->Height;
    if (alphaImage != nullptr) {
        if (alphaImage->Pixels == nullptr) return;
        if (alphaImage->Width < srcW) srcW = alphaImage->Width;
        if (alphaImage->Height < srcH) srcH = alphaImage->Height;
    }
    if (!ClipCopy(&srcX, &srcY, &w, &h, &dstX, &dstY, srcW, srcH, dst->Width, dst->Height)) return;
    RECT rect = {srcX, srcY, srcX + w, srcY + h};

    if (body->PixelFormat == MEMIMG_FORMAT_CHANNEL8 || body->PixelFormat == MEMIMG_FORMAT_DEPTH16) {
        CopyPixelsConvertingFormat(dst->Pixels, body->Pitch, body->ColorFormat, image->Pixels, image->Pitch,
                                   &image->Format, nullptr, 0, nullptr, dstX, dstY, &rect, 0, 0, 0, 0, 1, 1, 0, 0);
        return;
    }

    int answer = CopyPixelsConvertingFormat(
        dst->Pixels, body->Pitch, body->ColorFormat, image->Pixels, image->Pitch, &image->Format,
        alphaImage != nullptr ? alphaImage->Pixels : nullptr, alphaImage != nullptr ? alphaImage->Pitch : 0,
        alphaImage != nullptr ? &alphaImage->Format : nullptr, dstX, dstY, &rect, 0, keyToAlpha, body->ColorKey, 0, 0,
        0, 0, 0);
    if (answer < 0) return;
    if (alphaImage == nullptr && body->UsePalette) body->PaletteCount = answer + 1;

    if (body->UsePalette) {
        for (int i = 0; i < 256; ++i) {
            const COLORPALETTEENTRY& e = image->Format.Palette[i];
            if (body->PixelFormat == MEMIMG_FORMAT_RGB565) {
                auto v = static_cast<WORD>(((e.Red >> 3) << 11) | ((e.Green >> 2) << 5) | (e.Blue >> 3));
                std::memcpy(body->Palette + 2 * i, &v, 2);
            } else {
                DWORD v = (static_cast<DWORD>(e.Red) << 16) | (static_cast<DWORD>(e.Green) << 8) | e.Blue;
                std::memcpy(body->Palette + 4 * i, &v, 4);
            }
        }
        std::memcpy(body->PaletteCopy, body->Palette, body->PixelFormat == MEMIMG_FORMAT_RGB565 ? 512 : 1024);
    }

    body->AlphaPremultiplied = 0;
    body->RunsReady = 0;
    if (w == dst->Width && h == dst->Height) BuildMemImgFastBlitData(dst);
}

int CopyMemImgRect(MEMIMG* dst, const MEMIMG* src, const RECT* srcRect, int dstX, int dstY)
{
    if (!IsMemImgAlive(dst) || !IsMemImgAlive(src)) return -1;
    RECT whole = {0, 0, src->Width, src->Height};
    const RECT& r = srcRect != nullptr ? *srcRect : whole;
    int x = r.left, y = r.top, w = r.right - r.left, h = r.bottom - r.top;
    if (!ClipCopy(&x, &y, &w, &h, &dstX, &dstY, src->Width, src->Height, dst->Width, dst->Height)) return -1;
    RECT rect = {x, y, x + w, y + h};
    return CopyPixelsConvertingFormat(dst->Pixels, dst->Body->Pitch, dst->Body->ColorFormat, src->Pixels,
                                      src->Body->Pitch, src->Body->ColorFormat, nullptr, 0, nullptr, dstX, dstY, &rect,
                                      0, 0, 0, 0, 0, 0, 0, 0);
}

int CopyMemImgRectToGraphImage(GraphImage* dst, const MEMIMG* src, int x, int y, int w, int h, int dstX, int dstY,
                               DWORD keyColor, int keySkip)
{
    if (dst == nullptr || dst->Pixels == nullptr || !IsMemImgAlive(src)) return -1;
    const MEMIMGBODY* body = src->Body;
    if (body->PixelFormat > MEMIMG_FORMAT_XRGB8888 || body->UsePalette || body->UseAlpha) return -1;
    if (!ClipCopy(&x, &y, &w, &h, &dstX, &dstY, src->Width, src->Height, dst->Width, dst->Height)) return -1;
    RECT rect = {x, y, x + w, y + h};
    return CopyPixelsConvertingFormat(dst->Pixels, dst->Pitch, &dst->Format, src->Pixels, body->Pitch,
                                      body->ColorFormat, nullptr, 0, nullptr, dstX, dstY, &rect, 0, 0, keyColor, 0, 0, 0,
                                      keySkip, 0);
}
