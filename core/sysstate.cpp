// Owns SYSSTATE.
#include "core/sysstate.h"

SYSSTATE SysState = {
#if defined(__x86_64__) || defined(__i386__)
    1,
#else
    0,
#endif
};

int IsMmxAvailable()
{
    return SysState.MMXFlag;
}
