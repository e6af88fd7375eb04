// The library's message pump. The subsystems reach it, and the wait for
// activation, through core/inactivewait.h.
#pragma once

#include "core/inactivewait.h"

// Dispatches waiting window messages in passes of at most five, keeps
// passing while the window is inactive, then services the network and the
// other per-frame work. 0, or -1 once the quit flag is set.
int ServiceMessageLoop();
