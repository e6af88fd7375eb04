// Owns the DRAWSTATE block: its defaults, setters and getters, the light
// records and the colour conversions of the screen's format. Reads the
// screen layer (SCREENSTATE), the window's client rectangle in SYSSTATE,
// the graph manager and the blend tables; waits through the message loop.
#include "graphics/d3d/d3ddevice.h"
#include "graphics/drawstate.h"

#include "core/memory.h"
#include "core/fatalexit.h"
#include "core/inactivewait.h"
#include "core/log.h"
#include "core/sysstate.h"
#include "graphics/backend.h"
#include "graphics/blendtable.h"
#include "graphics/graph.h"
#include "graphics/screen.h"

#include <cmath>
#include <cstddef>
#include <cstring>

DRAWSTATE DrawState;

namespace {

int ClampByte(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

void WaitWhileInactiveIfNeeded()
{
    if (SysState.ActiveFlag == 0) WaitWhileInactive();
}

// The format of colour values: the software screen image's while software
// rendering, else the screen's own.
const COLORFMT* ScreenValueFormat(bool forSplit)
{
    const SCREENSTATE& s = ScreenState;
    if (CurrentRendersInSoftware() && (!forSplit || GetRequestedColorBits() != s.ColorBits)) {
        return LookupMemImgColorFormat(GetRequestedColorBits() == 16 ? MEMIMG_FORMAT_RGB565 : MEMIMG_FORMAT_XRGB8888,
                                       0, 0);
    }
    return &s.ColorFormat;
}

DWORD PackChannel(int value, int width, int shift)
{
    if (width <= 0) return 0;
    return (static_cast<DWORD>(value & 255) >> (8 - width)) << shift;
}

int SplitChannel(DWORD value, DWORD mask, int shift, int width)
{
    // A channel of width 0 holds nothing; it reads as 0.
    if (width <= 0) return 0;
    const DWORD max = (1u << width) - 1;
    return static_cast<int>(((value & mask) >> shift) * 255 / max);
}

} // namespace

int ResetDrawStateDefaults()
{
    DRAWSTATE& d = DrawState;
    void (*callback)() = d.RestoreCallback;
    const int lines = d.LinesThrough2D;
    const int mode320 = d.Mode320x240;
    const int suspended = d.Suspended;
    const ULONGLONG counter = d.PresentCounter;
    // Lights still held would be lost with the table; free them first.
    DeleteAllLights();
    std::memset(static_cast<void*>(&d), 0, sizeof d);
    d.RestoreCallback = callback;
    d.LinesThrough2D = lines;
    d.Mode320x240 = mode320;
    d.Suspended = suspended;
    d.PresentCounter = counter;
    d.BlendGraph = -1;
    d.TextureAddressMode = 3;
    d.NewGraphUse3D = 1;
    d.NewGraphAlphaTest = 1;
    d.DrawBright = 0;  // so the store below is not skipped
    StoreBrightness(255, 255, 255);
    d.DrawDepth = 0.2f;
    d.DepthFunc = 4;
    d.DefaultLight = -1;
    // The mask screen's mode words come with the mask screen.
    d.DrawTarget = DRAWTARGET_BACK;
    SwitchDrawTarget(DRAWTARGET_FRONT);
    int w = 0;
    int h = 0;
    GetGraphDimensions(d.DrawTarget, &w, &h);
    StoreDrawArea(0, 0, w, h);
    d.Suspended = 0;
    d.DefaultLight = CreateDirectionalLight(1.0f, -1.0f, 1.0f);
    return 0;
}

int StoreBlendMode(int mode, int param)
{
    DRAWSTATE& d = DrawState;
    // A mode no back-end knows would make every later draw draw nothing.
    if (mode < ToInt(BlendMode::Copy) || mode > ToInt(BlendMode::ProductBlend))
        return WriteLogFormat("ブレンドモード %d はありません（0-11）", mode);
    if (d.BlendMode == mode && d.BlendParam == param) return 0;
    WaitWhileInactiveIfNeeded();
    d.BlendMode = mode;
    d.BlendParam = ClampByte(param);
    G_D3D_UpdateDiffuseColor();
    return 0;
}

int StoreBrightness(int red, int green, int blue)
{
    DRAWSTATE& d = DrawState;
    const int r = ClampByte(red);
    const int g = ClampByte(green);
    const int b = ClampByte(blue);
    const DWORD packed = static_cast<DWORD>(b) | (static_cast<DWORD>(g) << 8) | (static_cast<DWORD>(r) << 16);
    if ((d.DrawBright & 0xFFFFFF) == packed) return 0;
    d.DrawBright = packed;
    G_D3D_UpdateDiffuseColor();
    return 0;
}

int StorePackedBrightness(DWORD rgb)
{
    DRAWSTATE& d = DrawState;
    if ((d.DrawBright & 0xFFFFFF) == (rgb & 0xFFFFFF)) return 0;
    d.DrawBright = rgb & 0xFFFFFF;
    G_D3D_UpdateDiffuseColor();
    return 0;
}

int StoreBlendGraphSetting(int graph, int borderParam, int borderRange)
{
    DRAWSTATE& d = DrawState;
    if (d.BlendGraph == graph && d.BlendGraphBorderParam == borderParam && d.BlendGraphBorderRange == borderRange) {
        return 0;
    }
    if (graph != -1 && IsGraphHandleValid(graph) == 0) return -1;
    d.BlendGraph = graph;
    WaitWhileInactiveIfNeeded();
    d.BlendGraphBorderParam = ClampByte(borderParam);
    d.BlendGraphBorderRange = ClampByte(borderRange);
    BuildBlendGraphFactorTable(d.BlendGraphBorderParam, d.BlendGraphBorderRange);
    const GRAPHICSBACKEND& b = CurrentGraphicsBackend();
    if (b.SetBlendGraph != nullptr) b.SetBlendGraph(graph, d.BlendGraphBorderParam, d.BlendGraphBorderRange);
    return 0;
}

int StoreTextureFilterMode(int mode)
{
    DrawState.TextureFilter = mode;
    G_D3D_SetDrawFilterMode(mode == 1 ? 1 : 0);
    return 0;
}

int GetTextureFilterMode()
{
    return DrawState.TextureFilter;
}

int StoreDrawArea(int x1, int y1, int x2, int y2)
{
    DRAWSTATE& d = DrawState;
    SysState.FrontDrawArea = RECT{x1, y1, x2, y2};
    int width = 0;
    int height = 0;
    if (d.DrawTarget == DRAWTARGET_BACK) {
        GetScreenPixelSize(&width, &height);
    } else if (d.DrawTarget == DRAWTARGET_FRONT) {
        GetScreenPixelSize(&width, &height);
        RECT client = SysState.WindowClientRect;
        if (SysState.WindowModeFlag != 1) client = RECT{0, 0, width, height};
        // Only the part of the client area that is on the desktop can be drawn.
        if (client.left < 0 && x1 < -client.left) x1 = -client.left;
        if (client.top < 0 && y1 < -client.top) y1 = -client.top;
        if (SysState.DesktopWidth > 0 && client.left + width >= SysState.DesktopWidth) {
            width = SysState.DesktopWidth - client.left;
        }
        if (SysState.DesktopHeight > 0 && client.top + height >= SysState.DesktopHeight) {
            height = SysState.DesktopHeight - client.top;
        }
        if (width < 0) width = 0;
        if (height < 0) height = 0;
    } else if (GetGraphDimensions(d.DrawTarget, &width, &height) != 0) {
        return 0;
    }
    if (x1 > x2) {
        const int t = x1;
        x1 = x2;
        x2 = t;
    }
    if (y1 > y2) {
        const int t = y1;
        y1 = y2;
        y2 = t;
    }
    auto clamp = [](int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    x1 = clamp(x1, width);
    x2 = clamp(x2, width);
    y1 = clamp(y1, height);
    y2 = clamp(y2, height);
    d.DrawArea = RECT{x1, y1, x2, y2};
    d.DrawAreaF = DrawAreaFOf(d.DrawArea);
    d.DrawAreaEmpty = (x1 == x2 || y1 == y2) ? 1 : 0;
    if (d.DrawAreaEmpty == 0) G_D3D_SetViewportFromDrawArea(&d.DrawArea);
    return 0;
}

int ReadDrawArea(int out[4])
{
    out[0] = DrawState.DrawArea.left;
    out[1] = DrawState.DrawArea.top;
    out[2] = DrawState.DrawArea.right;
    out[3] = DrawState.DrawArea.bottom;
    return 0;
}

int StoreDrawTargetScreenRect(const RECT* rect)
{
    DrawState.TargetScreenRect = *rect;
    return 0;
}

int GetCurrentDrawTarget()
{
    return DrawState.DrawTarget;
}

int SetFlipVSyncWait(int flag)
{
    DrawState.NoVSync = flag == 0 ? 1 : 0;
    return 0;
}

int GetFlipVSyncWait()
{
    return DrawState.NoVSync == 0 ? 1 : 0;
}

int ResetFlipCounter()
{
    DrawState.PresentCounter = 0;
    return 0;
}

int IncrementFlipCounter()
{
    ++DrawState.PresentCounter;
    return 0;
}

ULONGLONG GetFlipCounter()
{
    return DrawState.PresentCounter;
}

int SetNewGraphRenderable(int flag)
{
    DrawState.NewGraphRenderable = flag;
    return 0;
}

int SetEmptyGraphAlphaChannel(int flag)
{
    DrawState.EmptyGraphAlpha = flag;
    return 0;
}

int GetEmptyGraphAlphaChannel()
{
    return DrawState.EmptyGraphAlpha;
}

int GetNewGraphInSystemMemory()
{
    return DrawState.NewGraphInSystemMemory;
}

int SetNewGraphInSystemMemory(int flag)
{
    DrawState.NewGraphInSystemMemory = IsDirectDrawInUse() == 0 ? 1 : flag;
    return 0;
}

int SetNewGraphInVideoMemory(int flag)
{
    DrawState.NewGraphInSystemMemory = IsDirectDrawInUse() == 0 ? 1 : (flag != 1 ? 1 : 0);
    return 0;
}

int EnableGraph3DBackend(int flag)
{
    RequestSoftwareStartBeforeScreen(flag == 0 ? 1 : 0);
    DrawState.NewGraphUse3D = flag;
    return 0;
}

int CanUse3DGraphs()
{
    return CurrentD3DDevice() != nullptr ? 1 : 0;
}

DWORD ConvertRGBToScreenColor(int red, int green, int blue)
{
    const SCREENSTATE& s = ScreenState;
    if (s.ColorBits == 8) {
        int best = 0;
        long bestDistance = -1;
        for (int i = 0; i < 256; ++i) {
            const PALETTEENTRY& p = s.PaletteEntries[i];
            const long dr = red - p.peRed;
            const long dg = green - p.peGreen;
            const long db = blue - p.peBlue;
            const long distance = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return static_cast<DWORD>(best);
    }
    const COLORFMT* f = ScreenValueFormat(false);
    return PackChannel(blue, f->BlueWidth, f->BlueShift) + PackChannel(green, f->GreenWidth, f->GreenShift) +
           PackChannel(red, f->RedWidth, f->RedShift) + f->SpareMask;
}

int SplitColorValueToRGB(DWORD color, int* red, int* green, int* blue)
{
    const SCREENSTATE& s = ScreenState;
    int r = 0;
    int g = 0;
    int b = 0;
    if (s.ColorBits == 8) {
        if (color > 255) return -1;
        r = s.PaletteEntries[color].peRed;
        g = s.PaletteEntries[color].peGreen;
        b = s.PaletteEntries[color].peBlue;
    } else {
        const COLORFMT* f = ScreenValueFormat(true);
        r = SplitChannel(color, f->RedMask, f->RedShift, f->RedWidth);
        g = SplitChannel(color, f->GreenMask, f->GreenShift, f->GreenWidth);
        b = SplitChannel(color, f->BlueMask, f->BlueShift, f->BlueWidth);
    }
    if (red != nullptr) *red = r;
    if (green != nullptr) *green = g;
    if (blue != nullptr) *blue = b;
    return 0;
}

int StoreWorldMatrix(const MAT44* matrix, int)
{
    DrawState.WorldMatrix = *matrix;
    return UpdateCombinedMatrices();
}

int StoreViewMatrix(const MAT44* matrix)
{
    DrawState.ViewMatrix = *matrix;
    return UpdateCombinedMatrices();
}

int StoreProjectionMatrix(const MAT44* matrix)
{
    DrawState.ProjectionMatrix = *matrix;
    return UpdateCombinedMatrices();
}

int UpdateCombinedMatrices()
{
    DRAWSTATE& d = DrawState;
    MultiplyMatrix4x4(&d.ViewProjectionMatrix, &d.ViewMatrix, &d.ProjectionMatrix);
    MAT44 worldViewProjection;
    MultiplyMatrix4x4(&worldViewProjection, &d.WorldMatrix, &d.ViewProjectionMatrix);
    MultiplyMatrix4x4(&d.CombinedMatrix, &worldViewProjection, &d.ViewportMatrix);
    MAT44& r = d.ViewRotation;
    const float* v = d.ViewMatrix.m;
    r = MAT44{{v[0], v[4], v[8], 0.0f, v[1], v[5], v[9], 0.0f, v[2], v[6], v[10], 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}};
    return 0;
}

LIGHTREC* GetLightRecord(int light)
{
    return GetHandleRecord(DrawState.Lights, light);
}

int AddLightRecord()
{
    LIGHTTABLE& table = DrawState.Lights;
    const int slot = FindFreeHandleSlot(table);
    if (slot < 0) return -1;
    LIGHTREC* rec = AllocHandleRecord(table, slot, __FILE__, __LINE__);
    if (rec == nullptr) ExitWithFatalError("ライト用のメモリの確保に失敗しました");
    for (int i = 0; i < 4; ++i) {
        rec->Light.Diffuse[i] = 1.0f;
        rec->Light.Specular[i] = 1.0f;
        rec->Light.Ambient[i] = 0.33f;
    }
    rec->DeviceIndex = -1;
    const int handle = CommitHandleRecord(table, slot);
    rec->Handle = handle;
    LIGHTREC* live = GetLightRecord(handle);
    live->Enabled = 1;
    live->Changed = 1;
    DrawState.LightsChanged = 1;
    return handle;
}

int CreateDirectionalLight(float x, float y, float z)
{
    const double length = std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y +
                                    static_cast<double>(z) * z);
    // A zero direction cannot be normalised: refuse it rather than store NaN.
    if (!(length > 0.0)) return -1;
    const int handle = AddLightRecord();
    if (handle < 0) return -1;
    LIGHTREC* rec = GetLightRecord(handle);
    const double inverse = 1.0 / length;
    rec->Light.Type = 3;
    rec->Light.Direction[0] = static_cast<float>(x * inverse);
    rec->Light.Direction[1] = static_cast<float>(y * inverse);
    rec->Light.Direction[2] = static_cast<float>(z * inverse);
    return handle;
}

int DeleteLight(int light)
{
    LIGHTREC* rec = GetLightRecord(light);
    if (rec == nullptr) return -1;
    if (rec->DeviceIndex != -1) DrawState.LightsChanged = 1;
    ReleaseHandleRecord(DrawState.Lights, light);
    DrawState.LightsChanged = 1;
    return 0;
}

int DeleteAllLights()
{
    DeleteAllHandleRecords(DrawState.Lights, [](int handle) { DeleteLight(handle); });
    return 0;
}
