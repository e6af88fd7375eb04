// SYSSTATE: the application core's block of global state, and the
// accessors through which other subsystems read it.
#pragma once

#include "platform/kernel/types.h"

struct SYSSTATE {
    int MMXFlag;  // 1 when the processor reports MMX; the 32-bit kernels choose their loops by it
};

extern SYSSTATE SysState;

int IsMmxAvailable();
