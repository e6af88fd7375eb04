// Owns the vertex batch and the scene bracket, and turns graph draws, triangle
// lists and shapes into Direct3D primitives: clamped quads, stretched and
// rotated quads, batched boxes and lines, circle points and rows, and the
// draw-target switch and clear. Calls the state cache, the texture pieces,
// the 2D back-ends while the device cannot draw, and the screen layer.
#include "graphics/d3d/d3ddraw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/memory.h"
#include "core/fatalexit.h"
#include "core/sysstate.h"
#include "graphics/soft/backend2d.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawstate.h"
#include "core/number.h"
#include "graphics/matrix.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"
#include "softrender/shapes/circle_walk.h"

namespace {

// A corner on its way into the batch: position, the piece's texture
// coordinates and the blend graph's.
struct Corner {
    float x, y, u, v, bu, bv;
};

DWORD DepthFlag()
{
    return DrawState.DepthEnable != 0 ? D3DDRAW_DEPTH : 0;
}

float OriginX()
{
    return static_cast<float>(DrawState.TargetScreenRect.left);
}

float OriginY()
{
    return static_cast<float>(DrawState.TargetScreenRect.top);
}

// Makes room for `needed` vertices of `primitive`, drawing what is queued first.
void MakeRoom(D3DDEVREC* r, D3DPRIMITIVETYPE primitive, DWORD needed)
{
    const DWORD capacity = static_cast<DWORD>(D3D_BATCH_CAPACITY[r->BatchKind]);
    if (r->VertexCount > 0 && (r->Primitive != primitive || r->VertexCount + needed >= capacity))
        G_D3D_FlushVertexBatch(D3DState.CurrentDevice);
    r->Primitive = primitive;
}

void PushQuad(D3DDEVREC* r, const Corner c[4], DWORD diffuse)
{
    // The loops unroll, so that each store knows its corner.
    static constexpr int order[6] = {0, 1, 2, 3, 2, 1};
    const float z = DrawState.DrawDepth;
    if (r->BatchKind == D3D_BATCH_BLEND) {
        auto* v = reinterpret_cast<TLVTXBLEND*>(r->WritePointer);
#pragma GCC unroll 6
        for (int i = 0; i < 6; ++i) {
            const Corner& k = c[order[i]];
            v[i].x = k.x;
            v[i].y = k.y;
            v[i].z = z;
            v[i].u1 = k.bu;
            v[i].v1 = k.bv;
            v[i].u2 = k.u;
            v[i].v2 = k.v;
        }
        v[0].color = v[3].color = diffuse;
        r->WritePointer += 6 * sizeof(TLVTXBLEND);
    } else if (r->BatchKind == D3D_BATCH_TEX) {
        auto* v = reinterpret_cast<TLVTXTEX*>(r->WritePointer);
#pragma GCC unroll 6
        for (int i = 0; i < 6; ++i) {
            const Corner& k = c[order[i]];
            v[i].x = k.x;
            v[i].y = k.y;
            v[i].z = z;
            v[i].u = k.u;
            v[i].v = k.v;
        }
        v[0].diffuse = v[3].diffuse = diffuse;
        r->WritePointer += 6 * sizeof(TLVTXTEX);
    } else {
        auto* v = reinterpret_cast<TLVTXCOLOR*>(r->WritePointer);
#pragma GCC unroll 6
        for (int i = 0; i < 6; ++i) {
            v[i].x = c[order[i]].x;
            v[i].y = c[order[i]].y;
            v[i].z = z;
        }
        v[0].color = v[3].color = diffuse;
        r->WritePointer += 6 * sizeof(TLVTXCOLOR);
    }
    r->VertexCount += 6;
}

// Binds a texture when it is not the pending one.
void BindTexture(D3DDEVREC* r, IDirectDrawSurface7* t)
{
    if (t != r->PendingTexture) {
        G_D3D_SetTexture(D3DState.CurrentDevice, t);
        if (r->StateDirty != 0 || r->TextureDirty != 0) G_D3D_CommitDrawState(D3DState.CurrentDevice);
    }
}

void BindPiece(D3DDEVREC* r, const SURF3DREC* piece)
{
    BindTexture(r, PieceTexture(piece));
}

void EndIfFront()
{
    if (D3DState.FrontScreen != 0) G_D3D_EndScene(D3DState.CurrentDevice);
}

// A graph's piece with its image surface, each looked up once per draw.
struct Piece {
    const SURF3DREC* rec = nullptr;
    const IMGSURFREC* image = nullptr;

    IDirectDrawSurface7* Texture() const { return image != nullptr ? image->Surface : nullptr; }
};

// A device without a render target would draw nowhere: such draws answer -1.
bool TargetGone(const D3DDEVREC* r)
{
    return r->CurrentTarget == nullptr;
}

// The common opening of the graph draws: 1 to go on, else *answer holds the result.
int OpenGraphDraw(GRAPHREC* g, D3DDEVREC** out, Piece* first, int* answer)
{
    D3DDEVREC* r = CurrentD3DDevice();
    if (r == nullptr) {
        *answer = -1;
        return 0;
    }
    if (D3DState.DeviceUnusable != 0) {
        *answer = 0;
        return 0;
    }
    if (TargetGone(r)) {
        *answer = -1;
        return 0;
    }
    if (r->InScene == 0) G_D3D_BeginScene(D3DState.CurrentDevice);
    first->rec = g->SurfaceCount > 0 ? G_D3D_GetSurface3DData(g->Surfaces[0]) : nullptr;
    if (first->rec == nullptr) {
        *answer = -1;
        return 0;
    }
    first->image = GetImageSurfaceRecord(first->rec->ImageSurface);
    *out = r;
    return 1;
}

// Piece i of the graph, the first one from the opening; false for a dead handle.
bool PieceOf(const GRAPHREC* g, int i, const Piece& first, Piece* out)
{
    if (i == 0) {
        *out = first;
        return true;
    }
    out->rec = G_D3D_GetSurface3DData(g->Surfaces[i]);
    if (out->rec == nullptr) return false;
    out->image = GetImageSurfaceRecord(out->rec->ImageSurface);
    return true;
}

// The shape colour: the screen-format colour's channels scaled by the diffuse colour.
DWORD ShapeColour(DWORD colour)
{
    int r = 0, g = 0, b = 0;
    SplitColorValueToRGB(colour, &r, &g, &b);
    const DWORD d = D3DState.DiffuseColor;
    const DWORD R = static_cast<DWORD>(r) * ((d >> 16) & 0xFF) / 255;
    const DWORD G = static_cast<DWORD>(g) * ((d >> 8) & 0xFF) / 255;
    const DWORD B = static_cast<DWORD>(b) * (d & 0xFF) / 255;
    return (d & 0xFF000000u) | (R << 16) | (G << 8) | B;
}

// Four corners' values of one kind, one a lane: each lane takes the same
// single-precision operations as one corner would, so the bits are the same.
using Lanes = float __attribute__((vector_size(16)));

// Moves one coordinate of the four corners inside [low, high], their texture
// coordinates following at the given rates. Without branches: the corners of
// the many quads off the area move, those of the rest do not, in no order.
// high - pos is exactly -(pos - high), so both sides move by the same amount.
void ClampAxis(Lanes& pos, Lanes& t, Lanes& bt, float low, float high, float rate, float blendRate)
{
    const Lanes lo = {low, low, low, low}, hi = {high, high, high, high};
    const Lanes to = pos < lo ? lo : (pos > hi ? hi : pos);
    const Lanes d = to - pos;
    t += d * rate;
    bt += d * blendRate;
    pos = to;
}

// The lanes back into four corners: (x, y, u, v) turned from four lanes of
// one kind into one lane set a corner, and the blend pairs beside them.
void StoreCorners(Corner c[4], Lanes x, Lanes y, Lanes u, Lanes v, Lanes bu, Lanes bv)
{
    static_assert(sizeof(Corner) == 6 * sizeof(float));
    const Lanes xy01 = __builtin_shufflevector(x, y, 0, 4, 1, 5), xy23 = __builtin_shufflevector(x, y, 2, 6, 3, 7);
    const Lanes uv01 = __builtin_shufflevector(u, v, 0, 4, 1, 5), uv23 = __builtin_shufflevector(u, v, 2, 6, 3, 7);
    const Lanes b01 = __builtin_shufflevector(bu, bv, 0, 4, 1, 5), b23 = __builtin_shufflevector(bu, bv, 2, 6, 3, 7);
    const Lanes k[4] = {__builtin_shufflevector(xy01, uv01, 0, 1, 4, 5), __builtin_shufflevector(xy01, uv01, 2, 3, 6, 7),
                        __builtin_shufflevector(xy23, uv23, 0, 1, 4, 5), __builtin_shufflevector(xy23, uv23, 2, 3, 6, 7)};
    auto* out = reinterpret_cast<unsigned char*>(c);
    for (int i = 0; i < 4; ++i) std::memcpy(out + i * sizeof(Corner), &k[i], 4 * sizeof(float));
    const Lanes pairs[2] = {b01, b23};
    for (int i = 0; i < 4; ++i)
        std::memcpy(out + i * sizeof(Corner) + 4 * sizeof(float),
                    reinterpret_cast<const unsigned char*>(pairs) + i * 2 * sizeof(float), 2 * sizeof(float));
}

void TextureSize(const Piece& piece, float* w, float* h)
{
    *w = piece.image != nullptr ? piece.image->Width : 1.0f;
    *h = piece.image != nullptr ? piece.image->Height : 1.0f;
}

struct Bounds {
    float left, top, right, bottom;
};

// One quad a piece: `corners` fills the piece's four screen corners.
template <class CORNERS>
int QueuePieceQuads(D3DDEVREC* r, const GRAPHREC* g, const Piece& first, CORNERS corners)
{
    for (int i = 0; i < g->SurfaceCount; ++i) {
        Piece piece;
        if (!PieceOf(g, i, first, &piece)) return -1;
        BindTexture(r, piece.Texture());
        MakeRoom(r, D3DPT_TRIANGLELIST, 6);
        Corner c[4];
        corners(piece, c);
        PushQuad(r, c, D3DState.DiffuseColor);
    }
    EndIfFront();
    return 0;
}

// The piece's corners scaled by (sx, sy) from (fx, fy) and, unless the draw
// lies inside the area, clamped into the bounds. Scales of 1 leave every
// product exact, so the unscaled draw shares this path.
int QueueGraphPieces(D3DDEVREC* r, GRAPHREC* g, const Piece& first, float fx, float fy, float sx, float sy,
                     bool unclipped, const Bounds& b)
{
    return QueuePieceQuads(r, g, first, [&](const Piece& piece, Corner* c) {
        const TLVTXTEX* v = piece.rec->Corners;
        Lanes x = {v[0].x, v[1].x, v[2].x, v[3].x}, y = {v[0].y, v[1].y, v[2].y, v[3].y};
        Lanes u = {v[0].u, v[1].u, v[2].u, v[3].u}, t = {v[0].v, v[1].v, v[2].v, v[3].v};
        Lanes bu = x * D3DState.BlendWidthInv, bv = y * D3DState.BlendHeightInv;
        x = fx + x * sx;
        y = fy + y * sy;
        if (!unclipped) {
            float tw, th;
            TextureSize(piece, &tw, &th);
            // A mirrored axis moves its coordinates the other way as the corner moves right or down.
            ClampAxis(x, u, bu, b.left, b.right, 1.0f / (tw * sx), D3DState.BlendWidthInv / sx);
            ClampAxis(y, t, bv, b.top, b.bottom, 1.0f / (th * sy), D3DState.BlendHeightInv / sy);
        }
        StoreCorners(c, x, y, u, t, bu, bv);
    });
}

// The graph with its top-left corner at (x, y), at (fx, fy) as floats, into the draw area a (af
// its float form): clamped to the area unless it lies inside.
[[gnu::always_inline]] inline int QueueGraphAt(D3DDEVREC* r, GRAPHREC* g, const Piece& first, int x, int y, float fx,
                                              float fy, const RECT& a, const DRAWAREAF& af)
{
    const float ox = OriginX(), oy = OriginY();
    const bool unclipped = x >= a.left && y >= a.top && x + g->Width <= a.right && y + g->Height <= a.bottom;
    const Bounds b{af.x1 + ox, af.y1 + oy, af.x2 + ox, af.y2 + oy};
    return QueueGraphPieces(r, g, first, fx - 0.5f + ox, fy - 0.5f + oy, 1.0f, 1.0f, unclipped, b);
}

} // namespace

int G_D3D_BeginScene(int device)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    if (r == nullptr || r->Device == nullptr) return -1;
    if (r->InScene == 0) r->Device->BeginScene();
    r->InScene = 1;
    return 0;
}

int G_D3D_EndScene(int device)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    if (r == nullptr || r->Device == nullptr) return -1;
    if (r->InScene != 0) {
        G_D3D_FlushVertexBatch(device);
        r->Device->EndScene();
        r->InScene = 0;
    }
    return 0;
}

int G_D3D_EndCurrentScene()
{
    if (D3DState.Direct3D == nullptr) return 0;
    return G_D3D_EndScene(D3DState.CurrentDevice);
}

int G_D3D_FlushVertexBatch(int device)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    if (r == nullptr) return -1;
    if (r->VertexCount > 0 && IsQuitRequested() == 0 && r->DrawSuppressed == 0 && r->Device != nullptr) {
        r->Device->DrawPrimitive(r->Primitive, D3D_BATCH_FVF[r->BatchKind], r->Arrays[r->BatchKind], r->VertexCount,
                                 0);
    }
    r->VertexCount = 0;
    r->WritePointer = static_cast<BYTE*>(r->Arrays[r->BatchKind]);
    return 0;
}

int G_D3D_FlushCurrentVertexBatch()
{
    if (D3DState.Direct3D == nullptr) return 0;
    return G_D3D_FlushVertexBatch(D3DState.CurrentDevice);
}

int G_D3D_DrawGraphAt(int x, int y, float fx, float fy, GRAPHREC* g, int trans, int keepAlphaTest)
{
    D3DDEVREC* r = nullptr;
    Piece first;
    int answer = 0;
    if (OpenGraphDraw(g, &r, &first, &answer) == 0) return answer;
    G_D3D_PrepareDrawOf(first.image, (trans != 0 ? D3DDRAW_TRANS : 0u) |
                                         (keepAlphaTest != 0 ? D3DDRAW_KEEPALPHATEST : 0u) | DepthFlag());
    return QueueGraphAt(r, g, first, x, y, fx, fy, DrawState.DrawArea, DrawState.DrawAreaF);
}

int G_D3D_DrawGraphSubRects(const GRAPHSUBRECT* parts, int count, GRAPHREC* g, int trans)
{
    D3DDEVREC* r = nullptr;
    Piece first;
    int answer = 0;
    if (OpenGraphDraw(g, &r, &first, &answer) == 0) return answer;
    const DWORD flags = (trans != 0 ? D3DDRAW_TRANS : 0u) | D3DDRAW_KEEPALPHATEST | DepthFlag();
    G_D3D_PrepareDrawOf(first.image, flags);
    const RECT area = DrawState.DrawArea;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            // A draw on the front screen ends the scene; the next one begins it again.
            if (r->InScene == 0) G_D3D_BeginScene(D3DState.CurrentDevice);
            // The last piece's texture stays bound: the first one's draw state is derived again.
            if (g->SurfaceCount > 1) G_D3D_PrepareDrawOf(first.image, flags);
        }
        // The draw area narrowed to the part, as a part drawn on its own sees it.
        const GRAPHSUBRECT& p = parts[i];
        RECT a{p.X, p.Y, p.X + p.Width, p.Y + p.Height};
        ClipRectAgainstRect(&a, &area);
        const int x = p.X - p.SrcX, y = p.Y - p.SrcY;
        answer = QueueGraphAt(r, g, first, x, y, static_cast<float>(x), static_cast<float>(y), a, DrawAreaFOf(a));
    }
    return answer;
}

int G_D3D_DrawGraphStretched(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2,
                             GRAPHREC* g, int trans, int keepAlphaTest)
{
    if (x1 == x2 || y1 == y2) return -1;
    D3DDEVREC* r = nullptr;
    Piece first;
    int answer = 0;
    if (OpenGraphDraw(g, &r, &first, &answer) == 0) return answer;
    const DWORD keep = (keepAlphaTest != 0 && DrawState.TextureFilter != 1) ? D3DDRAW_KEEPALPHATEST : 0;
    G_D3D_PrepareDrawOf(first.image, (trans != 0 ? D3DDRAW_TRANS : 0u) | DepthFlag() | keep);
    const float sx = (fx2 - fx1) / g->Width, sy = (fy2 - fy1) / g->Height;
    fx1 = fx1 - 0.5f + OriginX();
    fy1 = fy1 - 0.5f + OriginY();
    const int ox1 = std::min(x1, x2), ox2 = std::max(x1, x2), oy1 = std::min(y1, y2), oy2 = std::max(y1, y2);
    const RECT& a = DrawState.DrawArea;
    const bool unclipped = ox1 >= a.left && oy1 >= a.top && ox2 <= a.right && oy2 <= a.bottom;
    const DRAWAREAF& af = DrawState.DrawAreaF;
    const Bounds b{af.x1 - 0.5f + OriginX(), af.y1 - 0.5f + OriginY(), af.x2 - 0.5f + OriginX(),
                   af.y2 - 0.5f + OriginY()};
    return QueueGraphPieces(r, g, first, fx1, fy1, sx, sy, unclipped, b);
}

// Rotated graphs take the software renderer's geometry: the centre is the
// graph's integer half, a pixel is covered when the graph point under its
// centre (on integers for the device) lies in [0, size) and shows the texel
// it falls in. Pixel centres then often land exactly on the quad's edges or
// on texel borders, so the quad moves a little up-left in graph space (the
// far edges stay out, the near ones in) and its texture coordinates half as
// far, which keeps the texel under a pixel inside the graph. At a scale
// whose step (1/scale in 18-bit fixed point) is inexact, the software
// renderer's truncated steps make each pixel sample a hair before its
// corner; the quad moves down-right by a little more than that nudge.
int G_D3D_DrawGraphRotated(float x, float y, double scale, double angle, GRAPHREC* g, int trans, int turn)
{
    if (scale == 0.0) return -1;
    D3DDEVREC* r = nullptr;
    Piece first;
    int answer = 0;
    if (OpenGraphDraw(g, &r, &first, &answer) == 0) return answer;
    x += OriginX();
    y += OriginY();
    G_D3D_PrepareDrawOf(first.image, (trans != 0 ? D3DDRAW_TRANS : 0u) | DepthFlag());
    float s = 0.0f, c = 1.0f;
    if (angle != 0.0) ComputeSinCos(static_cast<float>(angle), &s, &c);
    const float cx = static_cast<float>(g->Width / 2), cy = static_cast<float>(g->Height / 2);
    const float sx = static_cast<float>(turn == 1 ? -scale : scale), sy = static_cast<float>(scale);
    // A 32nd of a pixel on the target, well above the device's 1/256 steps.
    const float nudge = static_cast<float>(1.0 / (32.0 * std::fabs(scale)));
    const float step = 262144.0f * (1.0f / static_cast<float>(scale));
    const float lag = step != std::trunc(step) ? 1.0f / 16.0f : 0.0f;
    x += lag;
    y += lag;
    return QueuePieceQuads(r, g, first, [&](const Piece& piece, Corner* k) {
        float tw, th;
        TextureSize(piece, &tw, &th);
        for (int q = 0; q < 4; ++q) {
            const TLVTXTEX& v = piece.rec->Corners[q];
            const float gx = v.x - nudge, gy = v.y - nudge;
            const float ox = (gx - cx) * sx, oy = (gy - cy) * sy;
            k[q] = Corner{x + ox * c - oy * s,
                          y + ox * s + oy * c,
                          v.u - 0.5f * nudge / tw,
                          v.v - 0.5f * nudge / th,
                          (v.x - 0.5f * nudge) * D3DState.BlendWidthInv,
                          (v.y - 0.5f * nudge) * D3DState.BlendHeightInv};
        }
    });
}

int G_D3D_DrawTriangleList(TLVTXTEX* vertices, int count, GRAPHREC* g, int trans, int mode, int depthAndFog)
{
    D3DDEVREC* r = CurrentD3DDevice();
    if (r == nullptr || TargetGone(r)) return -1;
    const int device = D3DState.CurrentDevice;
    G_D3D_BeginScene(device);
    if (r->PendingBlendTexture != nullptr || r->Force != 0) {
        G_D3D_FlushVertexBatch(device);
        r->PendingBlendTexture = nullptr;
        r->StateDirty = 1;
    }
    const SURF3DREC* piece = nullptr;
    if (g != nullptr) {
        piece = g->SurfaceCount > 0 ? G_D3D_GetSurface3DData(g->Surfaces[0]) : nullptr;
        if (piece == nullptr) return -1;
        G_D3D_SetTexture(device, PieceTexture(piece));
    } else {
        G_D3D_SetTexture(device, nullptr);
    }
    DWORD flags = (trans != 0 ? D3DDRAW_TRANS : 0u) | (depthAndFog != 0 ? D3DDRAW_DEPTH | D3DDRAW_FOG : 0u);
    if (mode != 1) flags |= D3DDRAW_GOURAUD | D3DDRAW_PERSPECTIVE | D3DDRAW_MODCOLOR | D3DDRAW_MODALPHA;
    G_D3D_PrepareDraw(piece, flags);
    G_D3D_FlushVertexBatch(device);
    if (mode == 1 && piece != nullptr) {
        const float l = piece->Corners[0].u, t = piece->Corners[0].v, rr = piece->Corners[3].u,
                    b = piece->Corners[3].v;
        const float us[6] = {l, rr, l, rr, l, rr}, vs[6] = {t, t, b, b, b, t};
        for (int q = 0; q + 1 < count; q += 2) {
            for (int i = 0; i < 6; ++i) {
                vertices[q * 3 + i].u = us[i];
                vertices[q * 3 + i].v = vs[i];
            }
        }
    } else if (piece != nullptr) {
        // Callers give coordinates over the graph; the piece sits somewhere in a larger texture.
        const float l = piece->Corners[0].u, t = piece->Corners[0].v, du = piece->Corners[3].u - l,
                    dv = piece->Corners[3].v - t;
        for (int i = 0; i < 3 * count; ++i) {
            vertices[i].u = l + vertices[i].u * du;
            vertices[i].v = t + vertices[i].v * dv;
        }
    }
    r->Device->DrawPrimitive(D3DPT_TRIANGLELIST, D3D_FVF_TEX, vertices, static_cast<DWORD>(3 * count), 0);
    EndIfFront();
    return 0;
}

namespace {

// Boxes, lines and circles draw untextured in the vertex colour.
void BeginShapeDraw(D3DDEVREC* r, int device)
{
    G_D3D_BeginScene(device);
    G_D3D_SetTexture(device, nullptr);
    G_D3D_PrepareDraw(nullptr, D3DDRAW_MODCOLOR | DepthFlag());
    if (r->StateDirty != 0 || r->TextureDirty != 0) G_D3D_CommitDrawState(device);
}

} // namespace

int G_D3D_DrawFilledBox(int x1, int y1, int x2, int y2, DWORD colour)
{
    D3DDEVREC* r = CurrentD3DDevice();
    if (r == nullptr) return -1;
    if (D3DState.DeviceUnusable != 0) return FillRect2D(x1, y1, x2, y2, colour);
    if (TargetGone(r)) return -1;
    const int device = D3DState.CurrentDevice;
    G_D3D_FlushVertexBatch(device);
    RECT box{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    ClipRectAgainstRect(&box, &DrawState.DrawArea);
    if (box.right <= box.left || box.bottom <= box.top) return 0;
    BeginShapeDraw(r, device);
    MakeRoom(r, D3DPT_TRIANGLELIST, 6);
    const float l = box.left + OriginX(), t = box.top + OriginY(), rr = box.right + OriginX(),
                b = box.bottom + OriginY();
    const Corner c[4] = {{l, t, 0, 0, 0, 0}, {rr, t, 0, 0, 0, 0}, {l, b, 0, 0, 0, 0}, {rr, b, 0, 0, 0, 0}};
    PushQuad(r, c, ShapeColour(colour));
    EndIfFront();
    return 0;
}

int G_D3D_DrawLineSegment(int x1, int y1, int x2, int y2, DWORD colour)
{
    D3DDEVREC* r = CurrentD3DDevice();
    if (r == nullptr) return -1;
    if (D3DState.DeviceUnusable != 0) return DrawLine2D(x1, y1, x2, y2, colour);
    if (TargetGone(r)) return -1;
    if (x1 == x2 && y1 == y2) return 0;
    const int device = D3DState.CurrentDevice;
    BeginShapeDraw(r, device);
    if (r->VertexCount > 0 &&
        (r->Primitive != D3DPT_LINELIST || r->VertexCount + 2 > static_cast<DWORD>(D3D_BATCH_CAPACITY[r->BatchKind])))
        G_D3D_FlushVertexBatch(device);
    r->Primitive = D3DPT_LINELIST;
    float fx2 = static_cast<float>(x2), fy2 = static_cast<float>(y2);
    if (x1 == x2) fy2 += y2 > y1 ? -0.1f : 0.1f;
    if (y1 == y2) fx2 += x2 > x1 ? -0.1f : 0.1f;
    const DWORD shape = ShapeColour(colour);
    auto* v = reinterpret_cast<TLVTXCOLOR*>(r->WritePointer);
    const float z = DrawState.DrawDepth;
    v[0] = TLVTXCOLOR{x1 + OriginX(), y1 + OriginY(), z, 1.0f, shape};
    v[1] = TLVTXCOLOR{fx2 + OriginX(), fy2 + OriginY(), z, 1.0f, shape};
    r->WritePointer += 2 * sizeof(TLVTXCOLOR);
    r->VertexCount += 2;
    EndIfFront();
    return 0;
}

int G_D3D_DrawCircle(int x, int y, int radius, DWORD colour, int fill)
{
    D3DDEVREC* r = CurrentD3DDevice();
    if (r == nullptr) return -1;
    const int device = D3DState.CurrentDevice;
    G_D3D_FlushVertexBatch(device);
    if (D3DState.DeviceUnusable != 0) return DrawCircle2D(x, y, radius, colour, fill);
    if (TargetGone(r)) return -1;
    BeginShapeDraw(r, device);
    const int ox = DrawState.TargetScreenRect.left, oy = DrawState.TargetScreenRect.top;
    const int cx = x + ox, cy = y + oy;
    const RECT& a = DrawState.DrawArea;
    const int left = a.left + ox, top = a.top + oy, right = a.right - 1 + ox, bottom = a.bottom - 1 + oy;
    TLVTXCOLOR v[40];
    const DWORD shape = ShapeColour(colour);
    for (TLVTXCOLOR& q : v) q = TLVTXCOLOR{0, 0, DrawState.DrawDepth, 1.0f, shape};
    IDirect3DDevice7* dev = r->Device;
    if (fill == 0) {
        int n = 0;
        softrender::WalkCircleOutline(cx, cy, radius, [&](int X, int Y) {
            if (Y < top || Y > bottom || X > right) return;
            v[n].x = static_cast<float>(X);
            v[n].y = static_cast<float>(Y);
            if (++n == 40) {
                dev->DrawPrimitive(D3DPT_POINTLIST, D3D_FVF_COLOR, v, 40, 0);
                n = 0;
            }
        });
        if (n > 0) dev->DrawPrimitive(D3DPT_POINTLIST, D3D_FVF_COLOR, v, static_cast<DWORD>(n), 0);
    } else if (bottom >= top) {
        // One mark per row of the draw area, indexed from its top row.
        const int rows = bottom - top + 1;
        auto* marks = static_cast<BYTE*>(AllocMemoryZeroed(static_cast<std::size_t>(rows), __FILE__, __LINE__));
        if (marks == nullptr) ExitWithFatalError("メモリの確保に失敗しました in G_D3D_DrawCircle");
        softrender::WalkCircleDisc(cx, cy, radius, [&](int Y, int x1, int x2) {
            if (Y < top || Y > bottom || x2 < left || x1 > right) return;
            if (marks[Y - top] != 0) return;
            marks[Y - top] = 1;
            v[0].x = static_cast<float>(std::max(x1, left));
            v[0].y = static_cast<float>(Y);
            // A line leaves out its last pixel: ending one past the right column draws that column.
            v[1].x = static_cast<float>(std::min(x2, right) + 1);
            v[1].y = static_cast<float>(Y);
            dev->DrawPrimitive(D3DPT_LINELIST, D3D_FVF_COLOR, v, 2, 0);
        });
        FreeMemory(marks);
    }
    EndIfFront();
    return 0;
}

int G_D3D_SetDrawTarget(int target, int)
{
    D3DDEVREC* r = CurrentD3DDevice();
    if (D3DState.Direct3D == nullptr || r == nullptr) return 0;
    const int device = D3DState.CurrentDevice;
    G_D3D_EndScene(device);
    G_D3D_SetRenderTarget(nullptr, device);
    G_D3D_SetTexture(device, nullptr);
    if (target == -4) {
        G_D3D_SetRenderTarget(GetFrontScreenSurface(), device);
        D3DState.FrontScreen = 1;
    } else if (target == -2) {
        G_D3D_SetRenderTarget(GetBackScreenSurface(), device);
        D3DState.FrontScreen = 0;
    } else {
        const GRAPHREC* g = GetGraphRecord(target);
        if (g == nullptr) return -1;
        // A target of several pieces cannot be one render target.
        if (g->SurfaceCount != 1) return -1;
        if (g->Format.Texture == 1) {
            const SURF3DREC* p = G_D3D_GetSurface3DData(g->Surfaces[0]);
            const IMGSURFREC* is = p != nullptr ? GetImageSurfaceRecord(p->ImageSurface) : nullptr;
            if (is == nullptr || is->Format.DrawValid == 0 || is->Surface == nullptr) return -1;
            G_D3D_SetRenderTarget(is->Surface, device);
        } else {
            const SURF2DREC* s2 = GetSurface2DRecord(g->Surfaces[0]);
            const IMGSURFREC* is = s2 != nullptr ? GetImageSurfaceRecord(s2->ImageSurface) : nullptr;
            if (is == nullptr) return -1;
            if (is->Software == 1 || is->Surface == nullptr) {
                D3DState.DeviceUnusable = 1;
                return -1;
            }
            G_D3D_SetRenderTarget(is->Surface, device);
        }
        D3DState.FrontScreen = 0;
    }
    D3DState.DeviceUnusable = 0;
    return 0;
}

int G_D3D_ClearDrawTarget()
{
    if (D3DState.Direct3D == nullptr) return -1;
    G_D3D_EndCurrentScene();
    const int target = DrawState.DrawTarget;
    if (target == -4 || target == -3 || target == -2) return 0;
    const GRAPHREC* g = GetGraphRecord(target);
    if (g == nullptr || g->Format.Texture != 1) return 0;
    const SURF3DREC* p = g->SurfaceCount > 0 ? G_D3D_GetSurface3DData(g->Surfaces[0]) : nullptr;
    if (p == nullptr) return -1;
    const IMGSURFREC* is = GetImageSurfaceRecord(p->ImageSurface);
    if (is == nullptr || is->Surface == nullptr) return -1;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    if (is->DepthSurface != nullptr) {
        fx.dwFillDepth = 0xFFFF;
        is->DepthSurface->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
    }
    fx.dwFillColor = GetColorValueInFormat(G_D3D_GetTextureColorFormat(is->FormatIndex), SysState.BackgroundRed,
                                           SysState.BackgroundGreen, SysState.BackgroundBlue, 0);
    is->Surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    return 0;
}

namespace {

struct Point2 {
    float x, y;
};

// One piece onto a free quad: a batched quad for a parallelogram, else an 8 x 8 grid.
void DrawSubdividedQuad(D3DDEVREC* r, const SURF3DREC* p, const Point2 q[4])
{
    if (p == nullptr) return;
    BindPiece(r, p);
    const float x1 = q[0].x, y1 = q[0].y, x2 = q[1].x, y2 = q[1].y, x3 = q[2].x, y3 = q[2].y, x4 = q[3].x,
                y4 = q[3].y;
    const bool topBottom = std::fabs((x2 - x1) - (x4 - x3)) < 1 && std::fabs((y2 - y1) - (y4 - y3)) < 1;
    const bool leftRight = std::fabs((x3 - x1) - (x4 - x2)) < 1 && std::fabs((y3 - y1) - (y4 - y2)) < 1;
    const TLVTXTEX& tl = p->Corners[0];
    const TLVTXTEX& br = p->Corners[3];
    if (topBottom && leftRight) {
        if (r->StateDirty != 0 || r->TextureDirty != 0) G_D3D_CommitDrawState(D3DState.CurrentDevice);
        MakeRoom(r, D3DPT_TRIANGLELIST, 6);
        const Corner c[4] = {{x1, y1, tl.u, tl.v, 0, 0},
                             {x2, y2, br.u, tl.v, 0, 0},
                             {x3, y3, tl.u, br.v, 0, 0},
                             {x4, y4, br.u, br.v, 0, 0}};
        BYTE* at = r->WritePointer;
        PushQuad(r, c, D3DState.DiffuseColor);
        const float c1 = (y3 - y1) * (x2 - x1) - (x3 - x1) * (y2 - y1);
        const float c2 = (y2 - y4) * (x3 - x4) - (y3 - y4) * (x2 - x4);
        if (c1 <= 0 && c2 <= 0 && r->BatchKind == D3D_BATCH_TEX) {
            // Given right to left, the quad would face away: its winding is turned round.
            auto* v = reinterpret_cast<TLVTXTEX*>(at);
            std::swap(v[1], v[2]);
            std::swap(v[4], v[5]);
        }
        return;
    }
    static TLVTXTEX grid[64];
    const float step = 1.0f / 7.0f;
    float t = 0.0f, tv = tl.v;
    const float du = (br.u - tl.u) * step, dv = (br.v - tl.v) * step;
    for (int j = 0; j < 8; ++j) {
        const float lx = x1 + t * (x3 - x1), ly = y1 + t * (y3 - y1);
        const float rx = x2 + t * (x4 - x2), ry = y2 + t * (y4 - y2);
        float s = 0.0f, tu = tl.u;
        for (int i = 0; i < 8; ++i) {
            TLVTXTEX& v = grid[j * 8 + i];
            v.x = lx + s * (rx - lx);
            v.y = ly + s * (ry - ly);
            v.z = DrawState.DrawDepth;
            v.rhw = 1.0f;
            v.diffuse = D3DState.DiffuseColor;
            v.u = tu;
            v.v = tv;
            s += step;
            tu += du;
        }
        t += step;
        tv += dv;
    }
    if (r->StateDirty != 0 || r->TextureDirty != 0) G_D3D_CommitDrawState(D3DState.CurrentDevice);
    G_D3D_DrawIndexedGrid(r->Device, 8, grid, 8);
}

} // namespace

int G_D3D_DrawIndexedGrid(IDirect3DDevice7* device, int columns, const TLVTXTEX* vertices, int rows)
{
    if (device == nullptr || columns < 2 || rows < 2) return -1;
    G_D3D_FlushCurrentVertexBatch();
    WORD indices[1000];
    int count = 0;
    auto draw = [&] {
        if (count > 0)
            device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, D3D_FVF_TEX, const_cast<TLVTXTEX*>(vertices),
                                         static_cast<DWORD>(columns * rows), indices, static_cast<DWORD>(count), 0);
        count = 0;
    };
    for (int k = 0; k + 1 < rows; ++k) {
        if (count + 2 * columns + 2 > 1000)
            draw();
        else if (count > 0)
            indices[count++] = static_cast<WORD>((k + 1) * columns);  // a degenerate join to the next strip
        for (int c = 0; c < columns; ++c) {
            indices[count++] = static_cast<WORD>((k + 1) * columns + c);
            indices[count++] = static_cast<WORD>(k * columns + c);
        }
        if (k + 2 < rows) {
            indices[count] = indices[count - 1];
            ++count;
        }
    }
    draw();
    return 0;
}

int G_D3D_DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, GRAPHREC* g,
                        int trans)
{
    if (DrawState.BlendGraph != -1) {
        return G_D3D_DrawGraphQuadSplit(static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2),
                                        static_cast<int>(y2), static_cast<int>(x3), static_cast<int>(y3),
                                        static_cast<int>(x4), static_cast<int>(y4), g, trans);
    }
    D3DDEVREC* r = nullptr;
    Piece first;
    int answer = 0;
    if (OpenGraphDraw(g, &r, &first, &answer) == 0) return answer;
    G_D3D_PrepareDrawOf(first.image, (trans != 0 ? D3DDRAW_TRANS : 0u) | DepthFlag());
    const float ox = OriginX(), oy = OriginY();
    const Point2 q[4] = {{x1 + ox, y1 + oy}, {x2 + ox, y2 + oy}, {x3 + ox, y3 + oy}, {x4 + ox, y4 + oy}};
    if (g->SurfaceCount == 1) {
        DrawSubdividedQuad(r, first.rec, q);
        EndIfFront();
        return 0;
    }
    auto map = [&](double gx, double gy) {
        const double s = gx / g->Width, t = gy / g->Height;
        const double lx = q[0].x + t * (q[2].x - q[0].x), ly = q[0].y + t * (q[2].y - q[0].y);
        const double rx = q[1].x + t * (q[3].x - q[1].x), ry = q[1].y + t * (q[3].y - q[1].y);
        return Point2{static_cast<float>(lx + s * (rx - lx)), static_cast<float>(ly + s * (ry - ly))};
    };
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF3DREC* p = G_D3D_GetSurface3DData(g->Surfaces[i]);
        if (p == nullptr) return -1;
        const double px = p->X, py = p->Y, pw = p->Width, ph = p->Height;
        const Point2 pq[4] = {map(px, py), map(px + pw, py), map(px, py + ph), map(px + pw, py + ph)};
        DrawSubdividedQuad(r, p, pq);
    }
    EndIfFront();
    return 0;
}

int G_D3D_DrawGraphQuadSplit(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GRAPHREC* g, int trans)
{
    if (x1 == x3 && x2 == x4 && y1 == y2 && y3 == y4) {
        return G_D3D_DrawGraphStretched(x1, y1, x4, y4, static_cast<float>(x1), static_cast<float>(y1),
                                        static_cast<float>(x4), static_cast<float>(y4), g, trans, 1);
    }
    D3DDEVREC* r = CurrentD3DDevice();
    if (r == nullptr) return -1;
    if (D3DState.DeviceUnusable != 0) return 0;
    if (TargetGone(r)) return -1;
    const int device = D3DState.CurrentDevice;
    G_D3D_FlushVertexBatch(device);
    const float ox = OriginX(), oy = OriginY();
    const float X1 = x1 + ox, Y1 = y1 + oy, X2 = x2 + ox, Y2 = y2 + oy, X3 = x3 + ox, Y3 = y3 + oy, X4 = x4 + ox,
                Y4 = y4 + oy;
    G_D3D_BeginScene(device);
    const SURF3DREC* first = g->SurfaceCount > 0 ? G_D3D_GetSurface3DData(g->Surfaces[0]) : nullptr;
    if (first == nullptr) return -1;
    G_D3D_PrepareDraw(first, (trans != 0 ? D3DDRAW_TRANS : 0u) | DepthFlag() | D3DDRAW_KEEPALPHATEST);
    const float W = static_cast<float>(g->Width), H = static_cast<float>(g->Height);
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF3DREC* p = G_D3D_GetSurface3DData(g->Surfaces[i]);
        if (p == nullptr) return -1;
        BindPiece(r, p);
        if (r->StateDirty != 0 || r->TextureDirty != 0) G_D3D_CommitDrawState(device);
        Corner k[4];
        for (int c = 0; c < 4; ++c) {
            const TLVTXTEX& v = p->Corners[c];
            const float gx = v.x, gy = v.y;
            if (p->CornerFlags[c] == 1) {
                k[c].x = gx * (X2 - X1) / W + gy * (X3 - X1) / H + X1 - 0.5f;
                k[c].y = gx * (Y2 - Y1) / W + gy * (Y3 - Y1) / H + Y1 - 0.5f;
            } else {
                k[c].x = (gx - W) * (X4 - X3) / W + (gy - H) * (X4 - X2) / H + X4 - 0.5f;
                k[c].y = (gx - W) * (Y4 - Y3) / W + (gy - H) * (Y4 - Y2) / H + Y4 - 0.5f;
            }
            k[c].u = v.u;
            k[c].v = v.v;
            k[c].bu = gx * D3DState.BlendWidthInv;
            k[c].bv = gy * D3DState.BlendHeightInv;
        }
        const float c1 = (k[1].x - k[0].x) * (k[2].y - k[0].y) - (k[2].x - k[0].x) * (k[1].y - k[0].y);
        const float c2 = (k[2].x - k[3].x) * (k[1].y - k[3].y) - (k[1].x - k[3].x) * (k[2].y - k[3].y);
        if (c1 < 0 || (c1 == 0 && c2 <= 0)) std::swap(k[1], k[2]);
        const float z = DrawState.DrawDepth;
        const DWORD diffuse = D3DState.DiffuseColor;
        if (r->BatchKind == D3D_BATCH_BLEND) {
            TLVTXBLEND v[4]{};
            for (int c = 0; c < 4; ++c)
                v[c] = TLVTXBLEND{k[c].x, k[c].y, z, 1.0f, diffuse, 0, k[c].bu, k[c].bv, k[c].u, k[c].v};
            r->Device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3D_FVF_BLEND, v, 4, 0);
        } else {
            TLVTXTEX v[4]{};
            for (int c = 0; c < 4; ++c) {
                v[c].x = k[c].x;
                v[c].y = k[c].y;
                v[c].z = z;
                v[c].rhw = 1.0f;
                v[c].diffuse = diffuse;
                v[c].u = k[c].u;
                v[c].v = k[c].v;
            }
            r->Device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3D_FVF_TEX, v, 4, 0);
        }
    }
    EndIfFront();
    return 0;
}
