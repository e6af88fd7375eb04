// Owns the local-time query, on localtime_r.
#include "platform/kernel/time.h"

#include <sys/time.h>
#include <time.h>

void GetLocalTime(SYSTEMTIME* out)
{
    if (out == nullptr) return;
    timeval now{};
    gettimeofday(&now, nullptr);
    tm t{};
    time_t seconds = now.tv_sec;
    localtime_r(&seconds, &t);
    out->wYear = static_cast<WORD>(t.tm_year + 1900);
    out->wMonth = static_cast<WORD>(t.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(t.tm_wday);
    out->wDay = static_cast<WORD>(t.tm_mday);
    out->wHour = static_cast<WORD>(t.tm_hour);
    out->wMinute = static_cast<WORD>(t.tm_min);
    out->wSecond = static_cast<WORD>(t.tm_sec);
    out->wMilliseconds = static_cast<WORD>(now.tv_usec / 1000);
}
