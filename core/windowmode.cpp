// Owns the window-mode switch; reads and writes the mode fields of SYSSTATE.
#include "core/windowmode.h"

#include "core/log.h"
#include "core/sysstate.h"

int ChangeWindowMode(int windowed)
{
    if (SysState.MainWindow == nullptr) {
        SysState.WindowModeFlag = windowed != 0 ? 1 : 0;
        return 0;
    }
    if ((windowed != 0 ? 1 : 0) == SysState.WindowModeFlag) return 0;
    // Switching a live window needs the screen layer to rebuild the display.
    return WriteLog("ウインドウモードの変更はまだできません\n");
}
