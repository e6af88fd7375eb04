// Set-up of the 2D triangle: fixed-point vertices, the affine texture gradients and the
// two edges the row walk follows (triangle_walk.h). Calls nothing outside this folder.
#include <cmath>
#include <cstdint>
#include <utility>

#include "core/number.h"
#include "softrender/triangle/triangle_walk.h"

namespace {

struct FixedVertex {
    std::int64_t X, Y, U, V;  // X, Y carry the half-pixel bias; U, V do not
    std::int64_t PixelX, PixelY, TexelU, TexelV;
};

// Exchange sort of the indices by a key, strict comparison, as the set-up has always done:
// with equal keys the earlier vertex stays first.
template <class Key>
void SortVertexIndices(int order[3], Key key)
{
    for (int i = 0; i < 2; ++i) {
        for (int j = i + 1; j < 3; ++j) {
            if (key(order[i]) > key(order[j])) std::swap(order[i], order[j]);
        }
    }
}

TRIANGLEEDGE MakeSegment(std::int64_t startX, const FixedVertex& from, const FixedVertex& to)
{
    TRIANGLEEDGE edge{};
    const std::int64_t rows = to.PixelY - from.PixelY;
    edge.UpperX = startX;
    edge.UpperStep = (to.X - startX) / rows;
    edge.UpperRows = rows;
    edge.LowerX = startX;
    edge.LowerStep = edge.UpperStep;
    return edge;
}

void AddLowerSegment(TRIANGLEEDGE* edge, std::int64_t startX, const FixedVertex& from,
                     const FixedVertex& to)
{
    const std::int64_t rows = to.PixelY - from.PixelY;
    edge->LowerX = startX;
    edge->LowerStep = (to.X - startX) / rows;
}

}  // namespace

bool SetUpTriangle(const std::int32_t* vertices, TRIANGLESETUP* setup)
{
    FixedVertex p[3];
    for (int i = 0; i < 3; ++i) {
        const std::int32_t* r = vertices + 4 * i;
        p[i].PixelX = r[0];
        p[i].PixelY = r[1];
        p[i].TexelU = r[2];
        p[i].TexelV = r[3];
        p[i].X = p[i].PixelX * (std::int64_t{1} << TriangleFixedShift) + TriangleFixedHalf;
        p[i].Y = p[i].PixelY * (std::int64_t{1} << TriangleFixedShift) + TriangleFixedHalf;
        p[i].U = p[i].TexelU * (std::int64_t{1} << TriangleFixedShift);
        p[i].V = p[i].TexelV * (std::int64_t{1} << TriangleFixedShift);
    }

    // Gradients from the vertices ordered by X; the differences are whole pixels and texels.
    int a[3] = {0, 1, 2};
    SortVertexIndices(a, [&](int i) { return p[i].X; });
    const FixedVertex& a0 = p[a[0]];
    const FixedVertex& a1 = p[a[1]];
    const FixedVertex& a2 = p[a[2]];
    const __int128 dx1 = a1.PixelX - a0.PixelX, dy1 = a1.PixelY - a0.PixelY;
    const __int128 du1 = a1.TexelU - a0.TexelU, dv1 = a1.TexelV - a0.TexelV;
    const __int128 dx2 = a2.PixelX - a0.PixelX, dy2 = a2.PixelY - a0.PixelY;
    const __int128 du2 = a2.TexelU - a0.TexelU, dv2 = a2.TexelV - a0.TexelV;
    const __int128 det = dy1 * dx2 - dy2 * dx1;
    if (det == 0) return false;
    const double scale = static_cast<double>(std::int64_t{1} << TriangleFixedShift);
    const double ddet = static_cast<double>(det);
    setup->GradUX = TruncDoubleToInt(scale * static_cast<double>(dy1 * du2 - dy2 * du1) / ddet);
    setup->GradUY = TruncDoubleToInt(scale * static_cast<double>(du1 * dx2 - dx1 * du2) / ddet);
    setup->GradVX = TruncDoubleToInt(scale * static_cast<double>(dy1 * dv2 - dy2 * dv1) / ddet);
    setup->GradVY = TruncDoubleToInt(scale * static_cast<double>(dv1 * dx2 - dx1 * dv2) / ddet);
    setup->BaseX = a0.PixelX;
    setup->BaseY = a0.PixelY;
    setup->BaseU = a0.U;
    setup->BaseV = a0.V;

    // Edges from the vertices ordered by Y.
    int b[3] = {0, 1, 2};
    SortVertexIndices(b, [&](int i) { return p[i].Y; });
    const FixedVertex& b0 = p[b[0]];
    const FixedVertex& b1 = p[b[1]];
    const FixedVertex& b2 = p[b[2]];
    if (b0.Y == b1.Y) {
        const bool firstIsLeft = b0.X < b1.X;
        const FixedVertex& leftTop = firstIsLeft ? b0 : b1;
        const FixedVertex& rightTop = firstIsLeft ? b1 : b0;
        setup->Left = MakeSegment(leftTop.X, leftTop, b2);
        setup->Right = MakeSegment(rightTop.X, rightTop, b2);
    } else if (b1.Y == b2.Y) {
        const bool firstIsLeft = b1.X < b2.X;
        const FixedVertex& leftBottom = firstIsLeft ? b1 : b2;
        const FixedVertex& rightBottom = firstIsLeft ? b2 : b1;
        setup->Left = MakeSegment(b0.X, b0, leftBottom);
        setup->Right = MakeSegment(b0.X, b0, rightBottom);
    } else {
        // Which side the middle vertex lies on, decided by the slopes in double precision.
        const double unit = 1.0 / scale;
        const double longSlope = static_cast<double>(b2.X - b0.X) / (static_cast<double>(b2.Y - b0.Y) * unit);
        const double shortSlope = static_cast<double>(b1.X - b0.X) / (static_cast<double>(b1.Y - b0.Y) * unit);
        if (longSlope > shortSlope) {
            setup->Left = MakeSegment(b0.X, b0, b1);
            AddLowerSegment(&setup->Left, b1.X, b1, b2);
            setup->Right = MakeSegment(b0.X, b0, b2);
        } else {
            setup->Left = MakeSegment(b0.X, b0, b2);
            // The right lower segment starts one unit right of the middle vertex.
            setup->Right = MakeSegment(b0.X, b0, b1);
            AddLowerSegment(&setup->Right, b1.X + 1, b1, b2);
        }
    }
    setup->TopY = b0.PixelY;
    setup->BottomY = b2.PixelY;
    return true;
}
