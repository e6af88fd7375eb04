// Sequences the screen layer: start with the one-time fall-back to software
// rendering through GDI, end, back-end switch, mode requests, the per-frame
// flip, clear, draw-target switch with the default camera, and the rebuild
// after a lost display, each of which picks the back-end table's current
// entry. Calls the rest of the screen layer, the graph manager, the 2D
// surfaces, the back-end table, the drawing state and the core.
#include "graphics/d3d/d3ddraw.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/screen.h"

#include "core/input.h"
#include "core/log.h"
#include "core/fatalexit.h"
#include "core/inactivewait.h"
#include "core/sysstate.h"
#include "graphics/backend.h"
#include "graphics/blendtable.h"
#include "graphics/debugconsole.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graph_movie.h"
#include "graphics/mask.h"
#include "graphics/soft/surface2d.h"
#include "platform/kernel/clock.h"
#include "platform/window/window.h"

namespace {

void ReleasePalette()
{
    if (ScreenState.Palette != nullptr) {
        ScreenState.Palette->Release();
        ScreenState.Palette = nullptr;
    }
}

void ReleaseObject()
{
    if (ScreenState.DirectDraw != nullptr) {
        ScreenState.DirectDraw->Release();
        ScreenState.DirectDraw = nullptr;
    }
}

// The start's probe for an overlay format. This layer's DirectDraw has no
// first-version interface, so the probe ends at its first question there.
void ProbeOverlayFormat()
{
    SCREENSTATE& s = ScreenState;
    s.OverlayFormat = -1;
    if (SysState.OSCode == 0x108 || s.DirectDraw == nullptr) return;
    IUnknown* first = nullptr;
    if (FAILED(s.DirectDraw->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&first))) || first == nullptr) {
        return;
    }
    // No first-version interface is implemented by any layer this system
    // runs on; one that answered would be released unused.
    first->Release();
    WriteLog("オーバーレイサーフェスは使用しません\n");
}

void SetDefaultCamera(int width, int height)
{
    DRAWSTATE& d = DrawState;
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    MAT44 world;
    ResetMatrixToIdentity(&world);
    StoreWorldMatrix(&world, 0);
    BuildViewportMatrix(&d.ViewportMatrix, w / 2, h / 2, w, h);
    UpdateCombinedMatrices();
    d.ExtraMatrix = d.ViewportMatrix;
    const float depth = static_cast<float>(height / 2) * 1.7320509f;
    VEC3F eye{w / 2, h / 2, -depth};
    VEC3F at{w / 2, h / 2, -depth + 1.0f};
    VEC3F up{0.0f, 1.0f, 0.0f};
    MAT44 view;
    BuildLookAtView(&view, &eye, &at, &up);
    StoreViewMatrix(&view);
    MAT44 projection;
    BuildPerspectiveProjection(&projection, 1.0471976f, depth * 0.01f, depth + 1000.0f, -1.0f);
    StoreProjectionMatrix(&projection);
}

// The switch itself; `retry` is 0 on the one switch back to the old target.
int SwitchDrawTargetOnce(int target, int retry)
{
    if (IsGraphManagerStarted() == 0) return -1;
    if (SysState.AlwaysRun == 0) WaitWhileInactive();
    const int masked = IsMaskScreenActive();
    if (masked != 0) EnableMaskScreen(0);
    DRAWSTATE& d = DrawState;
    const int old = d.DrawTarget;
    d.DrawTarget = target;

    RECT screenRect{0, 0, 0, 0};
    if (target == DRAWTARGET_FRONT && ScreenState.FrontViaTempPrimary != 1 && SysState.WindowModeFlag == 1 &&
        !(ScreenState.SoftwareRendering == 1 && ScreenState.ColorBits != 8)) {
        screenRect = SysState.WindowClientRect;
    }
    StoreDrawTargetScreenRect(&screenRect);

    const GRAPHICSBACKEND& b = CurrentGraphicsBackend();
    if (b.SetDrawTarget(target, old) != 0) {
        // One attempt to return to the old target; when that fails too the
        // back screen, which always exists, becomes the target.
        d.DrawTarget = old;
        if (retry == 0 || SwitchDrawTargetOnce(old, 0) != 0) {
            d.DrawTarget = DRAWTARGET_BACK;
            b.SetDrawTarget(DRAWTARGET_BACK, DRAWTARGET_BACK);
        }
        if (masked != 0) EnableMaskScreen(1);
        return -1;
    }

    int w = 0;
    int h = 0;
    GetGraphDimensions(target, &w, &h);
    int ow = -1;
    int oh = -1;
    GetGraphDimensions(old, &ow, &oh);
    d.TargetWidth = w;
    d.TargetHeight = h;
    if (ow != w || oh != h) StoreDrawArea(0, 0, w, h);
    SetDefaultCamera(w, h);
    if (masked != 0) EnableMaskScreen(1);
    return 0;
}

} // namespace

int StartScreenSystem(HWND window)
{
    ScreenState.Window = window;
    if (StartDirectDrawScreen() == -1) {
        if (ScreenState.SoftwareRendering == 1) ExitWithFatalError("DirectDraw の初期化に失敗しました");
        WriteLog("ソフトウエアレンダリングモードに変更します\n");
        SwitchRenderingBackend(0);
        if (StartDirectDrawScreen() == -1) ExitWithFatalError("DirectDraw の初期化に失敗しました");
    }
    // The graph manager was started by the rebuild; the flag stays set.
    return 0;
}

int EndScreenSystem()
{
    EndDirectDrawScreen();
    return 0;
}

int StartDirectDrawScreen()
{
    SCREENSTATE& s = ScreenState;
    if (s.DirectDraw != nullptr) return -1;
    WriteLog("DirectDraw 関連の初期化を行います\n");
    IncreaseLogIndent();
    if (s.GdiOnly == 1) {
        EnableGraph3DBackend(0);
        SetNewGraphInVideoMemory(0);
        SwitchRenderingBackend(0);
    }
    if (AcquireDirectDrawObject(&s.DirectDraw) == -1) {
        s.DirectDraw = nullptr;
        ExitWithFatalError("DirectDrawオブジェクトの作成に失敗しました");
    }
    if (s.GdiOnly != 1 && CreateWindowClipper(s.DirectDraw, &s.Clipper, s.Window) == -1) {
        ExitWithFatalError("DirectDrawClipperオブジェクトの作成時にエラーが発生しました");
    }
    if (s.Width == 0) s.Width = 640;
    if (s.Height == 0) s.Height = 480;
    if (s.ColorBits == 0) s.ColorBits = 16;
    s.RequestedColorBits = s.ColorBits;

    if (RebuildScreenForMode(-1, -1, -1, 1, -1) < 0) {
        DecreaseLogIndent();
        EndDirectDrawScreen();
        return -1;
    }
    if (HasWindowRegion() == 0) {
        SwitchDrawTarget(DRAWTARGET_BACK);
        ClearDrawTarget();
        SwitchDrawTarget(DRAWTARGET_FRONT);
    }
    s.ScreenReady = 1;
    ProbeOverlayFormat();
    DecreaseLogIndent();
    WriteLog("DirectDraw 関連の初期化は正常に終了しました\n");
    BuildSoftBlendTables();
    s.DirectDrawStarted = 1;
    return 0;
}

int EndDirectDrawScreen()
{
    SCREENSTATE& s = ScreenState;
    KillTimer(s.Window, FRONT_COPY_TIMER_ID);
    if (s.GdiOnly == 1) {
        WriteLog("DirectDraw 関連の終了処理をおこないます\n");
        IncreaseLogIndent();
        EndGraphManager();
        DeleteAllSurface2D();
        ReleaseOutputSurfaces();
        // A rebuild after a lost screen makes a clipper even in GDI-only use.
        ReleaseScreenClipper();
        WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
        ReleaseObject();
    } else {
        if (s.DirectDraw == nullptr) return 0;
        WriteLog("DirectDraw 関連の終了処理をおこないます\n");
        IncreaseLogIndent();
        ReleasePalette();
        EndGraphManager();
        DeleteAllSurface2D();
        G_D3D_Terminate();
        SelectGraphicsBackend();
        ReleaseOutputSurfaces();
        ReleaseScreenClipper();
        WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
        ReleaseObject();
    }
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    EndFullScreenDisplayMode();
    DecreaseLogIndent();
    WriteLog("DirectDraw 関連の終了処理は正常に終了しました\n");
    s.DirectDrawStarted = 0;
    s.ScreenReady = 0;
    return 0;
}

int SwitchRenderingBackend(int flag)
{
    SCREENSTATE& s = ScreenState;
    if (s.GdiOnly == 1) flag = 0;
    if (flag == 0) {
        EnableGraph3DBackend(0);
        SetNewGraphInVideoMemory(0);
        s.GdiOnly = 1;
    }
    s.SoftwareRendering = flag == 0 ? 1 : 0;
    if (s.DirectDraw != nullptr) {
        const int target = DrawState.DrawTarget;
        DeleteAllGraphHandles(0);
        RebuildScreenForMode(-1, -1, -1, 1, -1);
        if (target == DRAWTARGET_FRONT || target == DRAWTARGET_BACK) SwitchDrawTarget(target);
    }
    return 0;
}

int ApplyScreenMode(int width, int height, int bits, int refresh)
{
    SCREENSTATE& s = ScreenState;
    DeleteAllGraphHandles(0);
    int cw = 0;
    int ch = 0;
    GetScreenPixelSize(&cw, &ch);
    const int cb = s.ColorBits == 0 ? 16 : s.ColorBits;
    if (width == -1) width = cw;
    if (height == -1) height = ch;
    if (bits == -1) bits = cb;
    if (refresh == -1) refresh = s.RefreshRate;
    if (width == 0 || height == 0 || (bits != 8 && bits != 16 && bits != 32)) return -1;
    const int oldRefresh = s.RefreshRate;
    s.RequestedColorBits = bits;
    RebuildScreenForMode(width, height, bits, 0, refresh);
    int nw = 0;
    int nh = 0;
    GetScreenPixelSize(&nw, &nh);
    const int nb = s.ColorBits;
    if (nw == width && nh == height && nb == bits && s.RefreshRate == refresh) return 0;
    if (nw == cw && nh == ch && nb == cb && s.RefreshRate == oldRefresh) return -1;
    if (nw == 640 && nh == 480 && nb == 16 && s.RefreshRate == 0) return -2;
    return -1;
}

int ReadScreenModeInfo(int* width, int* height, int* bits)
{
    GetScreenPixelSize(width, height);
    if (bits != nullptr) *bits = GetRequestedColorBits();
    return 0;
}

int FlipScreenBuffers()
{
    SCREENSTATE& s = ScreenState;
    if (HasScreenLayer() == 0) return -1;
    WaitWhileInactive();
    if (s.SoftwareRendering == 0 && s.GdiSurfaceRequest == 0 && s.GdiOnly == 0 && SysState.WindowModeFlag == 0 &&
        SysState.MenuUse == 0) {
        if (IsDebugConsoleEnabled() == 1) DrawDebugConsole();
        if (DrawState.DrawTarget == DRAWTARGET_FRONT && DrawState.NoVSync == 0) {
            IncrementFlipCounter();
            return WaitVerticalBlanks(1);
        }
        G_D3D_EndCurrentScene();
        if (s.PrimarySurface != nullptr) {
            s.PrimarySurface->Flip(nullptr, DDFLIP_WAIT | (DrawState.NoVSync == 1 ? DDFLIP_NOVSYNC : 0));
        }
        if (DrawState.NoVSync == 0) Sleep(1);
        IncrementFlipCounter();
        return 0;
    }
    return PresentBackScreen(nullptr);
}

int ClearDrawTarget()
{
    SCREENSTATE& s = ScreenState;
    WaitWhileInactive();
    CurrentGraphicsBackend().ClearDrawTarget();
    if (s.SoftwareRendering == 1 && s.ColorBits != 8 && DrawState.DrawTarget == DRAWTARGET_FRONT) {
        int w = 0;
        int h = 0;
        GetScreenPixelSize(&w, &h);
        RECT whole{0, 0, w, h};
        FlushFrontMemImgRect(&whole);
    }
    return 0;
}

int SwitchDrawTarget(int target)
{
    return SwitchDrawTargetOnce(target, 1);
}

int RecreateLostScreen()
{
    SCREENSTATE& s = ScreenState;
    if (SysState.NoWindow != 1) {
        G_D3D_ReleaseDirect3DObject();
        SelectGraphicsBackend();
        ReleaseMaskScreen();
        ReleaseOutputSurfaces();
    }
    // The devices hold the old display's window state; the next read starts them again.
    TerminateInput();
    if (SysState.NoWindow == 1) return 0;
    ReleaseSurface2DBuffers();
    ReleaseScreenClipper();
    if (s.GdiSurfaceRequest == 1) {
        ReapplyDisplayMode();
        RecreateSurface2DBuffers();
        CreateScreenClipper();
    } else {
        ReleaseDirectDrawObject();
        RecreateDirectDrawObject();
    }
    CreateOutputSurfaces();
    RecreateMaskScreen();
    ReapplyScreenPalette();
    SelectSurface2DDrawTarget(DrawState.DrawTarget, DrawState.DrawTarget);
    G_D3D_RecreateDirect3D();
    SelectGraphicsBackend();
    ClearDrawTarget();
    FlipScreenBuffers();
    MarkGraphsLostAndRestore();
    GraphMovieService().ReopenAllStreams();
    UpdateCombinedMatrices();
    return 0;
}

int RecreateDirectDrawObject()
{
    SCREENSTATE& s = ScreenState;
    if (s.DirectDraw != nullptr) return 0;
    if (AcquireDirectDrawObject(&s.DirectDraw) == -1) {
        s.DirectDraw = nullptr;
        ExitWithFatalError("DirectDraw オブジェクトの作成処理時にエラーが発生しました");
    }
    ReapplyDisplayMode();
    RecreateSurface2DBuffers();
    CreateScreenClipper();
    return 0;
}

int ReleaseDirectDrawObject()
{
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放します\n");
    if (HasScreenLayer() == 0) {
        WriteLog("既に解放されています\n");
        return 0;
    }
    ReleaseSurface2DBuffers();
    RestoreDesktopDisplayMode();
    ReleasePalette();
    ReleaseScreenClipper();
    ReleaseObject();
    WriteLog("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました\n");
    return 0;
}

int ReapplyScreenPalette()
{
    SCREENSTATE& s = ScreenState;
    if (GetRequestedColorBits() != 8) return 0;
    PALETTEENTRY saved[256];
    for (int i = 0; i < 256; ++i) saved[i] = s.PaletteEntries[i];
    CreateScreenPalette();
    for (int i = 0; i < 256; ++i) s.PaletteEntries[i] = saved[i];
    if (s.Palette != nullptr) {
        s.Palette->SetEntries(0, 0, 256, s.PaletteEntries);
        s.Palette->GetEntries(0, 0, 256, s.PaletteEntries);
    }
    return 0;
}

int DeleteAllSurface2D()
{
    if (HasScreenLayer() == 0) return -1;
    for (int slot = 0; slot < GetSurface2DHighWater(); ++slot) {
        const int handle = GetSurface2DHandleOfSlot(slot);
        if (handle != -1) DeleteSurface2D(handle);
    }
    return 0;
}
