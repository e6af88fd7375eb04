// Owns the hooks of the inactive wait; reads the window flags of SYSSTATE
// and calls what core's start-up installed.
#include "core/inactivewait.h"

#include "core/sysstate.h"

namespace {

INACTIVEWAITHOOKS g_hooks{};

} // namespace

void InstallInactiveWaitHooks(const INACTIVEWAITHOOKS& hooks)
{
    g_hooks = hooks;
}

int PumpMessageLoop()
{
    if (g_hooks.ServiceMessageLoop != nullptr) return g_hooks.ServiceMessageLoop();
    return SysState.QuitFlag == 1 ? -1 : 0;
}

void WaitWhileInactive()
{
    SYSSTATE& s = SysState;
    if (s.PaintingFlag || s.ActiveFlag || s.UserWindowFlag == 1) return;
    auto gdiShown = [] { return g_hooks.IsGDISurfaceShown != nullptr ? g_hooks.IsGDISurfaceShown() : 0; };
    if (s.AlwaysRun != 0 && !(s.WindowModeFlag == 0 && gdiShown() == 0)) return;
    while (PumpMessageLoop() == 0 && s.ActiveFlag == 0) {
    }
    if (g_hooks.ReloadAllGraphSurfaces != nullptr) g_hooks.ReloadAllGraphSurfaces();
}
