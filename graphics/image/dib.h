// A GraphImage described as a 24-bit top-down DIB, and GDI DIB sections made
// from such a description (8-bit screens transfer through them). Calls the
// converting copy and the GDI stand-in.
#pragma once

#include "graphics/image/graphimage.h"
#include "platform/gdi/gdi.h"

// 0: *bits is the image's own block; 1: *bits is a new block the caller frees
// (FreeMemory); -1: no memory, *bits null.
int ConvertGraphImageToDIB(const GraphImage* image, BITMAPINFO* info, void** bits);

// A DIB section holding the picture, or 0. After the failures of the header
// allocation and of the section creation, info and bits have been freed.
HBITMAP CreateDIBGraph(BITMAPINFO* info, void* bits);
