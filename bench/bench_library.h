// A started library for the benchmarks: headless, in a folder of its own
// for the log, a windowed 640x480 32-bit software screen, active and
// drawing to the back screen. Ends the process when the start fails.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "core/api.h"
#include "core/sysstate.h"

inline void StartBenchLibrary(const char* folderPattern)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    char folder[64];
    std::snprintf(folder, sizeof folder, "%s", folderPattern);
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) std::abort();
    SysState.DoubleStartAllowed = 1;
    SetScreenMode(640, 480, 32, 60);
    SelectWindowMode(1);
    SelectDirect3D(0);
    if (StartLibrary() != 0) std::abort();
    SysState.ActiveFlag = 1;
    SelectDrawTarget(-2);
}
