// Rebuilds the screen layer for a display mode: teardown, cooperative level
// and display mode with their fall-backs, output surfaces and graph manager,
// then the copy-method and frame-time measurements the presents rely on.
// Works on SCREENSTATE; calls platform/ddraw, platform/gdi, the window
// layer, the graph manager, the window-mode code and the clocks.
#include "graphics/screen.h"

#include "core/clock.h"
#include "core/log.h"
#include "core/fatalexit.h"
#include "core/inactivewait.h"
#include "core/sysstate.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/backend.h"
#include "graphics/debugconsole.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/graph.h"
#include "graphics/screen_window.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/clock.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"

namespace {

constexpr DWORD kFpuPreserveBit = 0;  // the FPU-preserve setting is never set

struct ModeValues {
    int width;
    int height;
    int bits;
    int refresh;
};

void StoreMode(const ModeValues& m)
{
    ScreenState.Width = m.width;
    ScreenState.Height = m.height;
    ScreenState.ColorBits = m.bits;
    ScreenState.RefreshRate = m.refresh;
}

bool TrySetDisplayMode(const ModeValues& m, int refresh)
{
    return SUCCEEDED(ScreenState.DirectDraw->SetDisplayMode(m.width, m.height, m.bits, refresh, 0));
}

bool TryChangeDisplaySettings(const ModeValues& m, int refresh, DWORD flags)
{
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = m.bits;
    mode.dmPelsWidth = m.width;
    mode.dmPelsHeight = m.height;
    if (refresh != 0) {
        mode.dmFields |= DM_DISPLAYFREQUENCY;
        mode.dmDisplayFrequency = refresh;
    }
    return ChangeDisplaySettingsA(&mode, flags) == DISP_CHANGE_SUCCESSFUL;
}

int SwitchFirstStart(const ModeValues& requested, const ModeValues& old)
{
    SCREENSTATE& s = ScreenState;
    const int windowed = SysState.WindowModeFlag;
    if (windowed == 0) ApplyModeWindowStyle();
    int dw = 0;
    int dh = 0;
    int db = 0;
    GetDesktopMetrics(&dw, &dh, &db);
    if (dw == 0) dw = 640;
    if (dh == 0) dh = 480;
    auto attempt = [&](const ModeValues& m) {
        return SwitchDisplayMode(s.DirectDraw, dw, dh, m.width, m.height, m.bits, &s.ColorBits, &s.CooperativeFlags,
                                 windowed, &s.DisplayModeChanged, s.Window);
    };
    if (attempt(requested) != -1) return 0;
    StoreMode(old);
    if (windowed == 0) ApplyModeWindowStyle();
    const bool oldDiffers = old.width != requested.width || old.height != requested.height ||
                            old.bits != requested.bits || old.refresh != 0;
    if (oldDiffers && attempt(old) != -1) return -1;
    const ModeValues fallback{640, 480, 16, 0};
    StoreMode(fallback);
    if (windowed == 1) ApplyModeWindowStyle();
    if (attempt(fallback) == -1) ExitWithFatalError("予期せぬ画面モード変更不能現象が起きました\n");
    return -2;
}

int SwitchRestartDirectDraw(const ModeValues& requested, const ModeValues& old)
{
    SCREENSTATE& s = ScreenState;
    const DWORD multi = s.MultiThreadRequest == 1 ? DDSCL_MULTITHREADED : 0;
    int result = 0;
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    s.CooperativeFlags = DDSCL_NORMAL;
    if (s.DirectDraw != nullptr) {
        s.DirectDraw->SetCooperativeLevel(s.Window, DDSCL_NORMAL | kFpuPreserveBit);
        s.DirectDraw->Release();
        s.DirectDraw = nullptr;
    }
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    // Everything below needs the object: a failed re-acquisition is fatal.
    if (AcquireDirectDrawObject(&s.DirectDraw) == -1) {
        s.DirectDraw = nullptr;
        ExitWithFatalError("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
    }
    if (SysState.WindowModeFlag == 1) {
        s.CooperativeFlags = DDSCL_NORMAL | multi;
        if (FAILED(s.DirectDraw->SetCooperativeLevel(s.Window, s.CooperativeFlags | kFpuPreserveBit))) {
            ExitWithFatalError("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
        }
    } else {
        s.CooperativeFlags = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | multi;
        const HRESULT hr = s.DirectDraw->SetCooperativeLevel(s.Window, s.CooperativeFlags | kFpuPreserveBit);
        if (FAILED(hr) && hr != DDERR_EXCLUSIVEMODEALREADYSET && hr != DDERR_HWNDALREADYSET &&
            hr != DDERR_HWNDSUBCLASSED) {
            ExitWithFatalError("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
        }
    }
    s.DisplayModeChanged = 0;
    if (SysState.WindowModeFlag == 0) {
        WriteLog("画面解像度を変更します... ");
        if (!TrySetDisplayMode(requested, requested.refresh)) {
            s.RefreshRate = 0;
            if (!TrySetDisplayMode(requested, 0)) {
                StoreMode(old);
                if (!TrySetDisplayMode(old, 0)) {
                    result = -2;
                    const ModeValues fallback{640, 480, 16, 0};
                    StoreMode(fallback);
                    if (!TrySetDisplayMode(fallback, 0)) {
                        ExitWithFatalError("予期せぬ画面モード変更不能現象が起きました2\n");
                    }
                }
            }
        }
        s.DisplayModeChanged = 1;
        WriteLog("成功しました\n");
    }
    return result;
}

int SwitchRestartGdi(const ModeValues& requested, const ModeValues& old)
{
    SCREENSTATE& s = ScreenState;
    s.DisplayModeChanged = 0;
    if (SysState.WindowModeFlag == 1) {
        ChangeDisplaySettingsA(nullptr, 0);
        return 0;
    }
    int result = 0;
    if (!TryChangeDisplaySettings(requested, requested.refresh, CDS_FULLSCREEN)) {
        s.RefreshRate = 0;
        if (!TryChangeDisplaySettings(requested, 0, 0)) {
            StoreMode(old);
            if (!TryChangeDisplaySettings(old, old.refresh, 0)) {
                result = -2;
                const ModeValues fallback{640, 480, 16, 0};
                StoreMode(fallback);
                if (!TryChangeDisplaySettings(fallback, 0, 0)) {
                    ExitWithFatalError("予期せぬ画面モード変更不能現象が起きました2\n");
                }
            }
        }
    }
    s.DisplayModeChanged = 1;
    WriteLog("成功しました\n");
    return result;
}

void MeasureCopyMethod()
{
    SCREENSTATE& s = ScreenState;
    IDirectDrawSurface7* source = s.FrontViaTempPrimary == 1 ? s.TempPrimarySurface : s.PrimarySurface;
    if (source == nullptr || s.WorkSurface1 == nullptr) return;
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    RECT rect{0, 0, w / 2, h / 2};
    ULONGLONG start = GetMicrosecondClock(0);
    for (int i = 0; i < 2; ++i) s.WorkSurface1->BltFast(0, 0, source, &rect, 0);
    const ULONGLONG bltFast = GetMicrosecondClock(0) - start;

    HDC workDc = nullptr;
    HDC sourceDc = nullptr;
    s.WorkSurface1->GetDC(&workDc);
    source->GetDC(&sourceDc);
    start = GetMicrosecondClock(0);
    for (int i = 0; i < 2; ++i) BitBlt(workDc, 0, 0, w / 2, h / 2, sourceDc, 0, 0, SRCCOPY);
    const ULONGLONG bitBlt = GetMicrosecondClock(0) - start;
    if (sourceDc != nullptr) source->ReleaseDC(sourceDc);
    if (workDc != nullptr) s.WorkSurface1->ReleaseDC(workDc);

    s.CopyMethod = bitBlt <= bltFast ? 1 : 0;
    WriteLogFormat("サーフェス間転送には %s を使用します", s.CopyMethod == 1 ? "BitBlt" : "BltFast");
    WriteLogFormat("BitBlt:%.0lfμs   BltFast:%.0lfμs", static_cast<double>(bitBlt), static_cast<double>(bltFast));
}

bool InVerticalBlank()
{
    BOOL in = FALSE;
    ScreenState.DirectDraw->GetVerticalBlankStatus(&in);
    return in != FALSE;
}

DWORD ScanLine()
{
    DWORD line = 0;
    ScreenState.DirectDraw->GetScanLine(&line);
    return line;
}

void WaitBlankBegin()
{
    const DWORD a = ScanLine();
    while (!InVerticalBlank() && ScanLine() >= a) {
    }
}

void WaitBlankEnd()
{
    while (InVerticalBlank()) {
    }
}

void MeasureFrameTime()
{
    SCREENSTATE& s = ScreenState;
    const int trialsPerPass = s.MeasuredRefresh != -1 ? 4 : 20;
    s.ScanLineCount = GetSystemMetrics(SM_CYSCREEN);
    WriteLogFormat("スキャンラインの数:%d\n", s.ScanLineCount);
    for (int i = 0; i < 3; ++i) {
        WaitBlankBegin();
        WaitBlankEnd();
    }
    WaitBlankBegin();
    int trials[20] = {};
    ULONGLONG totalMicroseconds = 0;
    int trialCount = 0;
    for (int pass = 1; pass <= 5; ++pass) {
        for (int i = 0; i < trialsPerPass; ++i) {
            const DWORD ms = timeGetTime();
            const ULONGLONG us = GetMicrosecondClock(0);
            WaitBlankEnd();
            WaitBlankBegin();
            trials[i] = static_cast<int>(timeGetTime() - ms);
            totalMicroseconds += GetMicrosecondClock(0) - us;
        }
        trialCount += trialsPerPass;
        if (pass == 5) break;
        s.FrameTime = FindRepeatedFrameTime(trials, trialsPerPass);
        if (s.MeasuredRefresh == -1) s.MeasuredRefresh = EstimateRefreshRate(totalMicroseconds, trialCount);
        if (s.FrameTime != -1) break;
    }
    if (s.FrameTime != -1) {
        WriteLogFormat("１フレーム当たりの時間は %d msecです", s.FrameTime);
    } else {
        WriteLog("１フレームの時間を正常に取得できませんでした\n");
    }
    for (int i = 0; i < trialsPerPass; ++i) WriteLogFormat("\tTri%02d:%d msec", i, trials[i]);
    s.VSyncWaitLimit = s.FrameTime == -1 ? -1 : (2 * s.FrameTime - 4) / 3;
}

} // namespace

int FindRepeatedFrameTime(const int* trials, int count)
{
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            if (trials[i] == trials[j]) return trials[i];
        }
    }
    return -1;
}

int EstimateRefreshRate(ULONGLONG totalMicroseconds, int trialCount)
{
    if (trialCount <= 0) return -1;
    const ULONGLONG average = totalMicroseconds / static_cast<ULONGLONG>(trialCount);
    // A beam that answers within a microsecond gives no usable rate.
    if (average == 0) return -1;
    const ULONGLONG x = 10000000ull / average;
    return static_cast<int>(x / 10 + (x % 10 > 5 ? 1 : 0));
}

DWORD ModeChangeThrottleSleep(DWORD previous, DWORD now)
{
    const int elapsed = static_cast<int>(now - previous);
    if (elapsed >= 2000) return 60;
    // A clock that went backwards counts as a change just made.
    if (elapsed < 0) return 2060;
    return static_cast<DWORD>(2060 - elapsed);
}

int RebuildScreenForMode(int width, int height, int bits, int force, int refresh)
{
    SCREENSTATE& s = ScreenState;
    int cw = 0;
    int ch = 0;
    GetScreenPixelSize(&cw, &ch);
    const ModeValues old{cw, ch, s.ColorBits, s.RefreshRate};
    ModeValues requested{width == -1 ? cw : width, height == -1 ? ch : height, bits == -1 ? s.ColorBits : bits,
                         refresh == -1 ? s.RefreshRate : refresh};
    if (force == 0 && requested.width == old.width && requested.height == old.height && requested.bits == old.bits &&
        requested.refresh == old.refresh) {
        return 0;
    }
    WriteLog("画面モード変更処理を開始します\n");
    IncreaseLogIndent();
    char defaultFace[FONT_FACE_SIZE] = {};
    int defaultSize = -1;
    int defaultThickness = -1;
    const bool defaultLive = GetFontFaceSizeThick(defaultFace, &defaultSize, &defaultThickness,
                                                  QueryDefaultFontHandle()) == 0;
    StoreMode(requested);
    if ((SysState.InitializeFlag == 0 && SysState.StartupFlag == 0) || HasScreenLayer() == 0) {
        DecreaseLogIndent();
        return 0;
    }
    s.GdiSurfaceState = -1;
    const bool restart = s.DirectDrawStarted == 1;
    const DWORD transColor = DrawState.TransColor;

    const DWORD now = timeGetTime();
    Sleep(ModeChangeThrottleSleep(s.LastModeChangeTime, now));
    s.LastModeChangeTime = timeGetTime();

    DeleteAllGraphHandles(0);
    EndGraphManager();
    G_D3D_Terminate();
    SelectGraphicsBackend();
    if (s.Palette != nullptr) {
        s.Palette->Release();
        s.Palette = nullptr;
    }
    ReleaseOutputSurfaces();

    int result = 0;
    if (!restart) {
        result = SwitchFirstStart(requested, old);
    } else {
        DeleteAllSurface2D();
        result = s.GdiOnly == 1 ? SwitchRestartGdi(requested, old) : SwitchRestartDirectDraw(requested, old);
    }

    ReadScreenColorInfo();
    if (SysState.WindowModeFlag == 1 || s.GdiOnly == 1) ApplyModeWindowStyle();
    if (CreateOutputSurfaces() < 0) {
        WriteLog("DirectDrawSurface の初期化に失敗しました\n");
        DecreaseLogIndent();
        return -1;
    }
    if (s.GdiOnly != 1 && s.SoftwareStartRequest != 1 && s.SoftwareRendering != 1) {
        // Without the library's Direct3D choice the object answers no Direct3D at all.
        if (GetDirect3DWanted() == 1) {
            InstallSoftwareDirect3D(1);
        } else {
            RemoveSoftwareDirect3D();
        }
        const int started = G_D3D_Initialize();
        SelectGraphicsBackend();
        if (started < 0) {
            ReleaseOutputSurfaces();
            DecreaseLogIndent();
            return -1;
        }
    }
    StartGraphManager();
    if (defaultLive) SetDefaultFontSizeThick(defaultFace, defaultSize, defaultThickness);
    SetupDebugConsole();
    CreateScreenPalette();

    if (!(s.SoftwareRendering == 1 && s.ColorBits > 8) && s.GdiOnly != 1) MeasureCopyMethod();

    s.MeasuredRefresh = -1;
    if (SysState.OSCode >= 0x104) {
        HDC dc = GetDC(SysState.MainWindow);
        s.MeasuredRefresh = GetDeviceCaps(dc, VREFRESH);
        ReleaseDC(SysState.MainWindow, dc);
        if (s.MeasuredRefresh < 60) s.MeasuredRefresh = -1;
    }
    s.FrameTime = -1;
    if (s.GdiOnly != 1 && s.DirectDraw != nullptr) {
        MeasureFrameTime();
    } else {
        s.MeasuredRefresh = 60;
        s.VSyncWaitLimit = -1;
        s.FrameTime = -1;
    }

    if (restart) DrawState.TransColor = transColor;
    WriteLog("画面モード変更処理は正常に終了しました\n");
    DecreaseLogIndent();
    PumpMessageLoop();
    ResetFlipCounter();
    return result;
}
