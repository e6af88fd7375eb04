// Owns the image-surface table and records: creation of the DirectDraw
// surface or software MEMIMG behind each, depth buffers, colour keys, locks
// and fills. Calls the screen layer (DirectDraw object, screen format), the
// back-end table, the Direct3D back-end for texture surfaces, the MEMIMG
// layer and the drawing state's colour conversion.
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/imagesurface.h"

#include <cstring>

#include "core/log.h"
#include "graphics/backend.h"
#include "graphics/drawstate.h"
#include "graphics/screen.h"

IMGSURFTABLE ImageSurfaceTable;

namespace {

int MemImgFormatOf(const IMGSURFREC* r)
{
    return r->Format.ColorBitDepth == 16 ? MEMIMG_FORMAT_RGB565 : MEMIMG_FORMAT_XRGB8888;
}

void FailObjects(IMGSURFREC* r)
{
    if (r->Surface != nullptr) {
        r->Surface->Release();
        r->Surface = nullptr;
    }
    if (IsMemImgAlive(&r->Image)) DropMemImgReference(&r->Image);
    std::memset(&r->Image, 0, sizeof r->Image);
}

DWORD ScreenValueOfKey(const IMGSURFREC* r)
{
    if (r->Format.ColorBitDepth == 8) return 0;
    return ConvertRGBToScreenColor((r->ColorKey >> 16) & 0xFF, (r->ColorKey >> 8) & 0xFF, r->ColorKey & 0xFF);
}

} // namespace

void ResetImageSurfaceTable()
{
    ResetHandleTable(ImageSurfaceTable);
}

IMGSURFREC* GetImageSurfaceRecord(int handle)
{
    return GetHandleRecord(ImageSurfaceTable, handle);
}

int GetTextureFormatIndex(const IMGFLAGS* f)
{
    const int wide = f->ColorBitDepth != 16 ? 1 : 0;
    if (f->DrawValid == 1) return (f->AlphaChFlag == 1 || f->AlphaTestFlag == 1) ? 8 : 6 + wide;
    if (f->AlphaChFlag == 1) return 2 + wide;
    if (f->AlphaTestFlag == 1) return 4 + wide;
    return wide;
}

int AddImageSurface(int refCount, WORD width, WORD height, DWORD colorKey, const IMGFLAGS* flags)
{
    int slot = FindFreeHandleSlot(ImageSurfaceTable);
    if (slot < 0) {
        WriteLog("サーフェスのデータ数が許容量を越えました。\n");
        return -1;
    }
    IMGSURFREC* r = AllocHandleRecord(ImageSurfaceTable, slot, __FILE__, __LINE__);
    if (r == nullptr) {
        WriteLog("サーフェス用データを保存するメモリ領域の確保に失敗しました\n");
        return -1;
    }
    r->Format = *flags;
    r->Width = width;
    r->Height = height;
    r->RefCount = refCount;
    r->ColorKey = colorKey;
    IMGFLAGS& f = r->Format;
    if (f.Texture != 1) {
        if (f.AlphaChFlag == 1 || f.SingleChannel == 1) f.SystemMemory = 1;
        f.DrawValid = 1;
        f.AlphaTestFlag = 0;
    } else {
        f.SystemMemory = 0;
        if (f.DrawValid == 1 || f.AlphaChFlag == 1) f.AlphaTestFlag = 0;
    }
    r->Software = (f.SystemMemory == 1 || CurrentDrawsInSoftwareImages()) ? 1 : 0;
    const int handle = CommitHandleRecord(ImageSurfaceTable, slot);
    if (CreateImageSurfaceObjects(handle) != 0) {
        DeleteImageSurface(handle);
        return -1;
    }
    SetImageSurfaceColorKey(handle);
    return handle;
}

int CreateImageSurfaceObjects(int handle)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr) return -1;
    IDirectDraw7* dd = ScreenState.DirectDraw;
    if (r->Software == 0 && dd == nullptr) return -1;
    if (r->Surface != nullptr) return 0;
    IMGFLAGS& f = r->Format;
    bool ok = false;
    if (f.Texture == 1) {
        ok = G_D3D_CreateTextureSurface(r, dd) == 0;
    } else if (r->Software == 1) {
        if (IsMemImgAlive(&r->Image)) return SetImageSurfaceZBuffer(handle, r->DepthWanted);
        std::memset(&r->Image, 0, sizeof r->Image);
        int made;
        if (f.SingleChannel == 1) {
            made = AllocateMemImg(&r->Image, r->Width, r->Height, -1, 0, MEMIMG_FORMAT_CHANNEL8, 0, 0, 0, nullptr);
        } else {
            const int format = MemImgFormatOf(r);
            r->FormatIndex = (format == MEMIMG_FORMAT_RGB565 ? 10 : 12) + (f.AlphaChFlag == 1 ? 1 : 0);
            DWORD key = 0xFFFF;
            if (f.PaletteSource != 1) {
                const COLORFMT* cf = LookupMemImgColorFormat(format, f.AlphaChFlag, 0);
                const DWORD t = DrawState.TransColor;
                key = GetColorValueInFormat(cf, (t >> 16) & 0xFF, (t >> 8) & 0xFF, t & 0xFF, 255);
            }
            made = AllocateMemImg(&r->Image, r->Width, r->Height, -1, key, format, f.PaletteSource, f.AlphaChFlag, 0,
                                  nullptr);
        }
        if (made != 0) {
            WriteLog("メモリイメージの作成に失敗しました\n");
            std::memset(&r->Image, 0, sizeof r->Image);
        } else {
            ok = true;
        }
    } else {
        r->FormatIndex = 9;
        int w = 0;
        int h = 0;
        GetScreenPixelSize(&w, &h);
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = r->Width;
        desc.dwHeight = r->Height;
        const bool system = f.SystemMemory == 1 || r->Width > w || CurrentRendersInSoftware();
        desc.ddsCaps.dwCaps = (system ? DDSCAPS_SYSTEMMEMORY : 0x6000) | DDSCAPS_OFFSCREENPLAIN;
        IDirectDrawSurface7* surface = nullptr;
        if (FAILED(dd->CreateSurface(&desc, &surface, nullptr))) {
            desc.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
            surface = nullptr;
            if (FAILED(dd->CreateSurface(&desc, &surface, nullptr))) surface = nullptr;
        }
        if (surface == nullptr) {
            WriteLog("標準サーフェスの作成に失敗しました\n");
        } else {
            r->Surface = surface;
            DDSCAPS2 caps{};
            surface->GetCaps(&caps);
            f.SystemMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? 0 : 1;
            f.DrawValid = 1;
            ok = true;
        }
    }
    if (!ok) {
        FailObjects(r);
        return -1;
    }
    SetImageSurfaceZBuffer(handle, r->DepthWanted);
    return 0;
}

int SetImageSurfaceZBuffer(int handle, int wanted)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr) return -1;
    if (r->Software == 0 && ScreenState.DirectDraw == nullptr) return -1;
    const bool has = r->Software == 1 ? IsMemImgAlive(&r->DepthImage) != 0 : r->DepthSurface != nullptr;
    if (wanted == r->DepthWanted && has == (wanted == 1)) return 0;
    if (r->Format.DrawValid != 1) return -1;
    if (wanted == 0) {
        if (r->Software == 1) {
            if (IsMemImgAlive(&r->DepthImage)) DropMemImgReference(&r->DepthImage);
        } else if (r->DepthSurface != nullptr) {
            if (r->Surface != nullptr) r->Surface->DeleteAttachedSurface(0, r->DepthSurface);
            r->DepthSurface->Release();
            r->DepthSurface = nullptr;
        }
        r->DepthWanted = 0;
        return 0;
    }
    if (!has) {
        if (r->Software == 1) {
            std::memset(&r->DepthImage, 0, sizeof r->DepthImage);
            if (AllocateDepthMemImg(&r->DepthImage, r->Width, r->Height) != 0) {
                WriteLog("Ｚバッファの作成に失敗しました\n");
                return -1;
            }
        } else {
            DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
            desc.dwWidth = r->Width;
            desc.dwHeight = r->Height;
            desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
            desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
            desc.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
            desc.ddpfPixelFormat.dwZBufferBitDepth = 16;
            desc.ddpfPixelFormat.dwZBitMask = 0xFFFF;
            IDirectDrawSurface7* depth = nullptr;
            if (r->Surface == nullptr || FAILED(ScreenState.DirectDraw->CreateSurface(&desc, &depth, nullptr)) ||
                FAILED(r->Surface->AddAttachedSurface(depth))) {
                if (depth != nullptr) depth->Release();
                WriteLog("Ｚバッファの作成に失敗しました\n");
                return -1;
            }
            r->DepthSurface = depth;
        }
    }
    r->DepthWanted = 1;
    return 0;
}

int ReleaseImageSurfaceObjects(int handle)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr) return -1;
    if (r->Software == 1) {
        if (IsMemImgAlive(&r->DepthImage)) DropMemImgReference(&r->DepthImage);
        if (IsMemImgAlive(&r->Image)) DropMemImgReference(&r->Image);
    }
    if (r->DepthSurface != nullptr) {
        if (r->Surface != nullptr) r->Surface->DeleteAttachedSurface(0, r->DepthSurface);
        r->DepthSurface->Release();
        r->DepthSurface = nullptr;
    }
    if (r->Surface != nullptr) {
        r->Surface->Release();
        r->Surface = nullptr;
    }
    return 0;
}

int DeleteImageSurface(int handle)
{
    if (GetImageSurfaceRecord(handle) == nullptr) return -1;
    ReleaseImageSurfaceObjects(handle);
    return ReleaseHandleRecord(ImageSurfaceTable, handle);
}

int IncImageSurfaceRef(int handle)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr) return -1;
    return ++r->RefCount;
}

int DecImageSurfaceRef(int handle)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr) return -1;
    return --r->RefCount;
}

int SetImageSurfaceColorKey(int handle)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr) return -1;
    if (r->Surface == nullptr) return 0;
    if (r->Format.Texture == 1) {
        // Keys serve textures without alpha only; their value is in the texture's own format.
        const COLORFMT* cf = G_D3D_GetTextureColorFormat(r->FormatIndex);
        if (cf->AlphaWidth != 0) return 0;
        DDCOLORKEY key{};
        key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = GetColorValueInFormat(
            cf, (r->ColorKey >> 16) & 0xFF, (r->ColorKey >> 8) & 0xFF, r->ColorKey & 0xFF, 255);
        if (FAILED(r->Surface->SetColorKey(DDCKEY_SRCBLT, &key))) {
            WriteLog("テクスチャサーフェスのカラーキーの設定に失敗しました\n");
            return -1;
        }
        return 0;
    }
    DDCOLORKEY key{};
    key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = ScreenValueOfKey(r);
    if (FAILED(r->Surface->SetColorKey(DDCKEY_SRCBLT, &key))) {
        WriteLog("標準サーフェスのカラーキーの設定に失敗しました\n");
        return -1;
    }
    return 0;
}

int RestoreImageSurfaceIfLost(int handle)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr) return -1;
    if (r->Surface == nullptr) return 0;
    if (r->Surface->IsLost() == DDERR_SURFACELOST) {
        r->Surface->Restore();
        return -1;
    }
    return 0;
}

int LockImageSurface(int handle, int* pitch, void** pixels, int writeOnly, const RECT* rect,
                     const COLORFMT** format)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr) return -1;
    if (format != nullptr) {
        *format = r->Software == 1 && IsMemImgAlive(&r->Image) ? r->Image.Body->ColorFormat
                                                                : GetScreenColorFormatRecord();
    }
    if (r->LockCount > 0) {
        if (pitch != nullptr && pixels != nullptr) {
            *pitch = r->Pitch;
            *pixels = r->LockPointer;
        }
        ++r->LockCount;
        return -2;
    }
    if (r->Software == 0) {
        if (r->Surface == nullptr) return -1;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        RECT copy{};
        if (rect != nullptr) copy = *rect;
        if (FAILED(r->Surface->Lock(rect != nullptr ? &copy : nullptr, &desc,
                                    DDLOCK_WAIT | (writeOnly == 1 ? DDLOCK_WRITEONLY : 0), nullptr))) {
            WriteLog("グラフィックのロックに失敗しました\n");
            return -1;
        }
        r->LockPointer = desc.lpSurface;
        r->Pitch = desc.lPitch;
    } else {
        if (!IsMemImgAlive(&r->Image)) return -1;
        const MEMIMGBODY* body = r->Image.Body;
        BYTE* p = r->Image.Pixels;
        if (rect != nullptr) p += rect->top * body->Pitch + rect->left * MemImgBytesPerPixel(body);
        r->LockPointer = p;
        r->Pitch = body->Pitch;
    }
    if (pitch != nullptr && pixels != nullptr) {
        *pitch = r->Pitch;
        *pixels = r->LockPointer;
    }
    r->LockCount = 1;
    return 0;
}

int UnlockImageSurface(int handle, RECT* rect)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr || r->LockCount <= 0) return -1;
    if (--r->LockCount == 0 && r->Software == 0 && r->Surface != nullptr) r->Surface->Unlock(rect);
    return 0;
}

int FillImageSurfaceColor(int handle, int red, int green, int blue, int alpha)
{
    IMGSURFREC* r = GetImageSurfaceRecord(handle);
    if (r == nullptr) return -1;
    if (r->Software == 1) {
        // A software image is filled in its own format.
        if (!IsMemImgAlive(&r->Image)) return -1;
        FillMemImgRectRaw(&r->Image, nullptr,
                          GetColorValueInFormat(r->Image.Body->ColorFormat, red, green, blue, alpha));
        return 0;
    }
    if (ScreenState.DirectDraw == nullptr || r->Surface == nullptr) return -1;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = r->Format.Texture == 1
                         ? GetColorValueInFormat(G_D3D_GetTextureColorFormat(r->FormatIndex), red, green, blue, alpha)
                         : ConvertRGBToScreenColor(red, green, blue);
    if (FAILED(r->Surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx))) {
        WriteLog("サーフェスの塗りつぶしに失敗しました\n");
    }
    return 0;
}
