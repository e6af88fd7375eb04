// Manual-reset events and reader threads of the file layer, over the
// standard library's primitives.
#include "core/file/file_sync.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

struct FILEEVENT {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Signalled = false;
};

struct FILETHREAD {
    std::thread Thread;
};

FILEEVENT* CreateFileEvent(int signalled)
{
    auto* event = new (std::nothrow) FILEEVENT;
    if (event != nullptr) event->Signalled = signalled != 0;
    return event;
}

void CloseFileEvent(FILEEVENT* event) { delete event; }

void SetFileEvent(FILEEVENT* event)
{
    {
        std::lock_guard<std::mutex> lock(event->Mutex);
        event->Signalled = true;
    }
    event->Changed.notify_all();
}

void ResetFileEvent(FILEEVENT* event)
{
    std::lock_guard<std::mutex> lock(event->Mutex);
    event->Signalled = false;
}

int WaitFileEvent(FILEEVENT* event, int milliseconds)
{
    std::unique_lock<std::mutex> lock(event->Mutex);
    if (milliseconds < 0) {
        event->Changed.wait(lock, [event] { return event->Signalled; });
        return 0;
    }
    return event->Changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [event] { return event->Signalled; })
               ? 0
               : 1;
}

FILETHREAD* StartFileThread(void (*proc)(void* param), void* param)
{
    auto* thread = new (std::nothrow) FILETHREAD;
    if (thread == nullptr) return nullptr;
    try {
        thread->Thread = std::thread(proc, param);
    } catch (...) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void JoinFileThread(FILETHREAD* thread)
{
    if (thread == nullptr) return;
    if (thread->Thread.joinable()) thread->Thread.join();
    delete thread;
}

void YieldFileThread() { std::this_thread::yield(); }

void SleepFileThread(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

struct FILELOCK {
    std::recursive_mutex Mutex;
};

FILELOCK* CreateFileLock() { return new FILELOCK; }
void EnterFileLock(FILELOCK* lock) { lock->Mutex.lock(); }
void LeaveFileLock(FILELOCK* lock) { lock->Mutex.unlock(); }
