// The 2D triangle's set-up (14.18 fixed point, texture gradients, left and right edges)
// and its row walk with the coverage rule, clipped to a rectangle. Shared by every span
// family of FillMemImgTriangle; calls nothing else.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/kernel/types.h"

constexpr int TriangleFixedShift = 18;              // one pixel or texel = 2^18 units
constexpr std::int64_t TriangleFixedHalf = 0x20000;  // screen positions sit half a pixel in

// One edge: an upper segment and, when the edge bends at the middle vertex, a lower one.
// Positions are 64-bit so that no coordinate a caller can pass overflows.
struct TRIANGLEEDGE {
    std::int64_t UpperX;
    std::int64_t UpperStep;
    std::int64_t UpperRows;  // rows before the lower segment takes over (all rows when single)
    std::int64_t LowerX;
    std::int64_t LowerStep;
};

struct TRIANGLESETUP {
    // Change of u and v per pixel to the right (X) and per row downward (Y), in 2^-18 texels.
    std::int32_t GradUX;
    std::int32_t GradVX;
    std::int32_t GradUY;
    std::int32_t GradVY;
    // Base vertex (the leftmost): its pixel position and its fixed-point texel position.
    std::int64_t BaseX;
    std::int64_t BaseY;
    std::int64_t BaseU;
    std::int64_t BaseV;
    // Rows TopY .. BottomY - 1 are covered: the bottom vertex's row is not.
    std::int64_t TopY;
    std::int64_t BottomY;
    TRIANGLEEDGE Left;
    TRIANGLEEDGE Right;
};

// Prepares a triangle from three {x, y, u, v} records. Answers false when the vertices are
// collinear or coincide, which draws nothing.
bool SetUpTriangle(const std::int32_t* vertices, TRIANGLESETUP* setup);

// Fixed-point X of an edge on the k-th row below the top vertex.
inline std::int64_t GetTriangleEdgeX(const TRIANGLEEDGE& edge, std::int64_t k)
{
    if (k < edge.UpperRows) return edge.UpperX + k * edge.UpperStep;
    return edge.LowerX + (k - edge.UpperRows) * edge.LowerStep;
}

// Calls span(y, firstX, count) for every covered run of pixels inside clip (right and
// bottom exclusive), top row first. A pixel is covered when its row lies from the top
// vertex's row to the row above the bottom vertex and its column lies between the left
// and right edge positions of that row, each taken to the nearest column, both included.
// Whole parts are floored, so triangles reaching above or left of 0 keep their shape.
// Only rows inside clip are visited, so the cost is bounded by the clip rectangle.
template <class SpanFn>
inline void WalkTriangleRows(const TRIANGLESETUP& setup, const RECT& clip, SpanFn&& span)
{
    const std::int64_t firstY = std::max<std::int64_t>(setup.TopY, clip.top);
    const std::int64_t endY = std::min<std::int64_t>(setup.BottomY, clip.bottom);
    for (std::int64_t y = firstY; y < endY; ++y) {
        const std::int64_t k = y - setup.TopY;
        const std::int64_t left = GetTriangleEdgeX(setup.Left, k) >> TriangleFixedShift;
        const std::int64_t right = GetTriangleEdgeX(setup.Right, k) >> TriangleFixedShift;
        const std::int64_t first = std::max<std::int64_t>(left, clip.left);
        const std::int64_t end = std::min<std::int64_t>(right + 1, clip.right);
        if (first < end) {
            span(static_cast<std::int32_t>(y), static_cast<std::int32_t>(first),
                 static_cast<std::int32_t>(end - first));
        }
    }
}

// Fixed-point texel position (u, v) of pixel (x, y), recomputed from the base vertex so
// that stepping errors never carry from row to row. The exact value is formed in 128 bits
// and held within +-2^61: a span then steps by less than 2^62 without overflowing, and a
// start that far outside the source stays outside it for any span a real image can hold.
inline void GetTriangleTexelAt(const TRIANGLESETUP& setup, std::int32_t x, std::int32_t y,
                               std::int64_t* u, std::int64_t* v)
{
    constexpr __int128 limit = static_cast<__int128>(1) << 61;
    const __int128 dx = static_cast<__int128>(x) - setup.BaseX;
    const __int128 dy = static_cast<__int128>(y) - setup.BaseY;
    const __int128 fu = setup.BaseU + dx * setup.GradUX + dy * setup.GradUY;
    const __int128 fv = setup.BaseV + dx * setup.GradVX + dy * setup.GradVY;
    *u = static_cast<std::int64_t>(std::clamp(fu, -limit, limit));
    *v = static_cast<std::int64_t>(std::clamp(fv, -limit, limit));
}
