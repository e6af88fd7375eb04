// The pixel work on one stock entry: YUV-to-RGB conversion into a 32-bit
// XRGB image and the copies into locked YUV surface memory. Reads only the
// colour tables that InitTheoraColorTables builds.
#pragma once

#include "movie/theora.h"
#include "softrender/simd/isa.h"

// Fixed-point path: a 4:2:0 picture of even size whose chroma starts on its
// first pixel. Vector loops up to the given level (lowered to what the
// processor has), table look-ups once per 2 x 2 block for what remains;
// every level gives the same bytes.
bool IsTheoraFrame420(const FRAMESTOCK* frame);
void ConvertTheoraFrameFixed(const FRAMESTOCK* frame, GraphImage* image,
                             IsaLevel isa = softrender::HostIsaLevel());
// Floating-point path for every other layout, each pixel with its own chroma.
void ConvertTheoraFrameFloat(const FRAMESTOCK* frame, GraphImage* image);

// Copies of a 4:2:0 picture into surface memory of the given pitch.
constexpr DWORD MakeFourCC(char a, char b, char c, char d)
{
    return static_cast<DWORD>(static_cast<BYTE>(a)) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
           (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) | (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}
constexpr DWORD FOURCC_YV12 = MakeFourCC('Y', 'V', '1', '2');
constexpr DWORD FOURCC_YUY2 = MakeFourCC('Y', 'U', 'Y', '2');
constexpr DWORD FOURCC_UYVY = MakeFourCC('U', 'Y', 'V', 'Y');
void PackTheoraFrame(const FRAMESTOCK* frame, DWORD fourcc, BYTE* surface, long pitch);
