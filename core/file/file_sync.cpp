// Manual-reset events, reader threads and the layer locks of the file layer,
// on the kernel's events, threads and critical sections.
#include "core/file/file_sync.h"

#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"

#include <new>

namespace {

HANDLE AsHandle(FILEEVENT* event) { return reinterpret_cast<HANDLE>(event); }

struct ThreadStart {
    void (*Proc)(void*);
    void* Param;
};

DWORD RunFileThread(void* param)
{
    ThreadStart start = *static_cast<ThreadStart*>(param);
    delete static_cast<ThreadStart*>(param);
    start.Proc(start.Param);
    return 1;
}

} // namespace

struct FILETHREAD {
    HANDLE Thread;
};

struct FILELOCK {
    CRITICAL_SECTION Section;
};

FILEEVENT* CreateFileEvent(int signalled)
{
    return reinterpret_cast<FILEEVENT*>(CreateEventA(nullptr, TRUE, signalled != 0 ? TRUE : FALSE, nullptr));
}

void CloseFileEvent(FILEEVENT* event) { CloseHandle(AsHandle(event)); }

void SetFileEvent(FILEEVENT* event) { SetEvent(AsHandle(event)); }

void ResetFileEvent(FILEEVENT* event) { ResetEvent(AsHandle(event)); }

int WaitFileEvent(FILEEVENT* event, int milliseconds)
{
    const DWORD wait = milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
    return WaitForSingleObject(AsHandle(event), wait) == WAIT_OBJECT_0 ? 0 : 1;
}

FILETHREAD* StartFileThread(void (*proc)(void* param), void* param)
{
    auto* start = new (std::nothrow) ThreadStart{proc, param};
    auto* thread = new (std::nothrow) FILETHREAD{nullptr};
    if (start == nullptr || thread == nullptr) {
        delete start;
        delete thread;
        return nullptr;
    }
    DWORD id = 0;
    thread->Thread = CreateThread(nullptr, 0, RunFileThread, start, 0, &id);
    if (thread->Thread == nullptr) {
        delete start;
        delete thread;
        return nullptr;
    }
    return thread;
}

void JoinFileThread(FILETHREAD* thread)
{
    if (thread == nullptr) return;
    DWORD code = STILL_ACTIVE;
    while (GetExitCodeThread(thread->Thread, &code) && code == STILL_ACTIVE) Sleep(0);
    CloseHandle(thread->Thread);
    delete thread;
}

void YieldFileThread() { Sleep(0); }

void SleepFileThread(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

FILELOCK* CreateFileLock()
{
    auto* lock = new FILELOCK;
    InitializeCriticalSection(&lock->Section);
    return lock;
}

void EnterFileLock(FILELOCK* lock) { EnterCriticalSection(&lock->Section); }

void LeaveFileLock(FILELOCK* lock) { LeaveCriticalSection(&lock->Section); }
