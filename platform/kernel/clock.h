// The kernel's clocks: one monotonic source behind the performance counter,
// the millisecond clock (platform/winmm) and Sleep, with a manual clock that
// tests switch to so nothing depends on real time.
#pragma once

#include "platform/kernel/types.h"

BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// Sleep(0) yields the processor. Under the manual clock Sleep advances the
// clock by the time asked for and only yields.
void Sleep(DWORD milliseconds);

// Microseconds of the clock source (real monotonic time or the manual clock).
ULONGLONG ReadClockMicroseconds();

// Test hook: replaces the real clock by a manual one starting at startMs.
// Every read of the clock then advances it by autoStepUs microseconds, so
// loops that wait for time to pass (busy waits, timed pumps) still end.
void UseManualClock(DWORD startMs, ULONGLONG autoStepUs);
void UseRealClock();
bool IsManualClock();
void AdvanceManualClock(ULONGLONG microseconds);
