// MEMIMG: the software renderer's image, a small header over a
// reference-counted MEMIMGBODY; allocation, shared region views, release,
// the fast-blit planes (premultiplied alpha plane and run table), raw fill
// the transfers to and from GraphImages and the per-format COLORFMT and
// DDPIXELFORMAT singletons. Calls core/memory, graphics/matrix and the image
// layer's colour formats and converting copy.
#pragma once

#include "graphics/drawtypes.h"
#include "graphics/image/colorfmt.h"
#include "graphics/image/graphimage.h"
#include "platform/ddraw/pixelformat.h"
#include "platform/kernel/types.h"

constexpr DWORD MEMIMG_TAG = 0x12345678;

// Pixel formats of a body: PixFmt's values, as the int the body stores.
constexpr int MEMIMG_FORMAT_RGB565 = static_cast<int>(PixFmt::R565);
constexpr int MEMIMG_FORMAT_XRGB8888 = static_cast<int>(PixFmt::X8888);
constexpr int MEMIMG_FORMAT_CHANNEL8 = static_cast<int>(PixFmt::Channel8);
constexpr int MEMIMG_FORMAT_DEPTH16 = static_cast<int>(PixFmt::Depth16);

// Run-table bytes: kind in the top two bits, length - 1 in the low six.
constexpr BYTE MEMIMG_RUN_TRANSPARENT = 0x00;
constexpr BYTE MEMIMG_RUN_OPAQUE = 0x40;
constexpr BYTE MEMIMG_RUN_TRANSLUCENT = 0x80;
constexpr BYTE MEMIMG_RUN_END_OF_ROW = 0xC0;
constexpr int MEMIMG_RUN_MAX = 64;

struct MEMIMGBODY {
    int RefCount;  // live headers on this body
    int Width;     // the whole image
    int Height;
    int Pitch;       // bytes per row, in the pixel block and in the alpha plane
    int PitchShift;  // e with Pitch == 1 << e, or -1
    const COLORFMT* ColorFormat;
    DWORD ColorKey;  // raw pixel value (a palette index for palette images)
    int PixelFormat;
    int UsePalette;
    int PaletteCount;  // 1 + the highest index written by the last transfer
    int UseAlpha;
    int AlphaPremultiplied;  // the alpha plane holds premultiplied colours of the current pixels
    int RunsReady;           // the run table describes the current pixels
    int ExternalPixels;      // the pixel block belongs to the caller
    BYTE* Palette;      // 2,048 zeroed bytes; entries in the pixel format's own layout
    BYTE* PaletteCopy;  // second half of the same block
    BYTE* PixelBlock;
    BYTE* AlphaPlane;  // 4-byte entries, Pitch per row, or null
    BYTE* RunTable;    // (Width + 5) * Height bytes, or null
};

// The header; its storage belongs to the caller.
struct MEMIMG {
    DWORD Tag;   // MEMIMG_TAG while alive, 0 once released
    int Width;   // of this view
    int Height;
    BYTE* Pixels;      // first pixel of this view
    BYTE* AlphaPlane;  // matching point of the body's alpha plane, or null
    MEMIMGBODY* Body;
};

int AllocateMemImg(MEMIMG* header, int width, int height, int pitch, DWORD colorKey, int format,
                   int usePalette, int useAlpha, int withPlanes, void* externalPixels);
int AllocateMemImgForScreen(MEMIMG* header, int width, int height, int format);
int AllocateDepthMemImg(MEMIMG* header, int width, int height);
void ShareMemImgRegion(MEMIMG* view, const MEMIMG* parent, int x, int y, int w, int h);
// Inline: every draw asks it of each image before its first pixel.
inline int IsMemImgAlive(const MEMIMG* header)
{
    return header != nullptr && header->Tag == MEMIMG_TAG && header->Body != nullptr ? 1 : 0;
}
void DropMemImgReference(MEMIMG* header);
void FillMemImgRectRaw(MEMIMG* image, const RECT* rect, DWORD value);

// Pixel moves through the converting copy. Rectangles are clipped to both
// images first; an empty result copies nothing.
void TransferGraphImageToMemImg(const GraphImage* image, const GraphImage* alphaImage, MEMIMG* dst, int srcX, int srcY,
                                int w, int h, int dstX, int dstY, int keyToAlpha);
int CopyMemImgRect(MEMIMG* dst, const MEMIMG* src, const RECT* srcRect, int dstX, int dstY);
int CopyMemImgRectToGraphImage(GraphImage* dst, const MEMIMG* src, int x, int y, int w, int h, int dstX, int dstY,
                               DWORD keyColor, int keySkip);

// The whole-image fast-blit data: premultiplied alpha plane (bodies with
// alpha and a plane) and run table, built from the current pixels. The
// whole-image transfer calls it; it does nothing for bodies without a run table.
void BuildMemImgFastBlitData(MEMIMG* image);

const COLORFMT* LookupMemImgColorFormat(int format, int useAlpha, int usePalette);
const DDPIXELFORMAT* LookupMemImgDDPixelFormat(int format, int useAlpha, int usePalette);

// Bytes of one pixel in a body's pixel block (1, 2 or 4).
inline int MemImgBytesPerPixel(const MEMIMGBODY* body) { return body->ColorFormat->BytesPerPixel; }
