// The names of the drawing ideas every layer shares: blend modes, the two
// screen draw targets and the pixel formats of software images. Plain
// definitions; the kernels, the software images and the drawing state use them.
#pragma once

#include <cstdint>

// DRAWSTATE.BlendMode. The software kernels draw Copy to Multiply,
// InvertedBlend and ProductBlend; 5-9 serve Direct3D alone, and every other
// value (taken as unsigned) draws nothing.
enum class BlendMode : int {
    Copy = 0,
    Blend = 1,     // towards the source by the parameter
    Add = 2,
    Subtract = 3,
    Multiply = 4,
    Direct3DFirst = 5,  // 5-9: Direct3D's own; mode 5 is the add step of its subtract
    Direct3DLast = 9,
    InvertedBlend = 10,  // towards the inverted source
    ProductBlend = 11,   // towards the product of source and destination
};

constexpr int ToInt(BlendMode m) { return static_cast<int>(m); }

// DRAWSTATE.DrawTarget: these two, or a graph handle.
constexpr int DRAWTARGET_FRONT = -4;
constexpr int DRAWTARGET_BACK = -2;

// MEMIMGBODY.PixelFormat, and the format the pixel operators and kernel
// templates are instantiated for.
enum class PixFmt : std::uint8_t { R565 = 0, X8888 = 1, Channel8 = 2, Depth16 = 3 };
