// Owns the graph manager's started flag and restore callback; calls the
// screen layer for the screen size, the drawing state's reset and the
// screen's delete-all of 2D surfaces, and logs.
#include "graphics/graph.h"

#include "core/log.h"
#include "graphics/drawstate.h"
#include "graphics/screen.h"

namespace {

int g_started = 0;
int g_direct3DUsable = 0;

void RestoreLostGraphs()
{
    // Graph records come with the graph layer; none can be lost yet.
}

} // namespace

int StartGraphManager()
{
    if (g_started == 1) return 0;
    WriteLog("グラフィック管理系の初期化を行います\n");
    IncreaseLogIndent();
    g_started = 1;
    DeleteAllSurface2D();
    // The 3D surface table comes with Direct3D; without it graphs stay 2D.
    g_direct3DUsable = 0;
    WriteLog("３Ｄグラフィック描画機能は使用しません\n");
    ResetDrawStateDefaults();
    DecreaseLogIndent();
    WriteLog("グラフィック管理系の初期化は正常に終了しました\n");
    return 0;
}

int EndGraphManager()
{
    if (g_started == 0) return 0;
    DeleteAllGraphHandles(0);
    DeleteAllLights();
    g_started = 0;
    WriteLog("グラフィック管理系の終了処理は正常に終了しました\n");
    return 0;
}

int IsGraphManagerStarted()
{
    return g_started;
}

int IsDirect3DUsable()
{
    return g_direct3DUsable;
}

int DeleteAllGraphHandles(int)
{
    return 0;
}

int IsGraphHandleValid(int)
{
    return 0;
}

int GetGraphDimensions(int graph, int* width, int* height)
{
    if (graph != -2 && graph != -4) return -1;
    return GetScreenPixelSize(width, height);
}

int SetGraphRestoreFunction(void (*callback)())
{
    DrawState.RestoreCallback = callback != nullptr ? callback : RestoreLostGraphs;
    return 0;
}

int HasRestoreCallback()
{
    return DrawState.RestoreCallback != nullptr ? 1 : 0;
}

int MarkGraphsLostAndRestore()
{
    if (DrawState.RestoreCallback != nullptr) DrawState.RestoreCallback();
    return 0;
}

int ReloadAllGraphSurfaces()
{
    if (g_started == 0) return 0;
    RestoreLostOutputSurfaces();
    return 0;
}
