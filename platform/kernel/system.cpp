// Owns the system facts: version, memory status, module handle, exit, CPUID
// and the time-stamp counter (real or stubbed; the stub reads kernel/clock).
#include "platform/kernel/system.h"

#include "platform/kernel/clock.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define ZARVO_HAS_CPUID 1
#else
#define ZARVO_HAS_CPUID 0
#endif

namespace {
CPUIDSTUB g_stub;
std::atomic<bool> g_stubbed{false};
}

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (info == nullptr) return FALSE;
    // The library branches on the Windows version; this layer answers NT 6.1.
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 7601;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->szCSDVersion[0] = '\0';
    return TRUE;
}

void GetHostSystemName(char* buffer, std::size_t size)
{
    if (buffer == nullptr || size == 0) return;
    utsname u{};
    if (uname(&u) == 0) {
        std::snprintf(buffer, size, "%s %s", u.sysname, u.release);
    } else {
        buffer[0] = '\0';
    }
}

void GlobalMemoryStatus(MEMORYSTATUS* status)
{
    if (status == nullptr) return;
    struct sysinfo s{};
    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwMemoryLoad = 0;
    status->dwTotalPhys = 0;
    status->dwAvailPhys = 0;
    if (sysinfo(&s) == 0) {
        ULONGLONG unit = s.mem_unit ? s.mem_unit : 1;
        status->dwTotalPhys = static_cast<ULONGLONG>(s.totalram) * unit;
        status->dwAvailPhys = (static_cast<ULONGLONG>(s.freeram) + s.bufferram) * unit;
        if (status->dwTotalPhys > 0) {
            status->dwMemoryLoad = static_cast<DWORD>(100 - status->dwAvailPhys * 100 / status->dwTotalPhys);
        }
    }
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    static int module;
    return name == nullptr ? reinterpret_cast<HMODULE>(&module) : nullptr;
}

void ExitProcess(UINT code)
{
    std::fflush(nullptr);
    _exit(static_cast<int>(code));
}

bool IsCpuidAvailable()
{
    if (g_stubbed.load()) return g_stub.CpuidAvailable;
    return ZARVO_HAS_CPUID != 0;
}

void ExecuteCpuid(DWORD function, DWORD regs[4])
{
    regs[0] = regs[1] = regs[2] = regs[3] = 0;
    if (g_stubbed.load()) {
        const CPUIDSTUB& s = g_stub;
        if (function == 0) {
            regs[0] = 1;
            std::memcpy(&regs[1], s.Vendor, 4);
            std::memcpy(&regs[3], s.Vendor + 4, 4);
            std::memcpy(&regs[2], s.Vendor + 8, 4);
        } else if (function == 1) {
            regs[3] = s.Function1Edx;
        } else if (function == 0x80000000u) {
            regs[0] = s.MaxExtended;
        } else if (function >= 0x80000002u && function <= 0x80000004u) {
            std::memcpy(regs, s.Brand + (function - 0x80000002u) * 16, 16);
        }
        return;
    }
#if ZARVO_HAS_CPUID
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid(function, a, b, c, d);
    regs[0] = a;
    regs[1] = b;
    regs[2] = c;
    regs[3] = d;
#endif
}

ULONGLONG ReadTimeStampCounter()
{
    if (g_stubbed.load()) return ReadClockMicroseconds() * g_stub.TscPerMicrosecond;
#if ZARVO_HAS_CPUID
    return __rdtsc();
#else
    return 0;
#endif
}

void SetCpuidStub(const CPUIDSTUB* stub)
{
    if (stub == nullptr) {
        g_stubbed.store(false);
        return;
    }
    g_stub = *stub;
    g_stubbed.store(true);
}
