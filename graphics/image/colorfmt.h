// COLORFMT: one pixel layout (bit and byte size, where each channel sits,
// the bits no channel uses, and the palette of 8-bit images). Images, the
// screen, textures, font caches and the software images all carry one.
#pragma once

#include "platform/kernel/types.h"

// One palette entry as images store it: blue, green, red, then a fourth byte
// that decoders leave 0 and the pixel reader reports as alpha.
struct COLORFMTPALENTRY {
    BYTE Blue;
    BYTE Green;
    BYTE Red;
    BYTE Fourth;
};

struct COLORFMT {
    WORD BitsPerPixel;   // 0 for a format with no RGB layout
    WORD BytesPerPixel;  // 1 means the pixels are palette indexes
    BYTE RedWidth;
    BYTE GreenWidth;
    BYTE BlueWidth;
    BYTE AlphaWidth;
    BYTE RedShift;
    BYTE GreenShift;
    BYTE BlueShift;
    BYTE AlphaShift;
    DWORD RedMask;
    DWORD GreenMask;
    DWORD BlueMask;
    DWORD AlphaMask;
    DWORD SpareMask;  // bits of no channel; colour values made for the format carry them set
    COLORFMTPALENTRY Palette[256];
    BYTE SpareShift;
    BYTE SpareWidth;
    DWORD FormatKind;  // compared only between two formats of 0 bits per pixel
};
