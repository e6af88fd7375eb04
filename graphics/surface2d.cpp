// Owns the 2D surface table and the 2D draw-target switch; reads and writes
// the current-target fields of SCREENSTATE. Calls the window layer for the
// front-screen copy timer.
#include "graphics/surface2d.h"

#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "graphics/screen.h"
#include "platform/window/window.h"

namespace {

// No graph makes 2D surfaces yet, so the table has no live slot.
int g_highWater = 0;

bool ClipperWanted()
{
    return SysState.WindowModeFlag == 1 || ScreenState.GdiSurfaceRequest == 1 || SysState.MenuUse == 1;
}

} // namespace

int GetSurface2DHighWater()
{
    return g_highWater;
}

int GetSurface2DImageSurfaceOfSlot(int)
{
    return -1;
}

int GetSurface2DHandleOfSlot(int)
{
    return -1;
}

int DeleteSurface2D(int)
{
    return 0;
}

int SelectSurface2DDrawTarget(int target, int oldTarget)
{
    SCREENSTATE& s = ScreenState;
    s.DrawImage = nullptr;
    const bool viaTemp = s.FrontViaTempPrimary == 1 && s.TempPrimarySurface != nullptr;
    if (oldTarget == -4 && viaTemp) {
        KillTimer(s.Window, FRONT_COPY_TIMER_ID);
        CopyTempPrimaryToPrimary();
    }
    if (target == -4) {
        s.DrawSurface = viaTemp ? s.TempPrimarySurface : s.PrimarySurface;
        s.DrawImage = s.FrontImage.Tag == MEMIMG_TAG ? &s.FrontImage : nullptr;
        s.DrawDepthImage = nullptr;
        s.DrawOffsetX = 0;
        s.DrawOffsetY = 0;
        if (s.GdiOnly != 1 && s.PrimarySurface != nullptr) {
            if (ClipperWanted()) s.PrimarySurface->SetClipper(nullptr);
            if (viaTemp) {
                s.PrimarySurface->SetClipper(s.Clipper);
                CopyPrimaryToTempPrimary();
                SetTimer(s.Window, FRONT_COPY_TIMER_ID, 17, FrontCopyTimerProc);
            }
        }
    } else if (target == -2) {
        s.DrawSurface = s.BackSurface;
        s.DrawImage = s.BackImage.Tag == MEMIMG_TAG ? &s.BackImage : nullptr;
        s.DrawDepthImage = s.DepthImage.Tag == MEMIMG_TAG ? &s.DepthImage : nullptr;
        s.DrawOffsetX = 0;
        s.DrawOffsetY = 0;
    } else {
        // No graph has 2D surfaces yet: every graph target is refused.
        return -1;
    }
    if (target == -2 && s.GdiOnly != 1 && s.PrimarySurface != nullptr && ClipperWanted()) {
        s.PrimarySurface->SetClipper(s.Clipper);
    }
    DDSCAPS2 caps{};
    if (s.DrawSurface != nullptr) s.DrawSurface->GetCaps(&caps);
    DrawState.TargetInVideoMemory = (s.DrawSurface != nullptr && (caps.dwCaps & DDSCAPS_VIDEOMEMORY)) ? 1 : 0;
    return 0;
}

int RestoreAllSurfaces2D()
{
    // The 2D surfaces' own restore comes with their records.
    return RestoreLostOutputSurfaces() == -1 ? -1 : 0;
}
