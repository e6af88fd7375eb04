// Owns the clock source: CLOCK_MONOTONIC or the manual test clock. The
// performance counter, timeGetTime (platform/winmm) and Sleep read it.
#include "platform/kernel/clock.h"

#include <atomic>
#include <sched.h>
#include <time.h>

namespace {

std::atomic<bool> g_manual{false};
std::atomic<ULONGLONG> g_manualUs{0};
std::atomic<ULONGLONG> g_autoStepUs{0};

ULONGLONG RealMicroseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<ULONGLONG>(ts.tv_sec) * 1000000u + static_cast<ULONGLONG>(ts.tv_nsec) / 1000u;
}

} // namespace

ULONGLONG ReadClockMicroseconds()
{
    if (g_manual.load()) {
        return g_manualUs.fetch_add(g_autoStepUs.load());
    }
    return RealMicroseconds();
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (count == nullptr) return FALSE;
    count->QuadPart = static_cast<LONGLONG>(ReadClockMicroseconds());
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (frequency == nullptr) return FALSE;
    frequency->QuadPart = 1000000;
    return TRUE;
}

void Sleep(DWORD milliseconds)
{
    if (g_manual.load()) {
        g_manualUs.fetch_add(static_cast<ULONGLONG>(milliseconds) * 1000u);
        sched_yield();
        return;
    }
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

void UseManualClock(DWORD startMs, ULONGLONG autoStepUs)
{
    g_manualUs.store(static_cast<ULONGLONG>(startMs) * 1000u);
    g_autoStepUs.store(autoStepUs);
    g_manual.store(true);
}

void UseRealClock()
{
    g_manual.store(false);
}

bool IsManualClock()
{
    return g_manual.load();
}

void AdvanceManualClock(ULONGLONG microseconds)
{
    g_manualUs.fetch_add(microseconds);
}
