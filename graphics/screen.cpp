// Owns SCREENSTATE: the DirectDraw object and its report, the clipper, the
// screen's pixel format, cooperative level and display mode, and the
// accessors. Calls platform/ddraw, platform/gdi, platform/com, the window
// layer and the log; surfaces live in screen_surfaces.cpp.
#include "graphics/screen.h"

#include "core/log.h"
#include "core/fatalexit.h"
#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "platform/com/com.h"
#include "platform/gdi/gdi.h"
#include "platform/window/keyboard.h"

#include <cstdio>
#include <cstring>

SCREENSTATE ScreenState;

namespace {

// The FPU-preserve setting of the system block; this system never sets it.
constexpr DWORD kFpuPreserveBit = 0;

DWORD NormalCooperativeFlags()
{
    return DDSCL_NORMAL | kFpuPreserveBit;
}

// The overlay candidates the start's probe tries, in order.
DDPIXELFORMAT MakeOverlayFormat(int index)
{
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    switch (index) {
    case 0:
        pf.dwFlags = DDPF_FOURCC;
        pf.dwFourCC = 0x59565955;  // UYVY
        break;
    case 1:
        pf.dwFlags = DDPF_FOURCC;
        pf.dwFourCC = 0x32595559;  // YUY2
        break;
    case 2:
        pf.dwFlags = DDPF_RGB;
        pf.dwRGBBitCount = 16;
        pf.dwRBitMask = 0x7C00;
        pf.dwGBitMask = 0x3E0;
        pf.dwBBitMask = 0x1F;
        break;
    default:
        pf.dwFlags = DDPF_RGB;
        pf.dwRGBBitCount = 16;
        pf.dwRBitMask = 0xF800;
        pf.dwGBitMask = 0x7E0;
        pf.dwBBitMask = 0x1F;
        break;
    }
    return pf;
}

DDPIXELFORMAT g_overlayFormats[4] = {MakeOverlayFormat(0), MakeOverlayFormat(1), MakeOverlayFormat(2),
                                     MakeOverlayFormat(3)};

} // namespace

int HasScreenLayer()
{
    return (ScreenState.GdiOnly == 1 || ScreenState.DirectDraw != nullptr) ? 1 : 0;
}

int AcquireDirectDrawObject(IDirectDraw7** out)
{
    SCREENSTATE& s = ScreenState;
    WriteLog("DirectDraw オブジェクトの取得を行います....  ");
    IDirectDraw7* dd = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectDraw7, nullptr, 7, IID_IDirectDraw7, reinterpret_cast<void**>(&dd))) ||
        dd == nullptr) {
        return WriteLog("オブジェクトの取得に失敗しました\n");
    }
    WriteLog("成功\n");
    WriteLog("引き続き初期化処理... ");
    if (FAILED(dd->Initialize(nullptr))) {
        WriteLog("DirectDrawオブジェクトの初期化に失敗しました\n");
        dd->Release();
        return -1;
    }
    WriteLog("初期化に成功しました\n");
    WriteLog("ビデオカードの情報\n");
    IncreaseLogIndent();
    // Asking the driver is slow on some systems, so only a start with Shift held does.
    if (GetKeyState(static_cast<int>(VK_SHIFT)) < 0) {
        DDDEVICEIDENTIFIER2 id{};
        dd->GetDeviceIdentifier(&id, 0);
        const auto high = static_cast<DWORD>(static_cast<unsigned long long>(id.liDriverVersion.QuadPart) >> 32);
        const auto low = static_cast<DWORD>(id.liDriverVersion.QuadPart);
        WriteLogFormat("ビデオカードドライバ:%s バージョン:%u.%u.%u.%u ", id.szDriver, high >> 16, high & 0xFFFF,
                       low >> 16, low & 0xFFFF);
        WriteLogFormat("ドライバ記述:%s \n", id.szDescription);
        std::snprintf(s.VideoDriver, sizeof s.VideoDriver, "%s", id.szDriver);
        std::snprintf(s.VideoDescription, sizeof s.VideoDescription, "%s", id.szDescription);
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_VIDEOMEMORY;
        DWORD total = 0, available = 0;
        dd->GetAvailableVidMem(&caps, &total, &available);
        WriteLogFormat("ビデオメモリ総量:%.2fMB ビデオメモリ空き容量:%.2fMB", total / 1048576.0, available / 1048576.0);
        s.VideoMemoryFree = available;
        s.VideoMemoryTotal = total;
    } else {
        s.VideoDriver[0] = '\0';
        s.VideoDescription[0] = '\0';
        s.VideoMemoryFree = 0;
        s.VideoMemoryTotal = 16777216;
    }
    DecreaseLogIndent();
    dd->SetCooperativeLevel(SysState.MainWindow, NormalCooperativeFlags());
    *out = dd;
    return 0;
}

int CreateWindowClipper(IDirectDraw7* dd, IDirectDrawClipper** out, HWND window)
{
    *out = nullptr;
    IDirectDrawClipper* clipper = nullptr;
    if (dd == nullptr || FAILED(dd->CreateClipper(0, &clipper, nullptr)) || FAILED(clipper->SetHWnd(0, window))) {
        if (clipper != nullptr) clipper->Release();
        return WriteLog("ＤｉｒｅｃｔＤｒａｗＣｌｉｐｐｅｒオブジェクトの作成に失敗しました\n");
    }
    *out = clipper;
    return 0;
}

int CreateScreenClipper()
{
    SCREENSTATE& s = ScreenState;
    if (s.DirectDraw == nullptr) return 0;
    if (CreateWindowClipper(s.DirectDraw, &s.Clipper, s.Window) == -1) {
        ExitWithFatalError("クリッパーオブジェクトの作成失敗しました");
    }
    return 0;
}

int ReleaseScreenClipper()
{
    if (ScreenState.Clipper != nullptr) {
        ScreenState.Clipper->Release();
        ScreenState.Clipper = nullptr;
    }
    return 0;
}

int ReadScreenColorInfo()
{
    SCREENSTATE& s = ScreenState;
    if (s.GdiOnly == 1) {
        if (s.ColorBits != 16 && s.ColorBits != 32) s.ColorBits = 16;
        const int format = s.ColorBits == 16 ? MEMIMG_FORMAT_RGB565 : MEMIMG_FORMAT_XRGB8888;
        s.ColorFormat = *LookupMemImgColorFormat(format, 0, 0);
        s.PixelFormat = *LookupMemImgDDPixelFormat(format, 0, 0);
        s.FormatKind = s.ColorBits == 16 ? 0 : 2;
        return 0;
    }
    if (s.DirectDraw == nullptr) return 0;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    s.DirectDraw->GetDisplayMode(&desc);
    s.PixelFormat = desc.ddpfPixelFormat;
    SetColorFormatFromDDPixelFormat(&s.PixelFormat, &s.ColorFormat);
    WriteLog("カラー情報\n");
    IncreaseLogIndent();
    WriteLogFormat("ALPHA:%08x RED:%08x GREEN:%08x BLUE:%08x", s.ColorFormat.AlphaMask, s.ColorFormat.RedMask,
                   s.ColorFormat.GreenMask, s.ColorFormat.BlueMask);
    DecreaseLogIndent();
    s.ColorBits = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount);
    const DWORD r = s.ColorFormat.RedMask;
    const DWORD g = s.ColorFormat.GreenMask;
    const DWORD b = s.ColorFormat.BlueMask;
    if (r == 0xF800 && g == 0x7E0 && b == 0x1F) {
        s.FormatKind = 0;
    } else if (r == 0x7C00 && g == 0x3E0 && b == 0x1F) {
        s.FormatKind = 1;
    } else if (r == 0xFF0000 && g == 0xFF00 && b == 0xFF) {
        s.FormatKind = 2;
    } else {
        s.FormatKind = 3;
    }
    return 0;
}

int SwitchDisplayMode(IDirectDraw7* dd, int desktopWidth, int desktopHeight, int width, int height, int bits,
                      int* outBits, DWORD* outCooperativeFlags, int windowed, int* modeChanged, HWND window)
{
    SCREENSTATE& s = ScreenState;
    const DWORD multi = s.MultiThreadRequest == 1 ? DDSCL_MULTITHREADED : 0;
    WriteLogFormat("画面モードの変更処理を開始します %u x %u  %u bit ", static_cast<unsigned>(width),
                   static_cast<unsigned>(height), static_cast<unsigned>(bits));
    IncreaseLogIndent();
    if (s.MultiThreadRequest == 1) WriteLog("協調レベルはマルチスレッド対応にします\n");

    if (windowed == 1) {
        WriteLog("ウインドウモードにします\n");
        if (width > desktopWidth || height > desktopHeight) {
            ExitWithFatalError("デスクトップ画面のサイズが足りません、ソフトを終了します");
        }
        if (*modeChanged == 1) {
            WriteLog("フルスクリーンモードから抜けます\n");
            if (s.GdiOnly == 1) {
                ChangeDisplaySettingsA(nullptr, 0);
            } else if (dd != nullptr) {
                dd->RestoreDisplayMode();
            }
            *modeChanged = 0;
        }
        HDC dc = GetDC(nullptr);
        const int desktopBits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
        ReleaseDC(nullptr, dc);
        if (desktopBits == 24) {
            DecreaseLogIndent();
            return -1;
        }
        if (outBits != nullptr) *outBits = desktopBits;
        if (s.GdiOnly != 1) {
            if (dd == nullptr || FAILED(dd->SetCooperativeLevel(window, NormalCooperativeFlags() | multi))) {
                ExitWithFatalError("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
            }
        }
        if (outCooperativeFlags != nullptr) *outCooperativeFlags = DDSCL_NORMAL | multi;
        WriteLog("画面モードの変更は正常に終了しました \n");
        DecreaseLogIndent();
        return 0;
    }

    if (bits == 24) {
        DecreaseLogIndent();
        return -1;
    }
    WriteLog("画面解像度を変更します... ");
    if (s.GdiOnly != 1) {
        HRESULT hr = dd != nullptr ? dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN |
                                                                          kFpuPreserveBit | multi)
                                   : DDERR_INVALIDOBJECT;
        if (FAILED(hr) && hr != DDERR_EXCLUSIVEMODEALREADYSET && hr != DDERR_HWNDALREADYSET &&
            hr != DDERR_HWNDSUBCLASSED) {
            ExitWithFatalError("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
        }
        if (outCooperativeFlags != nullptr) *outCooperativeFlags = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | multi;
    }
    bool ok;
    if (s.GdiOnly != 1) {
        ok = SUCCEEDED(dd->SetDisplayMode(width, height, bits, s.RefreshRate, 0));
        if (!ok) {
            s.RefreshRate = 0;
            ok = SUCCEEDED(dd->SetDisplayMode(width, height, bits, 0, 0));
        }
    } else {
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        mode.dmBitsPerPel = bits;
        mode.dmPelsWidth = width;
        mode.dmPelsHeight = height;
        if (s.RefreshRate != 0) {
            mode.dmFields |= DM_DISPLAYFREQUENCY;
            mode.dmDisplayFrequency = s.RefreshRate;
        }
        ok = ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
        if (!ok) {
            s.RefreshRate = 0;
            mode.dmFields &= ~DM_DISPLAYFREQUENCY;
            mode.dmDisplayFrequency = 0;
            ok = ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
        }
    }
    if (!ok) {
        WriteLog("画面モードの変更に失敗しました\n");
        DecreaseLogIndent();
        return -1;
    }
    if (outBits != nullptr) *outBits = bits;
    *modeChanged = 1;
    WriteLog("成功しました\n");
    WriteLog("画面モードの変更は正常に終了しました \n");
    DecreaseLogIndent();
    return 0;
}

int EndFullScreenDisplayMode()
{
    SCREENSTATE& s = ScreenState;
    if (s.GdiOnly == 1) {
        ChangeDisplaySettingsA(nullptr, 0);
    } else {
        if (s.DirectDraw == nullptr) return -1;
        if (s.CooperativeFlags & DDSCL_EXCLUSIVE) {
            s.DirectDraw->SetCooperativeLevel(s.Window, NormalCooperativeFlags());
            s.DirectDraw->RestoreDisplayMode();
        }
        s.DisplayModeChanged = 0;
    }
    WriteLog("画面モードを元に戻す処理は正常に終了しました\n");
    return 0;
}

int RestoreDesktopDisplayMode()
{
    SCREENSTATE& s = ScreenState;
    if (SysState.WindowModeFlag == 1 || s.DisplayModeChanged != 1) return 0;
    if (s.GdiOnly == 1) {
        ChangeDisplaySettingsA(nullptr, 0);
    } else if (s.DirectDraw != nullptr) {
        s.DirectDraw->SetCooperativeLevel(s.Window, NormalCooperativeFlags());
        s.DirectDraw->RestoreDisplayMode();
        s.DisplayModeChanged = 0;
    }
    return 0;
}

int ReapplyDisplayMode()
{
    SCREENSTATE& s = ScreenState;
    int dw = 0;
    int dh = 0;
    int db = 0;
    GetDesktopMetrics(&dw, &dh, &db);
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    SwitchDisplayMode(s.DirectDraw, dw, dh, w, h, s.ColorBits, nullptr, &s.CooperativeFlags, SysState.WindowModeFlag,
                      &s.DisplayModeChanged, s.Window);
    return 0;
}

int StoreSoftwareStartRequest(int flag)
{
    ScreenState.SoftwareStartRequest = ScreenState.GdiOnly == 1 ? 1 : flag;
    return 0;
}

void RequestSoftwareStartBeforeScreen(int software)
{
    if (ScreenState.DirectDraw == nullptr) ScreenState.SoftwareStartRequest = software;
}

int SetFrontViaTempPrimary(int flag)
{
    if (ScreenState.DirectDraw == nullptr) ScreenState.FrontViaTempPrimary = flag;
    return 0;
}

int GetScreenPixelSize(int* width, int* height)
{
    if (width != nullptr) *width = ScreenState.Width == 0 ? 640 : ScreenState.Width;
    if (height != nullptr) *height = ScreenState.Height == 0 ? 480 : ScreenState.Height;
    return 0;
}

IDirectDrawSurface7* GetCurrentDrawSurface()
{
    return ScreenState.DrawSurface;
}

IDirectDrawSurface7* GetFrontScreenSurface()
{
    return ScreenState.FrontViaTempPrimary == 1 ? ScreenState.TempPrimarySurface : ScreenState.PrimarySurface;
}

IDirectDrawSurface7* GetBackScreenSurface()
{
    return ScreenState.BackSurface;
}

IDirectDrawSurface7* GetWorkSurface()
{
    return ScreenState.WorkSurface1;
}

int GetFrontScreenRect(RECT* out)
{
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    *out = RECT{0, 0, w, h};
    if (ScreenState.FrontViaTempPrimary != 1) {
        const RECT& c = SysState.WindowClientRect;
        out->left += c.left;
        out->right += c.left;
        out->top += c.top;
        out->bottom += c.top;
    }
    return 0;
}

int IsDrawingToWindowPrimary()
{
    return (SysState.WindowModeFlag == 1 && ScreenState.DrawSurface != nullptr &&
            ScreenState.DrawSurface == ScreenState.PrimarySurface)
               ? 1
               : 0;
}

IDirectDraw7* GetDirectDrawInterface()
{
    return ScreenState.DirectDraw;
}

int IsDirectDrawInUse()
{
    return ScreenState.GdiOnly == 1 ? 0 : 1;
}

int GetRequestedColorBits()
{
    return ScreenState.RequestedColorBits == 0 ? 16 : ScreenState.RequestedColorBits;
}

int IsDisplayModeChanged()
{
    return ScreenState.DisplayModeChanged;
}

const COLORFMT* GetScreenColorFormatRecord()
{
    return &ScreenState.ColorFormat;
}

const DDPIXELFORMAT* GetScreenDDPixelFormat()
{
    return &ScreenState.PixelFormat;
}

const DDPIXELFORMAT* GetOverlayPixelFormat()
{
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    const int index = ScreenState.OverlayFormat;
    if (w < 640 || h < 400 || index < 0 || index > 3) return nullptr;
    return &g_overlayFormats[index];
}

int IsGDISurfaceShown()
{
    return ScreenState.GdiSurfaceRequest;
}

int GetSoftwareStartRequest()
{
    return ScreenState.SoftwareStartRequest;
}
