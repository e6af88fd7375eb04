// Owns the output surfaces of SCREENSTATE and their software images: their
// creation, release and restore, the 8-bit palette, surface copies, the
// front-screen copy timer and the transfers between the displayed front
// screen and its image. Calls platform/ddraw, platform/gdi, the window layer,
// the MEMIMG layer, the 2D surface table and the drawing state.
#include "graphics/screen.h"
#include "graphics/screen_dib.h"

#include "core/log.h"
#include "core/fatalexit.h"
#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "graphics/image/convert.h"
#include "graphics/imagesurface.h"
#include "graphics/soft/surface2d.h"
#include "platform/gdi/gdi.h"
#include "platform/window/window.h"

#include <cstring>
#include <initializer_list>

namespace {

void Fatal(const char* text)
{
    ExitWithFatalError(text);
}

IDirectDrawSurface7* CreatePlainSurface(int width, int height, DWORD caps)
{
    IDirectDrawSurface7* surface = nullptr;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = caps;
    if (FAILED(ScreenState.DirectDraw->CreateSurface(&desc, &surface, nullptr))) return nullptr;
    return surface;
}

DWORD BackgroundScreenColor()
{
    return static_cast<DWORD>(
        ConvertRGBToScreenColor(SysState.BackgroundRed, SysState.BackgroundGreen, SysState.BackgroundBlue));
}

void FillSurfaceWithBackground(IDirectDrawSurface7* surface)
{
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = BackgroundScreenColor();
    surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

void ReleaseSurface(IDirectDrawSurface7*& surface)
{
    if (surface != nullptr) {
        surface->Release();
        surface = nullptr;
    }
}

int SoftwareImageFormat()
{
    return GetRequestedColorBits() == 16 ? MEMIMG_FORMAT_RGB565 : MEMIMG_FORMAT_XRGB8888;
}

// The back image lives in the locked back surface when the surface already
// has the image's exact layout.
bool BackImageOverLockedSurface()
{
    const SCREENSTATE& s = ScreenState;
    if (s.GdiOnly == 1 || GetRequestedColorBits() != s.ColorBits) return false;
    const COLORFMT& f = s.ColorFormat;
    if (s.ColorBits == 32) return f.RedMask == 0xFF0000 && f.GreenMask == 0xFF00 && f.BlueMask == 0xFF;
    if (s.ColorBits == 16) return f.RedMask == 0xF800 && f.GreenMask == 0x7E0 && f.BlueMask == 0x1F;
    return false;
}

void FillImageWithBackground(MEMIMG* image)
{
    const DWORD value = GetColorValueInFormat(image->Body->ColorFormat, SysState.BackgroundRed,
                                              SysState.BackgroundGreen, SysState.BackgroundBlue, 255);
    RECT whole{0, 0, image->Width, image->Height};
    FillMemImgRectRaw(image, &whole, value);
}

const char* MemoryKind(IDirectDrawSurface7* surface)
{
    DDSCAPS2 caps{};
    if (surface != nullptr) surface->GetCaps(&caps);
    return (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? "VIDEOMEMORY" : "SYSTEMMEMORY";
}

HRESULT SetPaletteOnAttached(IDirectDrawSurface7* surface, DDSURFACEDESC2*, void* context)
{
    surface->SetPalette(static_cast<IDirectDrawPalette*>(context));
    return DDENUMRET_OK;
}

// The fixed 256-colour palette, darkest first. Rows fixed by the system's
// earlier output are set explicitly; the rest is a brightness-ordered ramp.
void BuildFixedPalette(PALETTEENTRY* entries)
{
    for (int i = 0; i < 256; ++i) {
        // A walk through red, green and blue levels that keeps away from greys.
        const int r = (i * 7) % 256;
        const int g = (i * 3 + 40) % 256;
        const int b = (i * 5 + 80) % 256;
        entries[i] = PALETTEENTRY{static_cast<BYTE>(r), static_cast<BYTE>(g), static_cast<BYTE>(b), 0};
    }
    const struct {
        int index;
        BYTE r, g, b;
    } fixed[] = {{0, 0, 0, 0},       {1, 14, 0, 0},      {16, 0, 0, 139},     {82, 250, 1, 0},
                 {255, 255, 255, 255}, {46, 48, 48, 48},  {62, 63, 63, 63},    {85, 79, 79, 79},
                 {160, 128, 128, 128}, {191, 159, 159, 159}};
    for (const auto& f : fixed) entries[f.index] = PALETTEENTRY{f.r, f.g, f.b, 0};
}

} // namespace

int CreateOutputSurfaces()
{
    SCREENSTATE& s = ScreenState;
    if (SysState.NoWindow == 1) return 0;
    if (s.GdiOnly != 1 && (s.DirectDraw == nullptr || s.PrimarySurface != nullptr)) return -1;
    WriteLog("出力画面用の DirectDrawSurface を作成します\n");
    IncreaseLogIndent();
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);

    if ((s.SoftwareRendering == 1 || s.GdiOnly == 1) && s.ColorBits != 8) {
        s.SoftwareSurfaces = 1;
        s.WorkSurface1 = nullptr;
        s.WorkSurface2 = nullptr;
        s.DepthSurface = nullptr;
        if (s.GdiOnly != 1) {
            IDirectDrawSurface7* primary = nullptr;
            DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = DDSD_CAPS;
            desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY;
            if (FAILED(s.DirectDraw->CreateSurface(&desc, &primary, nullptr))) Fatal("プライマリサーフェスの作成に失敗しました");
            s.PrimarySurface = primary;
            s.BackSurface = CreatePlainSurface(w, h, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
            if (s.BackSurface == nullptr) Fatal("バックサーフェスの作成に失敗しました");
            FillSurfaceWithBackground(s.BackSurface);
        }
        if (AllocateMemImgForScreen(&s.FrontImage, w, h, SoftwareImageFormat()) != 0) {
            Fatal("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
        }
        std::memset(&s.BackImage, 0, sizeof s.BackImage);
        if (BackImageOverLockedSurface()) {
            DDSURFACEDESC2 lock{};
            lock.dwSize = sizeof lock;
            if (FAILED(s.BackSurface->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr))) {
                Fatal("バックサーフェスのロックに失敗しました");
            }
            if (AllocateMemImg(&s.BackImage, w, h, lock.lPitch, 0, SoftwareImageFormat(), 0, 0, 0, lock.lpSurface) != 0) {
                Fatal("バックサーフェス用の MEMIMG の作成に失敗しました\n");
            }
        } else if (AllocateMemImgForScreen(&s.BackImage, w, h, SoftwareImageFormat()) != 0) {
            Fatal("バックサーフェス用の MEMIMG の作成に失敗しました\n");
        }
        if (AllocateDepthMemImg(&s.DepthImage, w, h) != 0) {
            Fatal("Ｚバッファサーフェス用の MEMIMG の作成に失敗しました\n");
        }
        FillImageWithBackground(&s.FrontImage);
        FillImageWithBackground(&s.BackImage);
    } else {
        s.SoftwareSurfaces = 0;
        s.RequestedColorBits = s.ColorBits;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (SysState.WindowModeFlag == 1) {
            desc.dwFlags = DDSD_CAPS;
            desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE;
            if (FAILED(s.DirectDraw->CreateSurface(&desc, &s.PrimarySurface, nullptr))) {
                Fatal("プライマリサーフェスの作成に失敗しました");
            }
            s.BackSurface = CreatePlainSurface(w, h, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
            if (s.BackSurface == nullptr) Fatal("バックサーフェスの作成に失敗しました");
            FillSurfaceWithBackground(s.BackSurface);
        } else {
            desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
            desc.dwBackBufferCount = 1;
            desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
            if (FAILED(s.DirectDraw->CreateSurface(&desc, &s.PrimarySurface, nullptr))) {
                Fatal("プライマリサーフェスの作成に失敗しました");
            }
            DDSCAPS2 caps{};
            caps.dwCaps = DDSCAPS_BACKBUFFER;
            if (FAILED(s.PrimarySurface->GetAttachedSurface(&caps, &s.BackSurface))) {
                Fatal("バックバッファのポインタ取得に失敗しました");
            }
            for (int i = 0; i < 3; ++i) {
                FillSurfaceWithBackground(s.BackSurface);
                s.PrimarySurface->Flip(nullptr, DDFLIP_NOVSYNC);
            }
        }
        if (s.FrontViaTempPrimary == 1) {
            s.TempPrimarySurface = CreatePlainSurface(w, h, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
            if (s.TempPrimarySurface == nullptr) Fatal("テンポラリプライマリサーフェスの作成に失敗しました");
            FillSurfaceWithBackground(s.TempPrimarySurface);
        }
        if (SysState.OSCode == 0x108) {
            s.Temp320Surface = CreatePlainSurface(320, 240, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
            if (s.Temp320Surface == nullptr) Fatal("320x240用テンポラリプライマリサーフェスの作成に失敗しました");
            FillSurfaceWithBackground(s.Temp320Surface);
        }
        DDCOLORKEY key{0, 0};
        s.WorkSurface1 = CreatePlainSurface(w, h, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
        if (s.WorkSurface1 == nullptr) Fatal("作業用サーフェスの作成に失敗しました");
        s.WorkSurface1->SetColorKey(DDCKEY_SRCBLT, &key);
        s.WorkSurface2 = CreatePlainSurface(w, h, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
        if (s.WorkSurface2 == nullptr) Fatal("作業用サーフェス２の作成に失敗しました");
        s.WorkSurface2->SetColorKey(DDCKEY_SRCBLT, &key);

        DDSURFACEDESC2 zdesc{};
        zdesc.dwSize = sizeof zdesc;
        zdesc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
        zdesc.dwWidth = static_cast<DWORD>(w);
        zdesc.dwHeight = static_cast<DWORD>(h);
        zdesc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
        zdesc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        zdesc.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
        zdesc.ddpfPixelFormat.dwZBufferBitDepth = 16;
        zdesc.ddpfPixelFormat.dwZBitMask = 0xFFFF;
        if (SUCCEEDED(s.DirectDraw->CreateSurface(&zdesc, &s.DepthSurface, nullptr))) {
            s.BackSurface->AddAttachedSurface(s.DepthSurface);
        } else {
            s.DepthSurface = nullptr;
            WriteLog("Ｚバッファの作成に失敗しました\n");
        }
    }

    WriteLog("各スクリーンメモリの配置位置\n");
    IncreaseLogIndent();
    if (s.SoftwareSurfaces == 1) {
        WriteLogFormat("%s", "PrimaryBuffer : SYSTEMMEMORY( MEMIMG ) ");
        WriteLogFormat("%s", "BaskBuffer : SYSTEMMEMORY( MEMIMG ) ");
    } else {
        WriteLogFormat("PrimaryBuffer : %s  ", MemoryKind(s.PrimarySurface));
        WriteLogFormat("BaskBuffer : %s  ", MemoryKind(s.BackSurface));
    }
    DecreaseLogIndent();
    WriteLog("出力画面用の DirectDrawSurface の作成は正常に終了しました\n");
    DecreaseLogIndent();
    return 0;
}

int ReleaseOutputSurfaces()
{
    SCREENSTATE& s = ScreenState;
    if (HasScreenLayer() == 0) return -1;
    if (s.SoftwareRendering == 1 && s.ColorBits != 8 && s.BackSurface != nullptr &&
        GetRequestedColorBits() == s.ColorBits && s.BackImage.Tag == MEMIMG_TAG && s.BackImage.Body != nullptr &&
        s.BackImage.Body->ExternalPixels == 1) {
        s.BackSurface->Unlock(nullptr);
    }
    if (s.DepthSurface != nullptr) {
        if (s.BackSurface != nullptr) s.BackSurface->DeleteAttachedSurface(0, s.DepthSurface);
        ReleaseSurface(s.DepthSurface);
    }
    if (s.PrimarySurface != nullptr) {
        WriteLog("メインサーフェスを破棄をします... 完了しました\n");
        s.PrimarySurface->SetClipper(nullptr);
        // A flip chain's back buffer is released with its primary.
        ReleaseSurface(s.BackSurface);
        ReleaseSurface(s.PrimarySurface);
    }
    ReleaseSurface(s.BackSurface);
    ReleaseSurface(s.TempPrimarySurface);
    ReleaseSurface(s.Temp320Surface);
    ReleaseSurface(s.WorkSurface1);
    ReleaseSurface(s.WorkSurface2);
    if (s.SoftwareSurfaces == 1) {
        DropMemImgReference(&s.FrontImage);
        DropMemImgReference(&s.BackImage);
        DropMemImgReference(&s.DepthImage);
        std::memset(&s.FrontImage, 0, sizeof s.FrontImage);
        std::memset(&s.BackImage, 0, sizeof s.BackImage);
        std::memset(&s.DepthImage, 0, sizeof s.DepthImage);
        s.SoftwareSurfaces = 0;
    }
    s.DrawSurface = nullptr;
    s.DrawImage = nullptr;
    s.DrawDepthImage = nullptr;
    return 0;
}

int RestoreLostOutputSurfaces()
{
    SCREENSTATE& s = ScreenState;
    if (s.DirectDraw == nullptr) return -1;
    for (IDirectDrawSurface7* surface :
         {s.PrimarySurface, s.TempPrimarySurface, s.Temp320Surface, s.BackSurface, s.DepthSurface}) {
        if (surface != nullptr && surface->IsLost() == DDERR_SURFACELOST) surface->Restore();
    }
    return 0;
}

int ReleaseSurface2DBuffers()
{
    if (HasScreenLayer() == 0) return 0;
    for (int slot = 0; slot < GetSurface2DHighWater(); ++slot) {
        const int imageSurface = GetSurface2DImageSurfaceOfSlot(slot);
        if (imageSurface != -1) ReleaseImageSurfaceObjects(imageSurface);
    }
    return 0;
}

int RecreateSurface2DBuffers()
{
    if (HasScreenLayer() == 0) return 0;
    for (int slot = 0; slot < GetSurface2DHighWater(); ++slot) {
        const int imageSurface = GetSurface2DImageSurfaceOfSlot(slot);
        if (imageSurface == -1) continue;
        CreateImageSurfaceObjects(imageSurface);
        SetImageSurfaceColorKey(imageSurface);
    }
    return 0;
}

int CreateScreenPalette()
{
    SCREENSTATE& s = ScreenState;
    if (s.DirectDraw == nullptr || s.Palette != nullptr || s.ColorBits != 8) return 0;
    BuildFixedPalette(s.PaletteEntries);
    if (FAILED(s.DirectDraw->CreatePalette(DDPCAPS_8BIT, s.PaletteEntries, &s.Palette, nullptr))) {
        Fatal("パレットの作成に失敗しました");
    }
    if (s.PrimarySurface == nullptr) return 0;
    if (SysState.WindowModeFlag == 1) {
        s.PrimarySurface->SetPalette(s.Palette);
        if (s.BackSurface != nullptr) s.BackSurface->SetPalette(s.Palette);
    } else {
        s.PrimarySurface->SetPalette(s.Palette);
        s.PrimarySurface->EnumAttachedSurfaces(s.Palette, SetPaletteOnAttached);
    }
    return 0;
}

int CopySurfaceRect(IDirectDrawSurface7* dst, IDirectDrawSurface7* src, int x, int y, const RECT* srcRect, int method)
{
    if (dst == nullptr || src == nullptr || srcRect == nullptr) return -1;
    if (method == -1) method = ScreenState.CopyMethod;
    RECT r = *srcRect;
    if (method == 1) {
        HDC dstDc = nullptr;
        HDC srcDc = nullptr;
        if (FAILED(dst->GetDC(&dstDc))) return -1;
        if (FAILED(src->GetDC(&srcDc))) {
            dst->ReleaseDC(dstDc);
            return -1;
        }
        const BOOL ok = BitBlt(dstDc, x, y, r.right - r.left, r.bottom - r.top, srcDc, r.left, r.top, SRCCOPY);
        GdiFlush();
        src->ReleaseDC(srcDc);
        dst->ReleaseDC(dstDc);
        return ok ? 0 : -1;
    }
    if (method == 0) {
        return FAILED(dst->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), src, &r, 0)) ? -1 : 0;
    }
    return 0;
}

namespace {

// Copies between the window's client area of the primary and the same-sized
// rectangle at (0, 0) of the temporary primary, in either direction.
int CopyBetweenPrimaries(bool toTemporary)
{
    SCREENSTATE& s = ScreenState;
    if (s.PrimarySurface == nullptr || s.TempPrimarySurface == nullptr) return 0;
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    const RECT& c = SysState.WindowClientRect;
    RECT client{c.left, c.top, c.left + w, c.top + h};
    RECT origin{0, 0, w, h};
    if (toTemporary)
        s.TempPrimarySurface->Blt(&origin, s.PrimarySurface, &client, DDBLT_WAIT, nullptr);
    else
        s.PrimarySurface->Blt(&client, s.TempPrimarySurface, &origin, DDBLT_WAIT, nullptr);
    return 0;
}

} // namespace

int CopyPrimaryToTempPrimary()
{
    return CopyBetweenPrimaries(true);
}

int CopyTempPrimaryToPrimary()
{
    return CopyBetweenPrimaries(false);
}

void FrontCopyTimerProc(HWND window, UINT, std::uintptr_t, DWORD)
{
    KillTimer(window, FRONT_COPY_TIMER_ID);
    if (ScreenState.PrimarySurface != nullptr) {
        CopyTempPrimaryToPrimary();
        SetTimer(window, FRONT_COPY_TIMER_ID, 17, FrontCopyTimerProc);
    }
}

namespace {

GraphImage LockedGraphImage(const DDSURFACEDESC2& lock, int width, int height)
{
    GraphImage image{};
    image.Format = ScreenState.ColorFormat;
    image.Width = width;
    image.Height = height;
    image.Pitch = lock.lPitch;
    image.Pixels = lock.lpSurface;
    return image;
}

} // namespace

int FlushFrontMemImgRect(const RECT* rect)
{
    SCREENSTATE& s = ScreenState;
    if (rect == nullptr || s.FrontImage.Tag != MEMIMG_TAG) return -1;
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    RECT r = *rect;
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.right > w) r.right = w;
    if (r.bottom > h) r.bottom = h;
    if (r.right <= r.left || r.bottom <= r.top) return 0;
    const int rw = r.right - r.left;
    const int rh = r.bottom - r.top;

    if (s.GdiOnly == 1) {
        HDC dc = GetDC(SysState.MainWindow);
        if (dc == nullptr) return -1;
        BitFieldHeader header = MakeBitFieldHeader(&s.FrontImage, w, h);
        // The source row is given from the bottom of the picture.
        StretchDIBits(dc, r.left, r.top, rw, rh, r.left, h - rh - r.top, rw, rh, s.FrontImage.Pixels,
                      reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, SRCCOPY);
        ReleaseDC(SysState.MainWindow, dc);
        return 0;
    }
    IDirectDrawSurface7* surface = s.FrontViaTempPrimary == 1 ? s.TempPrimarySurface : s.PrimarySurface;
    if (surface == nullptr) return -1;
    RECT dst = r;
    if (SysState.WindowModeFlag == 1 && s.FrontViaTempPrimary != 1) {
        const RECT& c = SysState.WindowClientRect;
        dst = RECT{r.left + c.left, r.top + c.top, r.right + c.left, r.bottom + c.top};
    }
    DDSURFACEDESC2 lock{};
    lock.dwSize = sizeof lock;
    if (FAILED(surface->Lock(&dst, &lock, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) return -1;
    GraphImage target = LockedGraphImage(lock, rw, rh);
    CopyMemImgRectToGraphImage(&target, &s.FrontImage, r.left, r.top, rw, rh, 0, 0, 0, 0);
    surface->Unlock(&dst);
    return 0;
}

int RefreshFrontMemImg()
{
    SCREENSTATE& s = ScreenState;
    const bool software = s.GdiOnly == 1 || (s.SoftwareRendering == 1 && s.ColorBits != 8);
    if (!software || s.FrontImageStale != 1 || s.FrontImage.Tag != MEMIMG_TAG) return 0;
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    if (s.GdiOnly == 1) {
        HDC windowDc = GetDC(SysState.MainWindow);
        if (windowDc != nullptr) {
            HDC memDc = CreateCompatibleDC(windowDc);
            HBITMAP bitmap = CreateCompatibleBitmap(windowDc, w, h);
            HGDIOBJ old = SelectObject(memDc, bitmap);
            BitBlt(memDc, 0, 0, w, h, windowDc, 0, 0, SRCCOPY);
            SelectObject(memDc, old);
            BitFieldHeader header = MakeBitFieldHeader(&s.FrontImage, w, h);
            GetDIBits(memDc, bitmap, 0, static_cast<UINT>(h), s.FrontImage.Pixels,
                      reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
            DeleteObject(bitmap);
            DeleteDC(memDc);
            ReleaseDC(SysState.MainWindow, windowDc);
        }
    } else {
        IDirectDrawSurface7* surface = GetFrontScreenSurface();
        if (surface == nullptr) return -1;
        RECT rect{};
        GetFrontScreenRect(&rect);
        DDSURFACEDESC2 lock{};
        lock.dwSize = sizeof lock;
        if (FAILED(surface->Lock(&rect, &lock, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return -1;
        RECT whole{0, 0, w, h};
        CopyPixelsConvertingFormat(s.FrontImage.Pixels, s.FrontImage.Body->Pitch,
                                   LookupMemImgColorFormat(SoftwareImageFormat(), 0, 0), lock.lpSurface, lock.lPitch,
                                   &s.ColorFormat, nullptr, 0, nullptr, 0, 0, &whole, 0, 0, 0, 0, 0, 0, 0, 0);
        surface->Unlock(&rect);
    }
    s.FrontImageStale = 0;
    return 0;
}

int ShowGDISurface(int flag)
{
    SCREENSTATE& s = ScreenState;
    const int wanted = (flag == 1 || SysState.MenuUse == 1) ? 1 : 0;
    if (wanted == s.GdiSurfaceState) return 0;
    s.GdiSurfaceRequest = flag;
    if (s.DirectDraw == nullptr) return 0;
    if (wanted == 1) s.DirectDraw->FlipToGDISurface();
    int area[4];
    ReadDrawArea(area);
    const int target = DrawState.DrawTarget;
    SwitchDrawTarget(DRAWTARGET_BACK);
    SwitchDrawTarget(DRAWTARGET_FRONT);
    SwitchDrawTarget(target);
    StoreDrawArea(area[0], area[1], area[2], area[3]);
    s.GdiSurfaceState = wanted;
    return 0;
}

BitFieldHeader MakeBitFieldHeader(const MEMIMG* image, int width, int height)
{
    const COLORFMT* f = image->Body->ColorFormat;
    BitFieldHeader h{};
    h.header.biSize = sizeof(BITMAPINFOHEADER);
    h.header.biWidth = width;
    h.header.biHeight = -height;
    h.header.biPlanes = 1;
    h.header.biBitCount = f->BitsPerPixel;
    h.header.biCompression = BI_BITFIELDS;
    h.masks[0] = f->RedMask;
    h.masks[1] = f->GreenMask;
    h.masks[2] = f->BlueMask;
    return h;
}
