// The quad split: a whole source image onto a four-cornered quad as two
// textured 2D triangles, after one cheap test of the quad's box against the
// draw area. Reads its KERNELPARAMS; calls softrender/triangle's FillMemImgTriangle.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "graphics/matrix.h"
#include "softrender/rotate/rotate.h"
#include "softrender/triangle/fill_triangle.h"

void softrender::SplitMemImgQuadToTriangles(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMG* src,
                                            const int* corners, int trans)
{
    if (dst == nullptr || src == nullptr || corners == nullptr) return;
    std::int64_t minX = corners[0], maxX = corners[0], minY = corners[1], maxY = corners[1];
    for (int i = 1; i < 4; ++i) {
        minX = std::min<std::int64_t>(minX, corners[2 * i]);
        maxX = std::max<std::int64_t>(maxX, corners[2 * i]);
        minY = std::min<std::int64_t>(minY, corners[2 * i + 1]);
        maxY = std::max<std::int64_t>(maxY, corners[2 * i + 1]);
    }
    // Widened in 64 bits, so corners at the ends of the int range cannot wrap.
    auto clamp32 = [](std::int64_t v) { return static_cast<LONG>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
    RECT box{clamp32(minX - 2), clamp32(minY - 2), clamp32(maxX + 4), clamp32(maxY + 4)};
    ClipRectAgainstRect(&box, &k.Area);
    if (box.left == box.right || box.top == box.bottom) return;

    const int w = src->Width, h = src->Height;
    const int vertices[16] = {corners[0], corners[1], 0, 0, corners[2], corners[3], w, 0,
                              corners[4], corners[5], 0, h, corners[6], corners[7], w, h};
    FillMemImgTriangle(k, dst, src, vertices, trans, 0);
    FillMemImgTriangle(k, dst, src, vertices + 4, trans, 0);
}
