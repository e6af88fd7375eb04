// TLVTXTEX: the pre-transformed textured vertex that the Direct3D batches,
// the triangle-list draw and the software 3D triangle kernel all take.
#pragma once

#include "platform/kernel/types.h"

struct TLVTXTEX {
    float x;    // screen pixels, growing to the right
    float y;    // screen pixels, growing downwards
    float z;    // depth; 0.0 to 1.0 is visible
    float rhw;  // reciprocal of the homogeneous w
    DWORD diffuse;  // bytes from low to high: blue, green, red, alpha
    float u;
    float v;
};

static_assert(sizeof(TLVTXTEX) == 28, "TLVTXTEX is a 28-byte record");
