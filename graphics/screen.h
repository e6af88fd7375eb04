// SCREENSTATE and the screen layer: the DirectDraw object, display modes,
// output surfaces or their software images, the presents with their
// vertical-blank pacing, the mode rebuild with its measurements, and the
// screen control that sequences them. Calls platform/ddraw, platform/gdi,
// the window layer, the MEMIMG layer and the drawing state.
#pragma once

#include "graphics/image/colorfmt.h"
#include "graphics/memimg.h"
#include "platform/ddraw/ddraw.h"
#include "platform/kernel/types.h"

// Window timer that copies the temporary primary into the window.
constexpr std::uintptr_t FRONT_COPY_TIMER_ID = 32767;

struct SCREENSTATE {
    // DirectDraw objects
    IDirectDraw7* DirectDraw;
    IDirectDrawClipper* Clipper;
    IDirectDrawPalette* Palette;
    DDCAPS HardwareCaps;
    PALETTEENTRY PaletteEntries[256];

    // format and mode
    COLORFMT ColorFormat;
    DDPIXELFORMAT PixelFormat;
    int FormatKind;  // 0 RGB 5:6:5, 1 RGB 5:5:5, 2 XRGB 8:8:8:8, 3 other
    int ColorBits;   // 0 until set
    int RefreshRate;  // 0: the driver's default
    int Width;        // 0 until set; readers use 640 x 480 then
    int Height;
    int RequestedColorBits;  // readers use 16 while 0
    DWORD CooperativeFlags;
    int OverlayFormat;  // -1 none
    int DisplayModeChanged;

    // output surfaces and their software images
    IDirectDrawSurface7* PrimarySurface;
    IDirectDrawSurface7* BackSurface;
    IDirectDrawSurface7* TempPrimarySurface;
    IDirectDrawSurface7* Temp320Surface;
    IDirectDrawSurface7* WorkSurface1;
    IDirectDrawSurface7* WorkSurface2;
    IDirectDrawSurface7* DepthSurface;
    MEMIMG FrontImage;
    MEMIMG BackImage;
    MEMIMG DepthImage;
    int SoftwareSurfaces;
    int FrontImageStale;
    IDirectDrawSurface7* DrawSurface;
    MEMIMG* DrawImage;
    MEMIMG* DrawDepthImage;
    int DrawOffsetX;
    int DrawOffsetY;

    // modes and switches
    int FrontViaTempPrimary;
    int SoftwareStartRequest;
    int SoftwareRendering;
    int GdiOnly;
    int GdiSurfaceRequest;
    int GdiSurfaceState;  // -1 forces the next request to apply
    int ScreenReady;
    int CopyMethod;  // 1 GDI BitBlt, 0 BltFast
    int MultiThreadRequest;
    int DirectDrawStarted;

    // frame timing
    DWORD LastVSyncTime;
    int FrameTime;       // ms, -1 not measured
    int MeasuredRefresh;  // Hz, -1 none
    int VSyncWaitLimit;   // ms, -1 none
    DWORD LastModeChangeTime;
    int ScanLineCount;

    HWND Window;

    // the video-card report
    DWORD VideoMemoryTotal;
    DWORD VideoMemoryFree;
    char VideoDriver[512];
    char VideoDescription[512];
};

extern SCREENSTATE ScreenState;

// 1 when the screen layer exists (GDI only, or a DirectDraw object).
int HasScreenLayer();

// Object and mode
int AcquireDirectDrawObject(IDirectDraw7** out);
int CreateWindowClipper(IDirectDraw7* dd, IDirectDrawClipper** out, HWND window);
int CreateScreenClipper();
int ReleaseScreenClipper();
int ReadScreenColorInfo();
int SwitchDisplayMode(IDirectDraw7* dd, int desktopWidth, int desktopHeight, int width, int height, int bits,
                      int* outBits, DWORD* outCooperativeFlags, int windowed, int* modeChanged, HWND window);
int EndFullScreenDisplayMode();
int RestoreDesktopDisplayMode();
int ReapplyDisplayMode();

// Surfaces
int CreateOutputSurfaces();
int ReleaseOutputSurfaces();
int RestoreLostOutputSurfaces();
int ReleaseSurface2DBuffers();
int RecreateSurface2DBuffers();
int CreateScreenPalette();
int CopySurfaceRect(IDirectDrawSurface7* dst, IDirectDrawSurface7* src, int x, int y, const RECT* srcRect, int method);
int CopyPrimaryToTempPrimary();
int CopyTempPrimaryToPrimary();
void FrontCopyTimerProc(HWND window, UINT message, std::uintptr_t id, DWORD time);
int FlushFrontMemImgRect(const RECT* rect);
int RefreshFrontMemImg();
int ShowGDISurface(int flag);
int StoreSoftwareStartRequest(int flag);
// While no screen exists yet, sets the request the next start reads; a
// started screen keeps its renderer.
void RequestSoftwareStartBeforeScreen(int software);
int SetFrontViaTempPrimary(int flag);

// Accessors
int GetScreenPixelSize(int* width, int* height);
IDirectDrawSurface7* GetCurrentDrawSurface();
IDirectDrawSurface7* GetFrontScreenSurface();
IDirectDrawSurface7* GetBackScreenSurface();
IDirectDrawSurface7* GetWorkSurface();
int GetFrontScreenRect(RECT* out);
int IsDrawingToWindowPrimary();
IDirectDraw7* GetDirectDrawInterface();
int IsDirectDrawInUse();
int GetRequestedColorBits();
int IsDisplayModeChanged();
const COLORFMT* GetScreenColorFormatRecord();
const DDPIXELFORMAT* GetScreenDDPixelFormat();
const DDPIXELFORMAT* GetOverlayPixelFormat();
int IsGDISurfaceShown();
int GetSoftwareStartRequest();

// Screen control
int StartScreenSystem(HWND window);
int EndScreenSystem();
int StartDirectDrawScreen();
int EndDirectDrawScreen();
int SwitchRenderingBackend(int flag);
int ApplyScreenMode(int width, int height, int bits, int refresh);
int ReadScreenModeInfo(int* width, int* height, int* bits);
int FlipScreenBuffers();
int ClearDrawTarget();
int SwitchDrawTarget(int target);
int RecreateLostScreen();
int RecreateDirectDrawObject();
int ReleaseDirectDrawObject();
int ReapplyScreenPalette();
int DeleteAllSurface2D();

// Present and vertical blank
int PresentBackScreen(const RECT* area);
int WaitVerticalBlanks(int count);
DWORD WaitVerticalBlankPaced();

// Display mode change and frame timing
int RebuildScreenForMode(int width, int height, int bits, int force, int refresh);

// The pieces of the frame measurement, kept apart so their rules can be
// checked on their own: the frame time of one pass of trials (-1 when no
// trial repeats later in the pass), the refresh rate from the average
// microseconds per frame (-1 when the average is below 1 us), and the
// throttle's sleep before a mode change.
int FindRepeatedFrameTime(const int* trials, int count);
int EstimateRefreshRate(ULONGLONG totalMicroseconds, int trialCount);
DWORD ModeChangeThrottleSleep(DWORD previous, DWORD now);
