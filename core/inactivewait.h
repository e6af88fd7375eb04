// The wait of the drawing and input entries while the window is inactive,
// and the one message pass the subsystems and core's window code run. Sits
// in core's base: core's start-up installs what it calls, so neither the
// subsystems nor the window code call the message loop directly.
#pragma once

// What the wait calls above core's base; core's start-up installs them.
struct INACTIVEWAITHOOKS {
    int (*ServiceMessageLoop)();  // one pass; 0, or -1 once the quit flag is set
    int (*IsGDISurfaceShown)();
    int (*ReloadAllGraphSurfaces)();
};

void InstallInactiveWaitHooks(const INACTIVEWAITHOOKS& hooks);

// One pass of the message loop: 0, or -1 once the quit flag is set. Without
// a message loop in the program the quit flag alone answers.
int PumpMessageLoop();
// Holds the caller while the window is inactive, then reloads the graph
// surfaces the inactive time may have lost.
void WaitWhileInactive();
