// Facts about the system of the kernel layer: the OS version (answered as
// NT 6.1), memory status, the module handle, process exit, the processor's
// CPUID and time-stamp counter (with a test hook that replaces them).
#pragma once

#include "platform/kernel/types.h"

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
BOOL GetVersionExA(OSVERSIONINFOA* info);

// The running kernel's own name and release (for the log), e.g. "Linux 6.1.0".
void GetHostSystemName(char* buffer, std::size_t size);

// Byte counts are 64-bit here: machines have more than 4 GB.
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    ULONGLONG dwTotalPhys;
    ULONGLONG dwAvailPhys;
};
void GlobalMemoryStatus(MEMORYSTATUS* status);

HMODULE GetModuleHandleA(LPCSTR name);

// Ends the process at once with the code (-1 shows as status 255).
[[noreturn]] void ExitProcess(UINT code);

// The processor: CPUID and RDTSC, answered by the real instruction or by a
// test stub. `available` tells whether the CPUID instruction exists.
struct CPUIDSTUB {
    bool CpuidAvailable;
    char Vendor[13];
    DWORD Function1Edx;      // feature flags: bit 4 TSC, 23 MMX, 25 SSE, 26 SSE2
    DWORD MaxExtended;       // highest extended function
    char Brand[49];
    ULONGLONG TscPerMicrosecond;  // the stub's counter follows the kernel clock
};
bool IsCpuidAvailable();
void ExecuteCpuid(DWORD function, DWORD regs[4]);  // eax, ebx, ecx, edx
ULONGLONG ReadTimeStampCounter();
void SetCpuidStub(const CPUIDSTUB* stub);  // null restores the real processor
