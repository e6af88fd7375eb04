// The library's message pump and the per-pass services it runs. The
// subsystems reach the pump, and the wait for activation, through
// core/inactivewait.h; core's start-up installs the services.
#pragma once

#include "core/inactivewait.h"

// The work a message-loop call runs besides the window messages: sockets,
// network, sound streams and movie overlays live above the loop, so core's
// start-up installs them here. A null entry does nothing.
struct MSGLOOPSERVICES {
    void (*PollSockets)();    // before the passes: the sockets' selected events
    void (*InactivePass)();   // each pass of the inactive wait: network, HTTP, stream sounds, movie overlays
    void (*SoundPass)();      // after the passes: stream sounds and MIDI play states
    void (*NetworkPass)();    // after the pad vibration: network and each open HTTP handle's step
};

// Answers the record it replaces.
MSGLOOPSERVICES InstallMessageLoopServices(const MSGLOOPSERVICES& services);

// Dispatches waiting window messages in passes of at most five, keeps
// passing while the window is inactive, then services the network and the
// other per-frame work. 0, or -1 once the quit flag is set.
int ServiceMessageLoop();
