// FillMemImgTriangle: checks the images, sets the triangle up, clips the draw area to the
// destination and hands the walk to the span family of the destination and source.
// Reads its KERNELPARAMS; calls triangle_setup.cpp and the triangle_*.cpp families.
#include "softrender/simd/isa.h"
#include "softrender/triangle/fill_triangle.h"

#include <algorithm>
#include <cstdint>

#include "softrender/triangle/triangle_spans.h"
#include "softrender/triangle/triangle_walk.h"

namespace {

// Width and height times 2^18 must fit the unsigned 32-bit texel test the loops are
// defined by.
constexpr int MaxTriangleSourceSize = 16383;

bool IsUsableImage(const MEMIMG* image)
{
    return image != nullptr && image->Body != nullptr && image->Pixels != nullptr;
}

bool CanTexture(const MEMIMG* dst, const MEMIMG* src, const MEMIMG* graph)
{
    if (!IsUsableImage(src)) return false;
    if (src->Body->PixelFormat != dst->Body->PixelFormat) return false;
    if (src->Body->UsePalette == 1 && src->Body->Palette == nullptr) return false;
    if (src->Width <= 0 || src->Height <= 0) return false;
    if (src->Width > MaxTriangleSourceSize || src->Height > MaxTriangleSourceSize) return false;
    // The graph is read at texel positions, so it must cover the source.
    if (graph != nullptr) {
        if (!IsUsableImage(graph) || graph->Width < src->Width || graph->Height < src->Height) return false;
    }
    return true;
}

}  // namespace

void softrender::FillMemImgTriangle(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMG* src, const int* vertices,
                                    int trans, DWORD colour)
{
    const MEMIMG* blendGraph = k.BlendGraph;
    if (!IsUsableImage(dst) || vertices == nullptr) return;
    if (dst->Body->UsePalette == 1 || dst->Body->UseAlpha == 1) return;
    if (src != nullptr && !CanTexture(dst, src, blendGraph)) return;

    TRIANGLESETUP setup;
    if (!SetUpTriangle(reinterpret_cast<const std::int32_t*>(vertices), &setup)) return;

    TRIANGLEDRAW draw{};
    draw.Setup = &setup;
    const RECT& area = k.Area;
    draw.Clip = {std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, dst->Width),
                 std::min(area.bottom, dst->Height)};
    if (draw.Clip.left >= draw.Clip.right || draw.Clip.top >= draw.Clip.bottom) return;
    draw.Dst = dst;
    draw.Src = src;
    draw.Graph = src != nullptr ? blendGraph : nullptr;
    draw.Trans = trans;
    draw.Mode = k.Mode;
    draw.BlendParam = k.Param;
    draw.DrawBright = k.Bright;
    draw.Isa = softrender::UsableIsaLevel(k.Isa);

    if (src == nullptr) {
        DrawFlatTriangle(draw, colour);
        return;
    }
    const bool palette = src->Body->UsePalette == 1;
    const bool alpha = src->Body->UseAlpha == 1;
    switch (src->Body->PixelFormat) {
    case MEMIMG_FORMAT_XRGB8888:
        if (palette) DrawTriangleX8888Palette(draw);
        else if (alpha) DrawTriangleX8888Alpha(draw);
        else DrawTriangleX8888Direct(draw);
        break;
    case MEMIMG_FORMAT_RGB565:
        if (palette) DrawTriangleR565Palette(draw);
        else if (alpha) DrawTriangleR565Alpha(draw);
        else DrawTriangleR565Direct(draw);
        break;
    default:
        break;
    }
}
