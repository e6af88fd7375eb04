// Matrix builders and products, the dot product, and rectangle clipping,
// ordering and size. The perspective builder falls back to the screen's
// aspect when none is given.
#include "graphics/matrix.h"

#include "core/number.h"
#include "graphics/screen.h"

#include <cmath>
#include <cstring>

namespace {

constexpr MAT44 kIdentity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

float ScreenAspect()
{
    int width = 0, height = 0;
    GetScreenPixelSize(&width, &height);
    return static_cast<float>(height) / static_cast<float>(width);
}

void Cross(const VEC3F& a, const VEC3F& b, VEC3F* out)
{
    out->x = a.y * b.z - a.z * b.y;
    out->y = a.z * b.x - a.x * b.z;
    out->z = a.x * b.y - a.y * b.x;
}

void Normalise(VEC3F* v)
{
    float inv = 1.0f / std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
    v->x *= inv;
    v->y *= inv;
    v->z *= inv;
}

}  // namespace

int ResetMatrixToIdentity(MAT44* m)
{
    *m = kIdentity;
    return 0;
}

int MultiplyMatrix4x4(MAT44* out, const MAT44* a, const MAT44* b)
{
    MAT44 t;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            t.m[4 * i + j] = a->m[4 * i + 0] * b->m[0 + j] + a->m[4 * i + 1] * b->m[4 + j] +
                             a->m[4 * i + 2] * b->m[8 + j] + a->m[4 * i + 3] * b->m[12 + j];
        }
    }
    if (out != nullptr) *out = t;
    return 0;
}

int BuildPerspectiveProjection(MAT44* out, float fov, float nearZ, float farZ, float aspect)
{
    if (!(aspect >= 0.0f)) aspect = ScreenAspect();
    float s = 0.0f;
    float c = 0.0f;
    ComputeSinCos(fov * 0.5f, &s, &c);
    if (std::fabs(farZ - nearZ) < 0.01f || std::fabs(s) < 0.01f) return -1;
    float cot = c / s;
    float q = farZ / (farZ - nearZ);
    std::memset(out, 0, sizeof *out);
    out->m[0] = aspect * cot;
    out->m[5] = cot;
    out->m[10] = q;
    out->m[11] = 1.0f;
    out->m[14] = -q * nearZ;
    out->m[15] = 0.0f;
    return 0;
}

int BuildViewportMatrix(MAT44* out, float x, float y, float width, float height)
{
    std::memset(out, 0, sizeof *out);
    out->m[0] = width * 0.5f;
    out->m[5] = height * -0.5f;
    out->m[10] = 1.0f;
    out->m[12] = x;
    out->m[13] = y;
    out->m[15] = 1.0f;
    return 0;
}

int BuildLookAtView(MAT44* out, const VEC3F* eye, const VEC3F* target, const VEC3F* up)
{
    VEC3F z = {target->x - eye->x, target->y - eye->y, target->z - eye->z};
    VEC3F x;
    Cross(*up, z, &x);
    VEC3F y;
    Cross(z, x, &y);
    Normalise(&x);
    Normalise(&y);
    Normalise(&z);
    std::memset(out, 0, sizeof *out);
    out->m[0] = x.x;
    out->m[4] = x.y;
    out->m[8] = x.z;
    out->m[1] = y.x;
    out->m[5] = y.y;
    out->m[9] = y.z;
    out->m[2] = z.x;
    out->m[6] = z.y;
    out->m[10] = z.z;
    out->m[12] = static_cast<float>(-DotProductVector3(&x, eye));
    out->m[13] = static_cast<float>(-DotProductVector3(&y, eye));
    out->m[14] = static_cast<float>(-DotProductVector3(&z, eye));
    out->m[15] = 1.0f;
    return 0;
}

double DotProductVector3(const VEC3F* a, const VEC3F* b)
{
    return static_cast<double>(a->z) * b->z + static_cast<double>(a->y) * b->y + static_cast<double>(a->x) * b->x;
}

int OrderRectCorners(RECT* r)
{
    if (r->left > r->right) {
        LONG t = r->left;
        r->left = r->right;
        r->right = t;
    }
    if (r->top > r->bottom) {
        LONG t = r->top;
        r->top = r->bottom;
        r->bottom = t;
    }
    return 0;
}

int GetRectWidthHeight(const RECT* r, int* width, int* height)
{
    if (width != nullptr) *width = r->right - r->left;
    if (height != nullptr) *height = r->bottom - r->top;
    return 0;
}
