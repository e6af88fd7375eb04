// MAT44 and VEC3F (row vectors, p' = p x M) with their builders, and the
// three RECT operations every draw clips with. Pure functions; no state.
#pragma once

#include "platform/kernel/types.h"

struct MAT44 {
    float m[16];  // element (r, c) at index 4r + c; translation in row 3
};

struct VEC3F {
    float x;
    float y;
    float z;
};

int ResetMatrixToIdentity(MAT44* m);
int MultiplyMatrix4x4(MAT44* out, const MAT44* a, const MAT44* b);
int BuildPerspectiveProjection(MAT44* out, float fov, float nearZ, float farZ, float aspect);
int BuildViewportMatrix(MAT44* out, float x, float y, float width, float height);
int BuildLookAtView(MAT44* out, const VEC3F* eye, const VEC3F* target, const VEC3F* up);
double DotProductVector3(const VEC3F* a, const VEC3F* b);

// Inline: every draw clips before its first pixel, and a call would send the
// rectangle through memory.
inline int ClipRectAgainstRect(RECT* r, const RECT* bound)
{
    auto clamp = [](LONG v, LONG lo, LONG hi) { return v > hi ? hi : (v < lo ? lo : v); };
    if (r->right < r->left) r->right = r->left;
    if (r->bottom < r->top) r->bottom = r->top;
    r->bottom = clamp(r->bottom, bound->top, bound->bottom);
    r->top = clamp(r->top, bound->top, bound->bottom);
    r->right = clamp(r->right, bound->left, bound->right);
    r->left = clamp(r->left, bound->left, bound->right);
    return 0;
}
int OrderRectCorners(RECT* r);
int GetRectWidthHeight(const RECT* r, int* width, int* height);
