// Pixel layouts (COLORFMT): the fixed formats, layouts from channel masks or
// DirectDraw pixel formats, and colour values in and out of a layout. Shared by
// images, the screen, textures, font caches and the software renderer.
#pragma once

#include <cstdint>

#include "platform/ddraw/pixelformat.h"
#include "platform/kernel/types.h"

struct COLORPALETTEENTRY {
    BYTE Blue;
    BYTE Green;
    BYTE Red;
    BYTE Alpha; // 0 in every palette the decoders build
};

struct COLORFMT {
    WORD BitsPerPixel;
    WORD BytesPerPixel; // 1 means the pixels are palette indexes
    BYTE RedWidth, GreenWidth, BlueWidth, AlphaWidth;
    BYTE RedShift, GreenShift, BlueShift, AlphaShift;
    DWORD RedMask, GreenMask, BlueMask, AlphaMask;
    DWORD SpareMask; // bits of a pixel that belong to no channel
    COLORPALETTEENTRY Palette[256];
    BYTE SpareShift;
    BYTE SpareWidth;
    DWORD FormatKind;
};

int SetColorFormatFromMasks(COLORFMT* format, int bitsPerPixel, DWORD redMask, DWORD greenMask, DWORD blueMask,
                            DWORD alphaMask);
int SetColorFormatFromDDPixelFormat(const DDPIXELFORMAT* pixelFormat, COLORFMT* format);
int FillRGBPixelFormat(DDPIXELFORMAT* pixelFormat, int bitsPerPixel, DWORD redMask, DWORD greenMask, DWORD blueMask,
                       DWORD alphaMask);

int SetColorFormatPalette8(COLORFMT* format);
int SetColorFormatGray8(COLORFMT* format);
int SetColorFormatRGB24(COLORFMT* format);
int SetColorFormatXRGB32(COLORFMT* format);
int SetColorFormatARGB32(COLORFMT* format);

void UpdateColorFormatUnusedMask(COLORFMT* format);
int IsSameColorFormat(const COLORFMT* a, const COLORFMT* b);
DWORD GetColorValueInFormat(const COLORFMT* format, int red, int green, int blue, int alpha);
DWORD ConvertColorValueBetweenFormats(const COLORFMT* target, const COLORFMT* source, DWORD value);
int GetColorChannelsFromValue(const COLORFMT* format, DWORD value, DWORD* red, DWORD* green, DWORD* blue,
                              DWORD* alpha);
