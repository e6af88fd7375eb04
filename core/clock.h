// The library's microsecond clock and the local date.
#pragma once

#include "platform/kernel/types.h"

// Microseconds since an arbitrary start: the time-stamp counter when asked
// for and the library is running, else the performance counter when it is
// in use, else the millisecond clock.
ULONGLONG GetMicrosecondClock(int useTimeStampCounter);
// The system's millisecond clock (timeGetTime), for subsystems that pace by it.
DWORD GetSystemMilliseconds();
// Fills year, month (1-12), day, hour, minute, second of the local time; 0.
int GetLocalDateFields(int fields[6]);
