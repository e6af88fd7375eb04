// Copies a rectangle of the draw target into a texture graph's pieces by the
// first of five copy methods that works, remembering it per kind of graph.
// Calls the screen layer's surfaces and copy, the texture pieces, the
// converting copy and the device's Load.
#include "graphics/d3d/d3dreadback.h"

#include <algorithm>
#include <iterator>

#include "core/log.h"
#include "core/sysstate.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawstate.h"
#include "graphics/image/convert.h"
#include "graphics/imagesurface.h"
#include "graphics/screen.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/clock.h"
#include "platform/window/window.h"

namespace {

// One piece's share of a capture: where it comes from on the source surface
// and how much of it the bounds leave.
struct PieceCopy {
    const SURF3DREC* piece;
    IMGSURFREC* surface;
    IDirectDrawSurface7* texture;
    RECT from;     // on the source surface
    RECT rel;      // the same, relative to the capture's top-left
};

struct Capture {
    int x1, y1, x2, y2;
    GRAPHREC* graph;
    int flag;
    int boundsW, boundsH, originX, originY;
};

// The coordinate frame; `desktopForBlit` is method 1's extra condition.
void SetFrame(Capture* c, bool desktopAllowed)
{
    if (desktopAllowed && IsWindowedMode() == 1 && DrawState.DrawTarget == -4 && c->flag == 0) {
        c->boundsW = GetSystemMetrics(SM_CXSCREEN);
        c->boundsH = GetSystemMetrics(SM_CYSCREEN);
        c->originX = c->originY = 0;
        return;
    }
    c->boundsW = DrawState.TargetWidth;
    c->boundsH = DrawState.TargetHeight;
    c->originX = DrawState.TargetScreenRect.left;
    c->originY = DrawState.TargetScreenRect.top;
}

bool Valid(const Capture& c)
{
    return c.x1 >= 0 && c.x1 < c.x2 && c.y1 >= 0 && c.y1 < c.y2 && c.x1 <= c.boundsW && c.y1 <= c.boundsH &&
           c.x2 - c.x1 <= c.graph->Width && c.y2 - c.y1 <= c.graph->Height;
}

// Runs `copy` on every piece the bounds reach; -1 when a piece is not live or a copy fails.
template <class Copy>
int ForEachPiece(const Capture& c, Copy copy)
{
    for (int i = 0; i < c.graph->SurfaceCount; ++i) {
        const SURF3DREC* p = G_D3D_GetSurface3DData(c.graph->Surfaces[i]);
        if (p == nullptr) return -1;
        const int px = c.x1 + p->X, py = c.y1 + p->Y;
        if (px > c.boundsW || py > c.boundsH) continue;
        const int w = std::min<int>(p->Width, c.boundsW - px), h = std::min<int>(p->Height, c.boundsH - py);
        if (w <= 0 || h <= 0) continue;
        IMGSURFREC* is = GetImageSurfaceRecord(p->ImageSurface);
        IDirectDrawSurface7* t = PieceTexture(p);
        if (is == nullptr || t == nullptr) return -1;
        PieceCopy pc{p, is, t, RECT{c.originX + px, c.originY + py, c.originX + px + w, c.originY + py + h},
                     RECT{p->X, p->Y, p->X + w, p->Y + h}};
        if (copy(pc) != 0) return -1;
        RepeatPieceEdges(p);
        SetImageSurfaceColorKey(p->ImageSurface);
    }
    return 0;
}

int Width(const RECT& r)
{
    return r.right - r.left;
}

int Height(const RECT& r)
{
    return r.bottom - r.top;
}

// Converts `from` (relative to `src`) into the piece's texture at its texel position.
int ConvertInto(const PieceCopy& pc, const void* src, int srcPitch, const COLORFMT* srcFormat, const RECT& from,
                const char* method)
{
    RECT dst{pc.piece->TexelX, pc.piece->TexelY, pc.piece->TexelX + Width(from), pc.piece->TexelY + Height(from)};
    int pitch = 0;
    void* pixels = nullptr;
    if (LockImageSurface(pc.piece->ImageSurface, &pitch, &pixels, 1, &dst, nullptr) != 0) {
        WriteLogFormat("Error  %s 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d\n", method, -1);
        return -1;
    }
    const COLORFMT* format = G_D3D_GetTextureColorFormat(pc.surface->FormatIndex);
    CopyPixelsConvertingFormat(pixels, pitch, format, src, srcPitch, srcFormat, nullptr, 0, nullptr, 0, 0, &from, 0,
                               format->AlphaWidth != 0 ? 1 : 0, pc.surface->ColorKey, 0, 0, 0, 0, 0);
    UnlockImageSurface(pc.piece->ImageSurface, &dst);
    return 0;
}

int LockAndConvert(const Capture& c)
{
    if (IsWindowedMode() == 1 && DrawState.DrawTarget == -4 && c.flag == 0) return -1;
    IDirectDrawSurface7* source = GetCurrentDrawSurface();
    IDirectDrawSurface7* work = GetWorkSurface();
    if (source == nullptr || work == nullptr) return -1;
    RECT whole{c.originX + c.x1, c.originY + c.y1, c.originX + std::min(c.boundsW, c.x1 + c.graph->Width),
               c.originY + std::min(c.boundsH, c.y1 + c.graph->Height)};
    if (Width(whole) <= 0 || Height(whole) <= 0) return -1;
    if (CopySurfaceRect(work, source, 0, 0, &whole, -1) != 0) return -1;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    const HRESULT hr = work->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    if (FAILED(hr)) {
        WriteLogFormat("Error  G_D3D_GetDrawScreenGraphFunction5 　作業用テクスチャサーフェスのロックに失敗しました  Lock  "
                       "ReturnValue:%d\n",
                       static_cast<int>(hr));
        return -1;
    }
    const COLORFMT* screen = GetScreenColorFormatRecord();
    const int answer = ForEachPiece(c, [&](const PieceCopy& pc) {
        return ConvertInto(pc, desc.lpSurface, static_cast<int>(desc.lPitch), screen, pc.rel,
                           "G_D3D_GetDrawScreenGraphFunction5");
    });
    work->Unlock(nullptr);
    return answer;
}

int BlitFast(const Capture& c)
{
    IDirectDrawSurface7* source = GetCurrentDrawSurface();
    if (source == nullptr) return -1;
    return ForEachPiece(c, [&](const PieceCopy& pc) {
        RECT from = pc.from;
        const HRESULT hr = pc.texture->BltFast(pc.piece->TexelX, pc.piece->TexelY, source, &from, DDBLTFAST_NOCOLORKEY);
        if (FAILED(hr)) {
            WriteLogFormat("Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:%d\n", static_cast<int>(hr));
            return -1;
        }
        return 0;
    });
}

// BitBlt of the piece's share from the screen DC into `target`'s DC at the texel position.
int BlitThroughDC(HDC screenDc, IDirectDrawSurface7* target, const PieceCopy& pc, const char* method)
{
    HDC dc = nullptr;
    HRESULT hr = target->GetDC(&dc);
    if (FAILED(hr)) {
        WriteLogFormat("Error  %s 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  ReturnValue:%d\n", method,
                       static_cast<int>(hr));
        return -1;
    }
    const BOOL ok = BitBlt(dc, pc.piece->TexelX, pc.piece->TexelY, Width(pc.from), Height(pc.from), screenDc,
                           pc.from.left, pc.from.top, SRCCOPY);
    GdiFlush();
    hr = target->ReleaseDC(dc);
    if (!ok) {
        WriteLogFormat("Error  %s 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x\n", method, 0);
        return -1;
    }
    if (FAILED(hr)) {
        WriteLogFormat("Error  %s 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  ReturnValue:%d\n", method,
                       static_cast<int>(hr));
        return -1;
    }
    return 0;
}

// Holds the source surface's DC over a GDI method.
template <class PerPiece>
int WithScreenDC(const Capture& c, const char* method, PerPiece perPiece)
{
    IDirectDrawSurface7* source = GetCurrentDrawSurface();
    if (source == nullptr) return -1;
    HDC screenDc = nullptr;
    const HRESULT hr = source->GetDC(&screenDc);
    if (FAILED(hr)) {
        WriteLogFormat("Error  %s 　ＤＣ取得に失敗しました  GetDC  ReturnValue:%d\n", method, static_cast<int>(hr));
        return -1;
    }
    const int answer = ForEachPiece(c, [&](const PieceCopy& pc) { return perPiece(screenDc, pc); });
    source->ReleaseDC(screenDc);
    return answer;
}

// A system-memory texture of the piece texture's size and format; null (logged) on failure.
IDirectDrawSurface7* CreateWorkTexture(IDirectDrawSurface7* like, const char* method)
{
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    like->GetSurfaceDesc(&desc);
    DDSURFACEDESC2 want{};
    want.dwSize = sizeof want;
    want.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    want.dwWidth = desc.dwWidth;
    want.dwHeight = desc.dwHeight;
    want.ddpfPixelFormat = desc.ddpfPixelFormat;
    want.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface7* work = nullptr;
    IDirectDraw7* dd = GetDirectDrawInterface();
    const HRESULT hr = dd != nullptr ? dd->CreateSurface(&want, &work, nullptr) : DDERR_GENERIC;
    if (FAILED(hr)) {
        WriteLogFormat("Error  %s 　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  ReturnValue:%d\n", method,
                       static_cast<int>(hr));
        return nullptr;
    }
    return work;
}

// The rectangle the BitBlt filled in a work texture: the piece's texels only.
RECT CopiedTexels(const PieceCopy& pc)
{
    return RECT{pc.piece->TexelX, pc.piece->TexelY, pc.piece->TexelX + Width(pc.from),
                pc.piece->TexelY + Height(pc.from)};
}

int GdiIntoTexture(const Capture& c)
{
    const char* m = "G_D3D_GetDrawScreenGraphFunction2";
    return WithScreenDC(c, m, [&](HDC screenDc, const PieceCopy& pc) { return BlitThroughDC(screenDc, pc.texture, pc, m); });
}

int GdiThenConvert(const Capture& c)
{
    const char* m = "G_D3D_GetDrawScreenGraphFunction3";
    return WithScreenDC(c, m, [&](HDC screenDc, const PieceCopy& pc) {
        IDirectDrawSurface7* work = CreateWorkTexture(pc.texture, m);
        if (work == nullptr) return -1;
        int answer = BlitThroughDC(screenDc, work, pc, m);
        if (answer == 0) {
            DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            const HRESULT hr = work->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
            if (FAILED(hr)) {
                WriteLogFormat("Error  %s 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d\n", m,
                               static_cast<int>(hr));
                answer = -1;
            } else {
                // Only the blitted texels are defined: the rest of the work texture must not reach a
                // texture that a derived graph may share.
                const COLORFMT* format = G_D3D_GetTextureColorFormat(pc.surface->FormatIndex);
                answer = ConvertInto(pc, desc.lpSurface, static_cast<int>(desc.lPitch), format, CopiedTexels(pc), m);
                work->Unlock(nullptr);
            }
        }
        work->Release();
        return answer;
    });
}

int GdiThenLoad(const Capture& c)
{
    const char* m = "G_D3D_GetDrawScreenGraphFunction4";
    IDirect3DDevice7* device = G_D3D_GetCurrentDevice();
    if (device == nullptr) return -1;
    return WithScreenDC(c, m, [&](HDC screenDc, const PieceCopy& pc) {
        IDirectDrawSurface7* work = CreateWorkTexture(pc.texture, m);
        if (work == nullptr) return -1;
        int answer = BlitThroughDC(screenDc, work, pc, m);
        if (answer == 0) {
            RECT rect = CopiedTexels(pc);
            POINT at{rect.left, rect.top};
            HRESULT hr = DD_OK;
            for (int attempt = 0; attempt < 10; ++attempt) {
                hr = device->Load(pc.texture, &at, work, &rect, 0);
                if (hr != DDERR_SURFACEBUSY) break;
                pc.texture->Restore();
                Sleep(1);
            }
            if (FAILED(hr)) {
                int sw = 0, sh = 0;
                GetScreenPixelSize(&sw, &sh);
                WriteLogFormat("hr:%d  W:%d  H:%d  FullMode:%d  Point x:%d y:%d   Rect top:%d bottom:%d left:%d right:%d\n",
                               static_cast<int>(hr), sw, sh, IsWindowedMode() == 1 ? 0 : 1, static_cast<int>(at.x),
                               static_cast<int>(at.y), static_cast<int>(rect.top), static_cast<int>(rect.bottom),
                               static_cast<int>(rect.left), static_cast<int>(rect.right));
                WriteLogFormat("AlphaCh:%d  AlphaTest:%d  ColorBitDepth:%d\n", pc.surface->Format.AlphaChFlag,
                               pc.surface->Format.AlphaTestFlag, pc.surface->Format.ColorBitDepth);
                WriteLogFormat("ScreenColor:%d  SizeX:%d  SizeY:%d  DrawPointX:%d  DrawPointY:%d  WndRect.left:%d  "
                               "WndRect.top:%d  left:%d  top:%d\n",
                               GetRequestedColorBits(), Width(pc.from), Height(pc.from), c.x1, c.y1, c.originX,
                               c.originY, static_cast<int>(pc.from.left), static_cast<int>(pc.from.top));
                answer = -1;
            }
        }
        work->Release();
        return answer;
    });
}

// A texture graph as the draw target has no screen surface behind it: its
// own texture is what the capture reads.
int FromTargetTexture(Capture c, const SURF3DREC* targetPiece, const IMGSURFREC* target)
{
    SetFrame(&c, false);
    if (!Valid(c)) return -1;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    const HRESULT hr = target->Surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (FAILED(hr)) {
        WriteLogFormat("Error  G_D3D_ReadScreenIntoGraph 　描画先テクスチャサーフェスのロックに失敗しました  Lock  "
                       "ReturnValue:%d\n",
                       static_cast<int>(hr));
        return -1;
    }
    const COLORFMT* format = G_D3D_GetTextureColorFormat(target->FormatIndex);
    const int answer = ForEachPiece(c, [&](const PieceCopy& pc) {
        const RECT from{pc.from.left + targetPiece->TexelX, pc.from.top + targetPiece->TexelY,
                        pc.from.right + targetPiece->TexelX, pc.from.bottom + targetPiece->TexelY};
        return ConvertInto(pc, desc.lpSurface, static_cast<int>(desc.lPitch), format, from,
                           "G_D3D_ReadScreenIntoGraph");
    });
    target->Surface->Unlock(nullptr);
    return answer;
}

using ReadBackMethod = int (*)(Capture);

int Method5(Capture c)
{
    SetFrame(&c, false);
    return Valid(c) ? LockAndConvert(c) : -1;
}

int Method1(Capture c)
{
    SetFrame(&c, IsDrawingToWindowPrimary() == 1);
    return Valid(c) ? BlitFast(c) : -1;
}

int Method3(Capture c)
{
    SetFrame(&c, true);
    return Valid(c) ? GdiThenConvert(c) : -1;
}

int Method2(Capture c)
{
    SetFrame(&c, true);
    return Valid(c) ? GdiIntoTexture(c) : -1;
}

int Method4(Capture c)
{
    SetFrame(&c, true);
    return Valid(c) ? GdiThenLoad(c) : -1;
}

const ReadBackMethod Methods[] = {Method5, Method1, Method3, Method2, Method4};

} // namespace

int G_D3D_ReadScreenIntoGraph(int x1, int y1, int x2, int y2, GRAPHREC* graph, int flag)
{
    if (D3DState.Direct3D == nullptr || graph == nullptr) return -1;
    if (D3DState.DeviceUnusable != 0) return 0;
    G_D3D_EndCurrentScene();
    const SURF3DREC* first = graph->SurfaceCount > 0 ? G_D3D_GetSurface3DData(graph->Surfaces[0]) : nullptr;
    const IMGSURFREC* is = first != nullptr ? GetImageSurfaceRecord(first->ImageSurface) : nullptr;
    if (is == nullptr) return -1;
    const Capture c{x1, y1, x2, y2, graph, flag, 0, 0, 0, 0};
    const GRAPHREC* target = GetGraphRecord(DrawState.DrawTarget);
    if (target != nullptr && target->Format.Texture == 1) {
        const SURF3DREC* tp = target->SurfaceCount == 1 ? G_D3D_GetSurface3DData(target->Surfaces[0]) : nullptr;
        const IMGSURFREC* tis = tp != nullptr ? GetImageSurfaceRecord(tp->ImageSurface) : nullptr;
        if (tis == nullptr || tis->Surface == nullptr) return -1;
        return FromTargetTexture(c, tp, tis);
    }
    int& entry = D3DState.ReadBackMethod[(is->Format.AlphaChFlag != 0 || is->Format.AlphaTestFlag != 0) ? 0 : 1];
    if (entry >= 0) {
        const int answer = Methods[entry](c);
        if (answer >= 0) return answer;
    }
    for (int i = 0; i < static_cast<int>(std::size(Methods)); ++i) {
        if (Methods[i](c) == 0) {
            entry = i;
            return 0;
        }
    }
    entry = -1;
    return -1;
}
