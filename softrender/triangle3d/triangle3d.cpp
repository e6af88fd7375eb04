// The 3D triangle kernel's frame: entry checks, the white texture of
// untextured triangles, clipping against the depth range with recursive
// drawing of the pieces, set-up of the interpolants and the row span table,
// and the dispatch to the loop units (triangle3d_*.cpp).
// Reads its KERNELPARAMS and BLENDTABLES.
#include "softrender/triangle3d/triangle3d.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "graphics/matrix.h"
#include "softrender/pixelops/op_context.h"
#include "softrender/simd/isa.h"
#include "softrender/triangle3d/triangle3d_loop.h"

namespace softrender {
namespace {

// Far-pass vertices may land a hair beyond z = 1.0 and be clipped again by
// their own piece; a few levels cover every real case.
constexpr int kMaxClipLevels = 8;
constexpr std::int64_t kNeverSwitch = INT64_MAX;

// Truncation toward zero. Positions, edges and interpolants are kept in 64
// bits, so coordinates beyond the 14.18 range and far-off origins stay exact;
// values beyond 2^62 saturate, and NaN gives 0x80000000 as the 32-bit
// conversion does.
std::int64_t TruncTo64(double v)
{
    if (std::isnan(v)) return INT32_MIN;
    constexpr double kLimit = 4611686018427387904.0;  // 2^62
    if (v >= kLimit) return static_cast<std::int64_t>(kLimit);
    if (v <= -kLimit) return -static_cast<std::int64_t>(kLimit);
    return static_cast<std::int64_t>(v);
}

std::int64_t Wrap64Add(std::int64_t a, std::int64_t b)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

// Orders three values with greater-than tests only: out = {smallest, middle, largest}.
void OrderThree(float k1, float k2, float k3, int out[3])
{
    if (k1 > k2) {
        if (k2 > k3) { out[0] = 2; out[1] = 1; out[2] = 0; }
        else if (k3 > k1) { out[0] = 1; out[1] = 0; out[2] = 2; }
        else { out[0] = 1; out[1] = 2; out[2] = 0; }
    } else {
        if (k1 > k3) { out[0] = 2; out[1] = 0; out[2] = 1; }
        else if (k3 > k2) { out[0] = 0; out[1] = 1; out[2] = 2; }
        else { out[0] = 0; out[1] = 2; out[2] = 1; }
    }
}

struct Edge {
    float startX, startY, slope;
    bool twoSegments;
    float secondX, secondY, secondSlope;
};

Edge OneSegment(const TLVTXTEX& a, const TLVTXTEX& b)
{
    return Edge{a.x, a.y, (b.x - a.x) / (b.y - a.y), false, 0.0f, 0.0f, 0.0f};
}

std::vector<Tri3DSpan>& SpanTable()
{
    static std::vector<Tri3DSpan> table;
    return table;
}

// Walks the two edges row by row and fills the span table; answers false when
// no row is drawn.
bool WalkSpans(const TLVTXTEX& top, const TLVTXTEX& mid, const TLVTXTEX& bot, const RECT& area, Tri3DDraw* d)
{
    Edge left, right;
    const std::int64_t t = TruncTo64(top.y);
    const std::int64_t m = TruncTo64(mid.y);
    const std::int64_t b = TruncTo64(bot.y);
    if (t == m) {
        const bool topLeft = !(top.x > mid.x);
        left = OneSegment(topLeft ? top : mid, bot);
        right = OneSegment(topLeft ? mid : top, bot);
    } else if (m == b) {
        const bool midLeft = !(mid.x > bot.x);
        left = OneSegment(top, midLeft ? mid : bot);
        right = OneSegment(top, midLeft ? bot : mid);
    } else {
        const float sTM = (mid.x - top.x) / (mid.y - top.y);
        const float sTB = (bot.x - top.x) / (bot.y - top.y);
        if (sTB > sTM) {
            left = Edge{top.x, top.y, sTM, true, mid.x, mid.y, (bot.x - mid.x) / (bot.y - mid.y)};
            right = OneSegment(top, bot);
        } else {
            left = OneSegment(top, bot);
            const float x2 = mid.x + 1.0f;
            right = Edge{top.x, top.y, sTM, true, x2, mid.y, (bot.x - x2) / (bot.y - mid.y)};
        }
    }

    std::int64_t y0 = (TruncTo64(top.y * 262144.0f) + 131072) / 262144;
    if (y0 < area.top) y0 = area.top;
    std::int64_t yEnd = TruncTo64(bot.y * 262144.0f);
    const std::int64_t bottomFixed = static_cast<std::int64_t>(area.bottom) * 262144;
    if (yEnd > bottomFixed) yEnd = bottomFixed;
    std::int64_t c = y0 * 262144 + 131072;
    if (c >= yEnd) return false;

    const float dy = (static_cast<float>(y0) + 0.5f) - left.startY;
    std::int64_t xL = TruncTo64((left.startX + dy * left.slope) * 262144.0f);
    std::int64_t xR = TruncTo64((right.startX + dy * right.slope) * 262144.0f);
    std::int64_t stepL = TruncTo64(left.slope * 262144.0f);
    std::int64_t stepR = TruncTo64(right.slope * 262144.0f);
    const std::int64_t midFixed = TruncTo64(mid.y * 262144.0f);
    std::int64_t switchL = left.twoSegments ? midFixed : kNeverSwitch;
    std::int64_t switchR = right.twoSegments ? midFixed : kNeverSwitch;

    std::vector<Tri3DSpan>& spans = SpanTable();
    spans.clear();
    while (c < yEnd) {
        // Floor division: a pixel is drawn when its centre lies right of the left
        // edge and not right of the right edge, also left of column 0.
        std::int64_t first = Wrap64Add(xL, 131072) >> 18;
        const std::int64_t last = Wrap64Add(xR, -131072) >> 18;
        std::int64_t count = last - first + 1;
        if (first < area.left) {
            count -= area.left - first;
            first = area.left;
        }
        if (first + count > area.right) count = area.right - first;
        if (count <= 0) spans.push_back(Tri3DSpan{area.left, 0});
        else spans.push_back(Tri3DSpan{static_cast<int>(first), static_cast<int>(count)});

        xL = Wrap64Add(xL, stepL);
        xR = Wrap64Add(xR, stepR);
        c += 262144;
        const float cy = static_cast<float>(static_cast<double>(c) / 262144.0);
        if (switchL <= c) {
            xL = TruncTo64((left.secondX + (cy - left.secondY) * left.secondSlope) * 262144.0f);
            stepL = TruncTo64(left.secondSlope * 262144.0f);
            switchL = kNeverSwitch;
        }
        if (switchR <= c) {
            xR = TruncTo64((right.secondX + (cy - right.secondY) * right.secondSlope) * 262144.0f);
            stepR = TruncTo64(right.secondSlope * 262144.0f);
            switchR = kNeverSwitch;
        }
    }
    d->y0 = static_cast<int>(y0);
    d->rows = static_cast<int>(spans.size());
    d->spans = spans.data();
    return true;
}

// Early rejections, plane gradients of the interpolants and the span walk.
bool SetUpTriangle3D(const TLVTXTEX* v, const RECT& area, Tri3DDraw* d)
{
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(v[i].x) || !std::isfinite(v[i].y)) return false;
    int ox[3], oy[3], oz[3];
    OrderThree(v[0].x, v[1].x, v[2].x, ox);
    OrderThree(v[0].y, v[1].y, v[2].y, oy);
    OrderThree(v[0].z, v[1].z, v[2].z, oz);
    const TLVTXTEX& xlo = v[ox[0]];
    const TLVTXTEX& xmid = v[ox[1]];
    const TLVTXTEX& xhi = v[ox[2]];
    const TLVTXTEX& top = v[oy[0]];
    const TLVTXTEX& mid = v[oy[1]];
    const TLVTXTEX& bot = v[oy[2]];

    if (xhi.x < static_cast<float>(area.left)) return false;
    if (xlo.x >= static_cast<float>(area.right)) return false;
    if (bot.y < static_cast<float>(area.top)) return false;
    if (top.y >= static_cast<float>(area.bottom)) return false;
    if (v[oz[2]].z < 0.0f) return false;
    if (v[oz[0]].z >= 1.0f) return false;
    if (bot.y - top.y < 1.1f) return false;
    if (xhi.x - xlo.x < 1.1f) return false;
    const float mx = xmid.x - xlo.x, my = xmid.y - xlo.y;
    const float hx = xhi.x - xlo.x, hy = xhi.y - xlo.y;
    const float det = mx * hy - my * hx;
    if (det == 0.0f) return false;
    const float invDet = 1.0f / det;

    auto plane = [&](float a, float am, float ah, double scale, int index) {
        const float gx = (am * hy - ah * my) * invDet;
        const float gy = (ah * mx - am * hx) * invDet;
        const float o = a - xlo.x * gx - xlo.y * gy;
        d->origin[index] = TruncTo64(static_cast<double>(o) * scale);
        d->stepX[index] = TruncTo64(static_cast<double>(gx) * scale);
        d->stepY[index] = TruncTo64(static_cast<double>(gy) * scale);
    };
    auto planeFloat = [&](float a, float m, float h, double scale, int index) { plane(a, m - a, h - a, scale, index); };
    auto planeByte = [&](int shift, int index) {
        const int a = (xlo.diffuse >> shift) & 0xFF;
        const int m = (xmid.diffuse >> shift) & 0xFF;
        const int h = (xhi.diffuse >> shift) & 0xFF;
        plane(static_cast<float>(a), static_cast<float>(m - a), static_cast<float>(h - a), 16384.0, index);
    };
    planeFloat(xlo.rhw, xmid.rhw, xhi.rhw, 67108864.0, kInterpQ);
    planeFloat(xlo.u * xlo.rhw, xmid.u * xmid.rhw, xhi.u * xhi.rhw, 67108864.0, kInterpUQ);
    planeFloat(xlo.v * xlo.rhw, xmid.v * xmid.rhw, xhi.v * xhi.rhw, 67108864.0, kInterpVQ);
    planeFloat(xlo.z, xmid.z, xhi.z, 16777216.0, kInterpZ);
    planeByte(0, kInterpB);
    planeByte(8, kInterpG);
    planeByte(16, kInterpR);
    planeByte(24, kInterpA);

    return WalkSpans(top, mid, bot, area, d);
}

// The texture of untextured triangles: 8x8 white, tinted by the bright colour
// as a filled rectangle tints its colour, whatever the draw area and mode.
KernelImage MakeWhiteTexture(int format, BYTE* buffer, DWORD bright)
{
    const bool white = softpix::IsWhite(bright);
    const std::uint32_t bB = bright & 0xFF, bG = (bright >> 8) & 0xFF, bR = (bright >> 16) & 0xFF;
    KernelImage k{};
    k.pixels = buffer;
    k.width = 8;
    k.height = 8;
    k.format = format;
    if (format == MEMIMG_FORMAT_XRGB8888) {
        const std::uint32_t c = white ? 0xFFFFFFFFu
                                      : (0xFF000000u | (((255 * bR) >> 8) << 16) | (((255 * bG) >> 8) << 8) | ((255 * bB) >> 8));
        k.pitch = 32;
        for (int i = 0; i < 64; ++i) Store32(buffer + 4 * i, c);
    } else {
        const std::uint32_t c = white ? 0xFFFFu : ((((31 * bR) >> 8) << 11) | (((63 * bG) >> 8) << 5) | ((31 * bB) >> 8));
        k.pitch = 16;
        for (int i = 0; i < 64; ++i) Store16(buffer + 2 * i, static_cast<std::uint16_t>(c));
    }
    return k;
}

bool IsDepthImageFor(const MEMIMG* depth, const MEMIMG* dst)
{
    if (!IsDrawableImage(depth)) return false;
    if (depth->Width != dst->Width || depth->Height != dst->Height) return false;
    // Read as 16-bit values: only two-byte pixels can be walked safely.
    const MEMIMGBODY* b = depth->Body;
    return b->PixelFormat == MEMIMG_FORMAT_DEPTH16 || (b->PixelFormat == MEMIMG_FORMAT_RGB565 && b->UseAlpha != 1 && b->UsePalette != 1);
}

void RasterizeLevel(const KERNELPARAMS& kp, MEMIMG* dst, MEMIMG* depth, const MEMIMG* texture, const TLVTXTEX* v,
                    int trans, int depthWrite, int pieceDepthWrite, int vertexColour, int clip, int level);

// Which vector loops the draw may take: the lane stages write a few pixels'
// depths ahead of their texels, and the gathered copy reads eight texels
// ahead of their stores, which only the order of the scalar loop keeps right
// when the images share bytes.
void ChooseLoops(const KERNELPARAMS& kp, const MEMIMG* dst, const MEMIMG* depth, const MEMIMG* texture,
                 const MEMIMG* blendGraph, const KernelImage& tex, Tri3DDraw* d)
{
    d->isa = UsableIsaLevel(kp.Isa);
    if (depth != nullptr &&
        (ImagesShareBytes(depth, dst) || ImagesShareBytes(depth, texture) || ImagesShareBytes(depth, blendGraph)))
        d->isa = IsaLevel::Portable;
    const std::int64_t farthest = static_cast<std::int64_t>(tex.height - 1) * tex.pitch + static_cast<std::int64_t>(tex.width) * 4;
    d->gatherTexels = tex.pitch > 0 && farthest <= INT32_MAX && !ImagesShareBytes(texture, dst);
}

struct ClipVertex {
    float x, y, z, w, tu, tv;
    int c[4];
};

ClipVertex Interpolate(const ClipVertex& s, const ClipVertex& e, float t, bool farPass)
{
    ClipVertex r;
    r.x = s.x + (e.x - s.x) * t;
    r.y = s.y + (e.y - s.y) * t;
    r.w = s.w + (e.w - s.w) * t;
    r.tu = s.tu + (e.tu - s.tu) * t;
    r.tv = s.tv + (e.tv - s.tv) * t;
    r.z = farPass ? s.z + (e.z - s.z) * t : 0.0f;
    const int f = static_cast<int>(TruncTo64(t * 255.0f) & 0xFF);
    for (int i = 0; i < 4; ++i) r.c[i] = ((e.c[i] - s.c[i]) * f + s.c[i] * 256) >> 8;
    return r;
}

// One clipping pass over the closed polygon in[0..n-1] (in[n] is scratch for
// the closing copy); answers the number of vertices written to out.
int ClipPass(ClipVertex* in, int n, ClipVertex* out, bool farPass)
{
    in[n] = in[0];
    auto outside = [farPass](const ClipVertex& p) { return farPass ? p.z > p.w : p.z < 0.0f; };
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const ClipVertex& p = in[i];
        const ClipVertex& nx = in[i + 1];
        const bool pOut = outside(p), nOut = outside(nx);
        if (!pOut) out[m++] = p;
        if (pOut == nOut) continue;
        const ClipVertex& inside = pOut ? nx : p;
        const ClipVertex& outer = pOut ? p : nx;
        if (farPass) {
            const float zi = inside.z / inside.w;
            const float zo = outer.z / outer.w;
            out[m++] = Interpolate(inside, outer, (1.0f - zi) / (zo - zi), true);
        } else {
            out[m++] = Interpolate(outer, inside, -outer.z / (inside.z - outer.z), false);
        }
    }
    return m;
}

void ClipAndDrawPieces(const KERNELPARAMS& kp, MEMIMG* dst, MEMIMG* depth, const MEMIMG* texture, const TLVTXTEX* v,
                       int trans, int pieceDepthWrite, int level)
{
    // A convex polygon gains at most one vertex per pass; the room beyond that
    // keeps inconsistent classifications (rhw <= 0) inside the buffers.
    ClipVertex a[16], b[16];
    for (int i = 0; i < 3; ++i) {
        const float w = 1.0f / v[i].rhw;
        a[i] = ClipVertex{v[i].x * w, v[i].y * w, v[i].z * w, w, v[i].u, v[i].v,
                          {static_cast<int>(v[i].diffuse & 0xFF), static_cast<int>((v[i].diffuse >> 8) & 0xFF),
                           static_cast<int>((v[i].diffuse >> 16) & 0xFF), static_cast<int>(v[i].diffuse >> 24)}};
    }
    int n = ClipPass(a, 3, b, true);
    n = ClipPass(b, n, a, false);
    if (n < 3) return;

    TLVTXTEX poly[16];
    for (int i = 0; i < n; ++i) {
        const float rhw = 1.0f / a[i].w;
        poly[i].x = a[i].x * rhw;
        poly[i].y = a[i].y * rhw;
        poly[i].z = a[i].z * rhw;
        poly[i].rhw = rhw;
        poly[i].diffuse = static_cast<DWORD>(a[i].c[0] & 0xFF) | static_cast<DWORD>(a[i].c[1] & 0xFF) << 8 |
                          static_cast<DWORD>(a[i].c[2] & 0xFF) << 16 | static_cast<DWORD>(a[i].c[3] & 0xFF) << 24;
        poly[i].u = a[i].tu;
        poly[i].v = a[i].tv;
    }
    RasterizeLevel(kp, dst, depth, texture, poly, trans, pieceDepthWrite, 0, 1, 1, level + 1);
    for (int k = 3; k < n; ++k) {
        const TLVTXTEX tri[3] = {poly[k], poly[0], poly[k - 1]};
        RasterizeLevel(kp, dst, depth, texture, tri, trans, pieceDepthWrite, 0, 1, 1, level + 1);
    }
}

void RasterizeLevel(const KERNELPARAMS& kp, MEMIMG* dst, MEMIMG* depth, const MEMIMG* texture, const TLVTXTEX* v,
                    int trans, int depthWrite, int pieceDepthWrite, int vertexColour, int clip, int level)
{
    const MEMIMG* blendGraph = kp.BlendGraph;
    if (!IsDrawableImage(dst) || v == nullptr) return;
    if (clip == 1) {
        int outside = 0;
        for (int i = 0; i < 3; ++i)
            if (v[i].z < 0.0f || v[i].z > 1.0f) ++outside;
        if (outside == 3) return;
        if (outside > 0) {
            if (level < kMaxClipLevels) ClipAndDrawPieces(kp, dst, depth, texture, v, trans, pieceDepthWrite, level);
            return;
        }
    }
    if (depth != nullptr && !IsDepthImageFor(depth, dst)) return;

    const KernelImage target = ReadKernelImage(dst);
    alignas(4) BYTE whiteTexel[8 * 32];
    KernelImage tex;
    if (texture != nullptr) {
        if (!IsDrawableImage(texture)) return;
        tex = ReadKernelImage(texture);
    } else {
        if (target.format != MEMIMG_FORMAT_RGB565 && target.format != MEMIMG_FORMAT_XRGB8888) return;
        tex = MakeWhiteTexture(target.format, whiteTexel, kp.Bright);
    }
    if (tex.format != target.format || target.usePalette == 1 || target.useAlpha == 1) return;
    if (tex.format != MEMIMG_FORMAT_RGB565 && tex.format != MEMIMG_FORMAT_XRGB8888) return;
    if (tex.width <= 0 || tex.height <= 0) return;
    if (blendGraph != nullptr) {
        // The graph is read at the texel's coordinates: it must cover the texture.
        if (!IsDrawableImage(blendGraph) || blendGraph->Width < tex.width || blendGraph->Height < tex.height) return;
    }
    const bool palette = tex.usePalette == 1;
    const bool alpha = !palette && tex.useAlpha == 1;
    const bool vc = vertexColour != 0;
    const int p = kp.Param;
    // The loops with vertex colour never read the parameter; the others take
    // mode 1 at 255 as mode 0 and draw nothing for some modes at 0.
    const int mode = vc ? (softpix::IsDrawingMode(ToInt(kp.Mode)) ? ToInt(kp.Mode) : -1)
                        : softpix::SelectImageMode(kp.Mode, p, palette);
    if (mode < 0) return;

    RECT area = kp.Area;
    const RECT bounds{0, 0, target.width, target.height};
    ClipRectAgainstRect(&area, &bounds);
    if (area.left >= area.right || area.top >= area.bottom) return;

    Tri3DDraw d{};
    if (!SetUpTriangle3D(v, area, &d)) return;
    d.dstPixels = target.pixels;
    d.dstPitch = target.pitch;
    if (depth != nullptr) {
        d.depthPixels = depth->Pixels;
        d.depthPitch = depth->Body->Pitch;
        d.depthWrite = depthWrite != 0;
    }
    d.texPixels = tex.pixels;
    d.texPitch = tex.pitch;
    d.texWidth = static_cast<std::uint32_t>(tex.width);
    d.texHeight = static_cast<std::uint32_t>(tex.height);
    d.colorKey = tex.colorKey;
    d.texPalette = tex.palette;
    if (blendGraph != nullptr) {
        d.graphPixels = blendGraph->Pixels;
        d.graphPitch = blendGraph->Body->Pitch;
    }
    ChooseLoops(kp, dst, depth, texture, blendGraph, tex, &d);
    const bool graph = blendGraph != nullptr;
    const bool keyed = trans != 0;
    if (vc) {
        if (tex.format == MEMIMG_FORMAT_XRGB8888) DrawTri3DVertexColour32(d, mode, palette, graph, alpha, keyed);
        else DrawTri3DVertexColour16(d, mode, palette, graph, alpha, keyed);
    } else {
        MEMIMGBODY whiteBody{};  // the white texture has no palette and key 0
        const softpix::ImageOpCtx ctx =
            softpix::MakeImageOpCtx(texture != nullptr ? texture->Body : &whiteBody, p, kp.Bright);
        const bool white = softpix::IsWhite(kp.Bright);
        if (tex.format == MEMIMG_FORMAT_XRGB8888) DrawTri3DImage32(d, ctx, mode, palette, graph, white, alpha, keyed);
        else DrawTri3DImage16(d, ctx, mode, palette, graph, white, alpha, keyed);
    }
}

}  // namespace

void RasterizeMemImgTriangle3D(const KERNELPARAMS& k, MEMIMG* dst, MEMIMG* depth, const MEMIMG* texture,
                               const TLVTXTEX* vertices, int trans, int depthWrite, int pieceDepthWrite,
                               int vertexColour, int clip)
{
    RasterizeLevel(k, dst, depth, texture, vertices, trans, depthWrite, pieceDepthWrite, vertexColour, clip, 0);
}

}  // namespace softrender
