// Events, critical sections, threads and waits of the kernel layer. Every
// event and thread is a kernel object reached through its HANDLE.
#pragma once

#include "platform/kernel/handle.h"
#include "platform/kernel/types.h"

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD STILL_ACTIVE = 259;

struct SECURITY_ATTRIBUTES;

// An object a thread can wait for (events, threads).
struct WaitableObject : KernelObject {
    // WAIT_OBJECT_0 when signalled within the time, else WAIT_TIMEOUT.
    virtual DWORD Wait(DWORD milliseconds) = 0;
};

HANDLE CreateEventA(SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// Time-outs count real time; 0 only tests the state.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);

// Recursive, as the system's critical section is.
struct CRITICAL_SECTION {
    void* Impl;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);
// The thread starts at once (creation flags are not supported and must be 0).
// Null when the system cannot start another thread.
HANDLE CreateThread(SECURITY_ATTRIBUTES* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    void* parameter, DWORD flags, DWORD* threadId);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
// Never 0 and never 0xFFFFFFFF; unique for the life of the process.
DWORD GetCurrentThreadId();

// Test hook: the next `count` thread starts fail as if the system had no room.
void FailNextThreadStarts(int count);
