// Owns the timer period count; the millisecond clock reads platform/kernel/clock.
#include "platform/winmm/timer.h"

#include "platform/kernel/clock.h"

#include <atomic>

namespace {
std::atomic<int> g_raised{0};
}

DWORD timeGetTime()
{
    return static_cast<DWORD>(ReadClockMicroseconds() / 1000u);
}

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size)
{
    if (caps == nullptr || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period)
{
    if (period == 0) return TIMERR_NOCANDO;
    g_raised.fetch_add(1);
    return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period)
{
    if (period == 0) return TIMERR_NOCANDO;
    g_raised.fetch_sub(1);
    return TIMERR_NOERROR;
}

int GetTimerPeriodRaiseCount()
{
    return g_raised.load();
}
