// GraphImage, a decoded image in memory, with its set-up, pixel accessors and
// the graph-image handle table (kind 0x70000000). Pixels come from the
// library's allocator (core/memory.h); layouts from colorfmt.h.
#pragma once

#include <cstddef>
#include <cstring>

#include "core/handle.h"
#include "graphics/image/colorfmt.h"

struct GraphImage {
    COLORFMT Format;
    int Width;
    int Height;
    int Pitch; // bytes per row; rows run top-down from Pixels
    void* Pixels; // owned by the descriptor
};

struct GRAPHIMAGEREC {
    GraphImage Image;
    std::uint32_t Check;
};

using GRAPHIMAGETABLE = HANDLETABLE<GRAPHIMAGEREC, HANDLECAP_GRAPHIMAGE, HANDLETAG_GRAPHIMAGE>;
extern GRAPHIMAGETABLE GraphImageTable;

// Bytes of a block of rows x pitch, or 0 when either is not positive or the
// product does not fit the address space (every decoder sizes its blocks here).
std::size_t GetImageBlockSize(long long pitch, long long rows);

int SetupGraphImageARGB32(int width, int height, GraphImage* image);
int SetupGraphImageXRGB32(int width, int height, GraphImage* image);
int SetupGraphImageRGB24(int width, int height, GraphImage* image);
int FreeGraphImagePixels(GraphImage* image);

DWORD GetGraphImagePixelPacked(const GraphImage* image, int x, int y);
int GetGraphImagePixelRGBA(const GraphImage* image, int x, int y, DWORD* red, DWORD* green, DWORD* blue,
                           DWORD* alpha);
int SetGraphImagePixel(GraphImage* image, int x, int y, int red, int green, int blue, int alpha);
int FillGraphImageColor(GraphImage* image, int red, int green, int blue, int alpha);
int MirrorGraphImageHorizontally(GraphImage* image);

int DropGraphImageHandle(HANDLEVALUE handle);
int DropGraphImageHandleTable();

// One pixel value of 1 to 4 bytes, little-endian, read or written in place.
inline DWORD ReadPixelValue(const BYTE* p, int bytes)
{
    switch (bytes) {
    case 1:
        return p[0];
    case 2:
        return static_cast<DWORD>(p[0] | (p[1] << 8));
    case 3:
        return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16));
    case 4: {
        DWORD v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default:
        return 0;
    }
}

inline void WritePixelValue(BYTE* p, int bytes, DWORD v)
{
    switch (bytes) {
    case 1:
        p[0] = static_cast<BYTE>(v);
        break;
    case 2:
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
        break;
    case 3:
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
        p[2] = static_cast<BYTE>(v >> 16);
        break;
    case 4:
        std::memcpy(p, &v, 4);
        break;
    default:
        break;
    }
}
