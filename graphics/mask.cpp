// Owns the mask records and the mask screen: the plane, the buffer (a
// MEMIMG in software rendering, an off-screen surface otherwise) and the
// per-draw bracket. Calls the back-end table, the screen layer, the MEMIMG
// layer, the drawing state and the allocator.
#include "graphics/mask.h"

#include "core/fatalexit.h"
#include "core/inactivewait.h"
#include "core/memory.h"
#include "core/log.h"
#include "core/sysstate.h"
#include "graphics/backend.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/image/graphimage.h"
#include "graphics/matrix.h"
#include "graphics/screen.h"

#include <cstring>

MASKREC MaskTable[MASK_HANDLE_MAX];
MASKSCREEN MaskScreen{};

namespace {

bool BufferExists()
{
    return CurrentDrawsInSoftwareImages() ? IsMemImgAlive(&MaskScreen.Image) != 0 : MaskScreen.Surface != nullptr;
}

MEMIMG* TargetImage()
{
    MEMIMG* image = ScreenState.DrawImage;
    return image != nullptr && IsMemImgAlive(image) != 0 ? image : nullptr;
}

GraphImage DescribeMemImg(const MEMIMG* image)
{
    GraphImage g{};
    g.Format = *image->Body->ColorFormat;
    g.Width = image->Width;
    g.Height = image->Height;
    g.Pitch = image->Body->Pitch;
    g.Pixels = image->Pixels;
    return g;
}

// The buffer's size; a surface that cannot describe itself holds nothing.
void BufferSize(int* w, int* h)
{
    *w = 0;
    *h = 0;
    if (CurrentDrawsInSoftwareImages()) {
        *w = MaskScreen.Image.Width;
        *h = MaskScreen.Image.Height;
        return;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (MaskScreen.Surface == nullptr || MaskScreen.Surface->GetSurfaceDesc(&desc) != DD_OK) return;
    *w = static_cast<int>(desc.dwWidth);
    *h = static_cast<int>(desc.dwHeight);
}

// The rectangle within the draw area and within the plane and the buffer,
// which are screen-sized while a graph target may be larger; false when
// nothing is left.
bool ClipToDrawAreaAndMask(int x1, int y1, int x2, int y2, RECT* out)
{
    *out = RECT{x1, y1, x2, y2};
    ClipRectAgainstRect(out, &DrawState.DrawArea);
    int w = 0;
    int h = 0;
    BufferSize(&w, &h);
    const RECT mask{0, 0, w < MaskScreen.Width ? w : MaskScreen.Width, h < MaskScreen.Height ? h : MaskScreen.Height};
    ClipRectAgainstRect(out, &mask);
    return out->right > out->left && out->bottom > out->top;
}

bool FrontOnPrimary()
{
    return GetCurrentDrawTarget() == DRAWTARGET_FRONT && !CurrentRendersInSoftware();
}

// Sets the buffer's pixels to the key colour wherever the draw must not show.
void KnockOut(BYTE* pixels, int pitch, int bytesPerPixel, const RECT& rect)
{
    const MASKSCREEN& m = MaskScreen;
    const int w = rect.right - rect.left;
    for (int y = rect.top; y < rect.bottom; ++y) {
        const BYTE* plane = m.Plane + static_cast<std::size_t>(y) * m.Pitch + rect.left;
        BYTE* row = pixels + static_cast<std::size_t>(y - rect.top) * pitch;
        for (int x = 0; x < w; ++x) {
            const bool hidden = m.Reverse == 0 ? plane[x] != 0 : plane[x] == 0;
            if (!hidden) continue;
            BYTE* p = row + static_cast<std::size_t>(x) * bytesPerPixel;
            if (bytesPerPixel == 1) {
                *p = static_cast<BYTE>(m.KeyColor);
            } else if (bytesPerPixel == 2) {
                const WORD v = static_cast<WORD>(m.KeyColor);
                std::memcpy(p, &v, 2);
            } else {
                std::memcpy(p, &m.KeyColor, 4);
            }
        }
    }
}

// Direct3D renders into the mask surface while draws go through the mask,
// else into the draw target; the viewport follows.
int PointDirect3DAtMask()
{
    D3DDEVREC* device = CurrentD3DDevice();
    if (device == nullptr) return 0;
    const MASKSCREEN& m = MaskScreen;
    G_D3D_FlushCurrentVertexBatch();
    const int target = GetCurrentDrawTarget();
    const bool through = m.Active != 0 && m.Surface != nullptr;
    if (through) {
        G_D3D_SetRenderTarget(m.Surface, D3DState.CurrentDevice);
    } else if (target >= 0) {
        // A graph target may be a texture, which only the draw-target switch binds.
        G_D3D_SetDrawTarget(target, target);
    } else {
        G_D3D_SetRenderTarget(GetCurrentDrawSurface(), D3DState.CurrentDevice);
    }
    const RECT& area = DrawState.DrawArea;
    if (through && FrontOnPrimary()) {
        D3DVIEWPORT7 viewport{};
        viewport.dwX = static_cast<DWORD>(area.left);
        viewport.dwY = static_cast<DWORD>(area.top);
        viewport.dwWidth = static_cast<DWORD>(area.right - area.left);
        viewport.dwHeight = static_cast<DWORD>(area.bottom - area.top);
        viewport.dvMinZ = 0.0f;
        viewport.dvMaxZ = 1.0f;
        if (device->Device->SetViewport(&viewport) != D3D_OK) {
            WriteLog("ビューポートのセットに失敗しました\n");
            return -1;
        }
        device->Viewport = viewport;
        return 0;
    }
    G_D3D_SetViewportFromDrawArea(&area);
    return 0;
}

} // namespace

int DeleteMask(int handle)
{
    const int slot = handle & 0xFFFF;
    if (handle < 0 || (handle & 0x78000000) != MASK_HANDLE_TAG || slot >= MASK_HANDLE_MAX) return -1;
    MASKREC& r = MaskTable[slot];
    if (r.Used == 0 || r.Check != static_cast<DWORD>((handle >> 16) & 0x7FF)) return -1;
    if (r.Image != nullptr) FreeMemory(r.Image);
    r = MASKREC{};
    return 0;
}

int DeleteAllMasks()
{
    for (int i = 0; i < MASK_HANDLE_MAX; ++i) {
        if (MaskTable[i].Used == 1) DeleteMask(static_cast<int>(((MaskTable[i].Check | 0x4000) << 16) | i));
    }
    return 0;
}

int CreateMaskScreen(int flag)
{
    MASKSCREEN& m = MaskScreen;
    if (flag == 0) return 0;
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    if (m.Plane == nullptr) {
        m.Pitch = (w + 3) / 4 * 4;
        m.Plane = static_cast<BYTE*>(AllocMemoryZeroed(static_cast<std::size_t>(m.Pitch) * h, __FILE__, __LINE__));
        m.Width = w;
        m.Height = h;
    }
    if (CurrentDrawsInSoftwareImages()) {
        if (IsMemImgAlive(&m.Image) == 0) {
            if (AllocateMemImgForScreen(&m.Image, w, h, -1) < 0) {
                ExitWithFatalError("マスク用 MEMIMG の作成に失敗しました");
            }
            m.ImageMade = 1;
        }
        return 0;
    }
    if (m.Surface == nullptr) {
        IDirectDraw7* dd = GetDirectDrawInterface();
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        desc.dwWidth = static_cast<DWORD>(w);
        desc.dwHeight = static_cast<DWORD>(h);
        desc.ddsCaps.dwCaps = CurrentRendersInSoftware() ? 0x840u : 0x2040u;
        if (dd == nullptr || dd->CreateSurface(&desc, &m.Surface, nullptr) != DD_OK || m.Surface == nullptr) {
            m.Surface = nullptr;
            ExitWithFatalError("マスク用サーフェスの作成に失敗しました");
        }
        DDCOLORKEY key{m.KeyColor, m.KeyColor};
        m.Surface->SetColorKey(DDCKEY_SRCBLT, &key);
        DDSCAPS2 caps{};
        m.Surface->GetCaps(&caps);
        m.VideoMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0 ? 1 : 0;
        m.ImageMade = 0;
    }
    return 0;
}

int ReleaseMaskScreen()
{
    MASKSCREEN& m = MaskScreen;
    if (m.Plane != nullptr) FreeMemory(m.Plane);
    m.Plane = nullptr;
    m.Width = 0;
    m.Height = 0;
    if (m.ImageMade == 1) {
        DropMemImgReference(&m.Image);
        m.ImageMade = 0;
    }
    if (m.Surface != nullptr) m.Surface->Release();
    m.Surface = nullptr;
    return 0;
}

int RecreateMaskScreen()
{
    CreateMaskScreen(MaskScreen.Wanted);
    if (MaskScreen.Request != 0) EnableMaskScreen(1);
    return 0;
}

int EndMaskScreen()
{
    // Only a mask screen that exists needs the active window; an inactive
    // window at shutdown would otherwise hold the end forever.
    if (MaskScreen.Plane != nullptr && SysState.EndingState != 1) WaitWhileInactive();
    if (MaskScreen.Request != 0) EnableMaskScreen(0);
    ReleaseMaskScreen();
    MaskScreen.Wanted = 0;
    MaskScreen.Active = 0;
    return 0;
}

int EnableMaskScreen(int flag)
{
    MASKSCREEN& m = MaskScreen;
    if (m.Plane == nullptr) return -1;
    const int target = GetCurrentDrawTarget();
    m.Request = flag;
    // The device cannot copy a texture target into the buffer and back, so
    // draws onto one go straight to it, unmasked.
    const GRAPHREC* graph = target >= 0 ? GetGraphRecord(target) : nullptr;
    const GRAPHICSBACKEND& b = CurrentGraphicsBackend();
    const bool textureTarget = graph != nullptr && b.TextureGraphs == 1 && &GraphBackend(graph) == &b;
    m.Active = flag != 0 && m.Wanted != 0 && !textureTarget ? 1 : 0;
    RECT rect{0, 0, 0, 0};
    if (m.Active == 0 && target == DRAWTARGET_FRONT && ScreenState.FrontViaTempPrimary != 1 && SysState.WindowModeFlag == 1 &&
        !CurrentRendersInSoftware()) {
        rect = SysState.WindowClientRect;
    } else {
        int w = 0;
        int h = 0;
        if (target < 0) {
            GetScreenPixelSize(&w, &h);
        } else {
            GetGraphDimensions(target, &w, &h);
        }
        rect = RECT{0, 0, w, h};
    }
    StoreDrawTargetScreenRect(&rect);
    return PointDirect3DAtMask();
}

int IsMaskScreenActive()
{
    return MaskScreen.Request;
}

int SaveMaskedRectBeforeDraw(int x1, int y1, int x2, int y2)
{
    MASKSCREEN& m = MaskScreen;
    if (!BufferExists()) return 0;
    G_D3D_EndCurrentScene();
    RECT r;
    if (!ClipToDrawAreaAndMask(x1, y1, x2, y2, &r)) return 0;
    const int x = r.left;
    const int y = r.top;
    MEMIMG* image = TargetImage();
    if (CurrentDrawsInSoftwareImages()) {
        if (image != nullptr) CopyMemImgRect(&m.Image, image, &r, x, y);
        return 0;
    }
    IDirectDrawSurface7* surface = GetCurrentDrawSurface();
    if (image == nullptr && surface != nullptr) {
        if (FrontOnPrimary()) {
            r.left += SysState.WindowClientRect.left;
            r.right += SysState.WindowClientRect.left;
            r.top += SysState.WindowClientRect.top;
            r.bottom += SysState.WindowClientRect.top;
        }
        m.Surface->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), surface, &r, DDBLTFAST_NOCOLORKEY);
    }
    return 0;
}

int RestoreMaskedRectAfterDraw(int x1, int y1, int x2, int y2)
{
    MASKSCREEN& m = MaskScreen;
    if (m.Active == 0 || !BufferExists()) return 0;
    G_D3D_EndCurrentScene();
    RECT r;
    if (!ClipToDrawAreaAndMask(x1, y1, x2, y2, &r)) return 0;
    int tx = r.left;
    int ty = r.top;
    if (FrontOnPrimary()) {
        tx += SysState.WindowClientRect.left;
        ty += SysState.WindowClientRect.top;
    }
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    MEMIMG* image = TargetImage();
    if (CurrentDrawsInSoftwareImages()) {
        if (image == nullptr) return 0;
        BYTE* first = m.Image.Pixels + static_cast<std::size_t>(r.top) * m.Image.Body->Pitch +
                      static_cast<std::size_t>(r.left) * MemImgBytesPerPixel(m.Image.Body);
        KnockOut(first, m.Image.Body->Pitch, MemImgBytesPerPixel(m.Image.Body), r);
        GraphImage target = DescribeMemImg(image);
        CopyMemImgRectToGraphImage(&target, &m.Image, r.left, r.top, w, h, tx, ty, m.KeyColor, 1);
        return 0;
    }
    IDirectDrawSurface7* surface = GetCurrentDrawSurface();
    if (image != nullptr || surface == nullptr) return 0;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (m.Surface->Lock(&r, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) return 0;
    const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    KnockOut(static_cast<BYTE*>(desc.lpSurface), static_cast<int>(desc.lPitch), bytes, r);
    m.Surface->Unlock(&r);
    surface->BltFast(static_cast<DWORD>(tx), static_cast<DWORD>(ty), m.Surface, &r, DDBLTFAST_SRCCOLORKEY);
    return 0;
}

bool MaskedDrawRedirects()
{
    if (MaskScreen.Active == 0 || !BufferExists()) return false;
    // A draw made inside another's bracket (the glyphs of a string) lands in the buffer already.
    return !(ScreenState.DrawImage == &MaskScreen.Image ||
             (MaskScreen.Surface != nullptr && ScreenState.DrawSurface == MaskScreen.Surface));
}

void BeginMaskedDraw(MASKEDDRAW* draw, const RECT& rect)
{
    *draw = MASKEDDRAW{0, nullptr, nullptr, rect};
    if (!MaskedDrawRedirects()) return;
    SaveMaskedRectBeforeDraw(rect.left, rect.top, rect.right, rect.bottom);
    draw->Redirected = 1;
    draw->Image = ScreenState.DrawImage;
    draw->Surface = ScreenState.DrawSurface;
    if (CurrentDrawsInSoftwareImages()) {
        ScreenState.DrawImage = &MaskScreen.Image;
    } else {
        ScreenState.DrawSurface = MaskScreen.Surface;
    }
}

void EndMaskedDraw(MASKEDDRAW* draw)
{
    if (draw->Redirected == 0) return;
    ScreenState.DrawImage = draw->Image;
    ScreenState.DrawSurface = draw->Surface;
    RestoreMaskedRectAfterDraw(draw->Rect.left, draw->Rect.top, draw->Rect.right, draw->Rect.bottom);
    draw->Redirected = 0;
}
