// The multimedia timer functions: the millisecond clock and the timer period.
#pragma once

#include "platform/kernel/types.h"

using MMRESULT = UINT;
constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT TIMERR_NOCANDO = 97;

struct TIMECAPS {
    UINT wPeriodMin;
    UINT wPeriodMax;
};

// Milliseconds of the kernel's clock, wrapping after about 49.7 days.
DWORD timeGetTime();
MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size);
// The period is only counted: Linux sleeps are already fine-grained.
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);

// Test access to the balance of timeBeginPeriod against timeEndPeriod.
int GetTimerPeriodRaiseCount();
