// The graph-image forwarders of the public entry layer (core/api.cpp): the
// library's own code and its tests call them. They take the library's image
// records, so they stay off the public header.
#pragma once

#include "platform/kernel/types.h"

struct COLORFMT;
struct DDPIXELFORMAT;
struct GraphImage;

const DDPIXELFORMAT* QueryScreenPixelFormat();
int BuildColorFormat(COLORFMT* format, int bitsPerPixel, DWORD redMask, DWORD greenMask, DWORD blueMask,
                     DWORD alphaMask);
int BuildRGBPixelFormat(DDPIXELFORMAT* format, int bitsPerPixel, DWORD redMask, DWORD greenMask, DWORD blueMask,
                        DWORD alphaMask);
int MakeXrgbGraphImage(int width, int height, GraphImage* image);
int DiscardGraphImage(GraphImage* image);
