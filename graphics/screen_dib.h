// The top-down bit-field DIB header that shows a software screen image
// through GDI, shared by the present and the front-screen transfers.
#pragma once

#include "graphics/memimg.h"
#include "platform/gdi/gdi.h"

struct BitFieldHeader {
    BITMAPINFOHEADER header;
    DWORD masks[3];
};

BitFieldHeader MakeBitFieldHeader(const MEMIMG* image, int width, int height);
