// Owns APILOCK; built on the kernel's events and critical section.
#include "core/apilock.h"

#include "platform/kernel/clock.h"

#include <cstring>
#include <mutex>

APILOCK ApiLock;

namespace {
// Two threads may make the first acquisition at once.
std::mutex g_createMutex;
}

void EnterApiLock()
{
    APILOCK& L = ApiLock;
    {
        std::lock_guard<std::mutex> guard(g_createMutex);
        if (L.CreatedFlag == 0) {
            L.CreatedFlag = 1;
            for (auto& entry : L.Queue) entry.Event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            InitializeCriticalSection(&L.Section);
        }
    }
    const DWORD me = GetCurrentThreadId();
    for (;;) {
        EnterCriticalSection(&L.Section);
        const int n = L.WaiterCount;
        bool take = false;
        bool leaveQueue = false;
        if (L.LockedFlag == 1) {
            take = L.OwnerThreadId == me;
        } else if (n == 0 || L.OwnerThreadId == me) {
            take = true;
        } else if (L.Queue[0].ThreadId == me) {
            leaveQueue = true;
        }

        if (leaveQueue) {
            if (n == 1) {
                L.WaiterCount = 0;
            } else {
                // The head's event moves to the free end; the others keep theirs.
                HANDLE headEvent = L.Queue[0].Event;
                std::memmove(&L.Queue[0], &L.Queue[1], sizeof(APILOCKWAITER) * static_cast<std::size_t>(n - 1));
                L.Queue[n - 1].Event = headEvent;
                L.Queue[n - 1].ThreadId = 0;
                L.WaiterCount = n - 1;
            }
            take = true;
        }

        if (take) {
            L.RecursionCount += 1;
            L.LockedFlag = 1;
            L.OwnerThreadId = me;
            LeaveCriticalSection(&L.Section);
            return;
        }

        if (n == APILOCK_QUEUE_SIZE) {
            // No place in the queue: poll until one frees or the lock is free.
            LeaveCriticalSection(&L.Section);
            Sleep(1);
            continue;
        }
        L.Queue[n].ThreadId = me;
        HANDLE event = L.Queue[n].Event;
        L.WaiterCount = n + 1;
        LeaveCriticalSection(&L.Section);
        WaitForSingleObject(event, INFINITE);
        ResetEvent(event);
    }
}

void LeaveApiLock()
{
    APILOCK& L = ApiLock;
    EnterCriticalSection(&L.Section);
    bool wake = false;
    if (L.RecursionCount == 1) {
        L.LockedFlag = 0;
        L.OwnerThreadId = 0xFFFFFFFFu;
        wake = L.WaiterCount >= 1;
    }
    L.RecursionCount -= 1;
    HANDLE head = L.Queue[0].Event;
    LeaveCriticalSection(&L.Section);
    if (wake) {
        SetEvent(head);
        Sleep(0);
    }
}

void DestroyApiLock()
{
    APILOCK& L = ApiLock;
    std::lock_guard<std::mutex> guard(g_createMutex);
    if (L.CreatedFlag != 1) return;
    L.CreatedFlag = 0;
    for (auto& entry : L.Queue) {
        if (entry.Event != nullptr) {
            CloseHandle(entry.Event);
            entry.Event = nullptr;
        }
    }
    DeleteCriticalSection(&L.Section);
}
