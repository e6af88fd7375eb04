// APILOCK: the library's global lock. Recursive, and it serves waiting
// threads strictly first come, first served, each waiter on its own event.
#pragma once

#include "platform/kernel/sync.h"
#include "platform/kernel/types.h"

constexpr int APILOCK_QUEUE_SIZE = 4096;

struct APILOCKWAITER {
    DWORD ThreadId;
    HANDLE Event;
};

struct APILOCK {
    int RecursionCount;
    int LockedFlag;
    DWORD OwnerThreadId;                         // 0xFFFFFFFF once released
    APILOCKWAITER Queue[APILOCK_QUEUE_SIZE];     // entry 0 is the head
    int CreatedFlag;
    int WaiterCount;
    CRITICAL_SECTION Section;                    // guards every field above
};

// Kept apart from SYSSTATE: it must never be copied while it may be held.
extern APILOCK ApiLock;

void EnterApiLock();
void LeaveApiLock();
// Closes the events and deletes the critical section; the next EnterApiLock
// creates them again.
void DestroyApiLock();
