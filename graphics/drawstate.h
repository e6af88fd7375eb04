// DRAWSTATE: the one block every draw reads (draw target and area, blend
// mode, parameter and graph, brightness, Direct3D options, settings for new
// graphs, vsync, present counter, matrices). Its setters store into it; the
// back-ends and the software kernels read it.
#pragma once

#include "graphics/matrix.h"
#include "platform/kernel/types.h"

struct DRAWAREAF {
    float x1;
    float y1;
    float x2;
    float y2;
};

struct DRAWSTATE {
    void (*RestoreCallback)();
    int DrawTarget;  // -4 front screen, -2 back screen, else a graph handle
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
    int BlendMode;   // 0-11; the software kernels draw 0-4, 10 and 11
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
    // The light table joins here with the handle tables.
    int LightsChanged;
    int DefaultLight;
};

extern DRAWSTATE DrawState;

inline bool IsDrawBrightWhite(DWORD bright) { return (bright & 0xFFFFFF) == 0xFFFFFF; }
