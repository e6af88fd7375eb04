// DRAWSTATE: the one block every draw reads (draw target and area, blend
// mode, parameter and graph, brightness, Direct3D options, settings for new
// graphs, vsync, present counter, matrices). Its setters store into it; the
// back-ends and the software kernels read it.
#pragma once

#include "graphics/drawtypes.h"
#include "core/handle.h"
#include "graphics/matrix.h"
#include "platform/kernel/types.h"

struct DRAWAREAF {
    float x1;
    float y1;
    float x2;
    float y2;
};

inline DRAWAREAF DrawAreaFOf(const RECT& r)
{
    return DRAWAREAF{static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                     static_cast<float>(r.bottom)};
}

// One light's parameters, laid out as the Direct3D light record.
struct LIGHTPARAMS {
    DWORD Type;  // 3 directional
    float Diffuse[4];  // r, g, b, a
    float Specular[4];
    float Ambient[4];
    float Position[3];
    float Direction[3];
    float Range;
    float Falloff;
    float Attenuation0;
    float Attenuation1;
    float Attenuation2;
    float Theta;
    float Phi;
};

struct LIGHTREC {
    std::uint32_t Check;
    int Handle;
    LIGHTPARAMS Light;
    int DeviceIndex;  // -1 until the light is given to the device
    int Enabled;
    int Changed;
};

using LIGHTTABLE = HANDLETABLE<LIGHTREC, HANDLECAP_LIGHT, HANDLETAG_LIGHT>;

struct DRAWSTATE {
    void (*RestoreCallback)();
    int DrawTarget;  // DRAWTARGET_FRONT, DRAWTARGET_BACK, or a graph handle
    int TargetInVideoMemory;
    RECT TargetScreenRect;
    RECT DrawArea;  // clip of every draw: left <= right, top <= bottom, inside the target
    DRAWAREAF DrawAreaF;
    int TargetWidth;
    int TargetHeight;
    int DepthEnable;
    int DepthWrite;
    int DepthFunc;
    int DepthBias;
    int CullMode;
    int TextureAddressMode;
    int FogEnable;
    float DrawDepth;
    int TextureFilter;
    int BlendMode;   // a BlendMode value, 0-11
    int BlendParam;  // 0-255, stored clamped
    int BlendGraph;  // graph handle, -1 none
    int BlendGraphBorderParam;
    int BlendGraphBorderRange;
    DWORD DrawBright;  // byte 0 blue, 1 green, 2 red; white when the low 24 bits are all ones
    int NewGraphColorBits;
    int NewGraphUse3D;
    int NewGraphRenderable;
    int RenderableGraphAlpha;
    int ForceVertexAlpha;
    int EmptyGraphAlpha;
    int NewGraphAlphaTest;
    int NewGraphInSystemMemory;
    int SingleChannelOption;
    int NewGraphUnmanagedTexture;
    int TransColorFromTopLeft;
    int LinesThrough2D;
    int NoVSync;
    int Mode320x240;
    DWORD TransColor;  // 0x00RRGGBB
    int KeyColorOption;
    int TransBorderOption;
    int Suspended;
    int DrawAreaEmpty;
    ULONGLONG PresentCounter;
    MAT44 WorldMatrix;
    MAT44 ViewMatrix;
    MAT44 ProjectionMatrix;
    MAT44 ViewportMatrix;
    MAT44 ExtraMatrix;
    MAT44 CombinedMatrix;
    MAT44 ViewProjectionMatrix;
    MAT44 ViewRotation;
    LIGHTTABLE Lights;
    int LightsChanged;
    int DefaultLight;
};

extern DRAWSTATE DrawState;

inline bool IsDrawBrightWhite(DWORD bright) { return (bright & 0xFFFFFF) == 0xFFFFFF; }

int ResetDrawStateDefaults();
// 0; -1 (logged, nothing stored) for a mode outside 0-11.
int StoreBlendMode(int mode, int param);
int StoreBrightness(int red, int green, int blue);
int StorePackedBrightness(DWORD rgb);
int StoreBlendGraphSetting(int graph, int borderParam, int borderRange);
int StoreTextureFilterMode(int mode);
int GetTextureFilterMode();
int StoreDrawArea(int x1, int y1, int x2, int y2);
int ReadDrawArea(int out[4]);
int StoreDrawTargetScreenRect(const RECT* rect);
int GetCurrentDrawTarget();
int SetFlipVSyncWait(int flag);
int GetFlipVSyncWait();
int ResetFlipCounter();
int IncrementFlipCounter();
ULONGLONG GetFlipCounter();

int SetNewGraphRenderable(int flag);
int SetEmptyGraphAlphaChannel(int flag);
int GetEmptyGraphAlphaChannel();
int GetNewGraphInSystemMemory();
int SetNewGraphInSystemMemory(int flag);
int SetNewGraphInVideoMemory(int flag);
int EnableGraph3DBackend(int flag);
int CanUse3DGraphs();

DWORD ConvertRGBToScreenColor(int red, int green, int blue);
int SplitColorValueToRGB(DWORD color, int* red, int* green, int* blue);

int StoreWorldMatrix(const MAT44* matrix, int flag);
int StoreViewMatrix(const MAT44* matrix);
int StoreProjectionMatrix(const MAT44* matrix);
int UpdateCombinedMatrices();

int AddLightRecord();
// -1 for a zero direction, which has no normal.
int CreateDirectionalLight(float x, float y, float z);
int DeleteLight(int light);
int DeleteAllLights();
LIGHTREC* GetLightRecord(int light);
