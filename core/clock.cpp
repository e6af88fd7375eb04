// Owns the microsecond clock; reads the clock facts of SYSSTATE and the
// kernel's counters.
#include "core/clock.h"

#include "core/number.h"
#include "core/sysstate.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/system.h"
#include "platform/kernel/time.h"
#include "platform/winmm/timer.h"

namespace {

ULONGLONG ScaleToMicroseconds(ULONGLONG count, ULONGLONG frequency)
{
    const ULONGLONG million = 1000000;
    UINT128 product;
    MultiplyU64Wide(&count, &million, &product);
    ULONGLONG result;
    DivideWideByU64(&product, &frequency, &result);
    return result;
}

} // namespace

ULONGLONG GetMicrosecondClock(int useTimeStampCounter)
{
    if (SysState.TSCFlag == 1 && useTimeStampCounter == 1 && SysState.InitializeFlag == 1 &&
        SysState.TSCFrequency != 0) {
        return ScaleToMicroseconds(ReadTimeStampCounter(), SysState.TSCFrequency);
    }
    if (SysState.PerfCounterFlag == 1 && SysState.PerfCounterFrequency != 0) {
        LARGE_INTEGER count;
        QueryPerformanceCounter(&count);
        return ScaleToMicroseconds(static_cast<ULONGLONG>(count.QuadPart), SysState.PerfCounterFrequency);
    }
    return static_cast<ULONGLONG>(timeGetTime()) * 1000u;
}

DWORD GetSystemMilliseconds()
{
    return timeGetTime();
}

int GetLocalDateFields(int fields[6])
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    fields[0] = t.wYear;
    fields[1] = t.wMonth;
    fields[2] = t.wDay;
    fields[3] = t.wHour;
    fields[4] = t.wMinute;
    fields[5] = t.wSecond;
    return 0;
}
