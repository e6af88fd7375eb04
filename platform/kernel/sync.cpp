// Owns the event, critical-section and thread objects of the kernel layer,
// built on the C++ threading primitives; handles come from handle.cpp.
#include "platform/kernel/sync.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {

struct EventObject : WaitableObject {
    std::mutex Mutex;
    std::condition_variable Signal;
    bool ManualReset = false;
    bool Set = false;

    DWORD Wait(DWORD milliseconds) override
    {
        std::unique_lock<std::mutex> lock(Mutex);
        auto ready = [this] { return Set; };
        if (milliseconds == INFINITE) {
            Signal.wait(lock, ready);
        } else if (!Signal.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
            return WAIT_TIMEOUT;
        }
        if (!ManualReset) Set = false;
        return WAIT_OBJECT_0;
    }
};

// The thread and its handle share the state, so closing the handle while the
// thread runs is safe.
struct ThreadState {
    std::mutex Mutex;
    std::condition_variable Ended;
    bool Done = false;
    DWORD ExitCode = STILL_ACTIVE;
};

struct ThreadObject : WaitableObject {
    std::shared_ptr<ThreadState> State = std::make_shared<ThreadState>();

    DWORD Wait(DWORD milliseconds) override
    {
        std::unique_lock<std::mutex> lock(State->Mutex);
        auto ready = [this] { return State->Done; };
        if (milliseconds == INFINITE) {
            State->Ended.wait(lock, ready);
        } else if (!State->Ended.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
            return WAIT_TIMEOUT;
        }
        return WAIT_OBJECT_0;
    }
};

thread_local DWORD t_threadId = 0;

std::atomic<DWORD> g_nextThreadId{1};

std::atomic<int> g_threadStartFailures{0};

} // namespace

HANDLE CreateEventA(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, LPCSTR)
{
    auto* event = new (std::nothrow) EventObject;
    if (event == nullptr) return nullptr;
    event->ManualReset = manualReset != FALSE;
    event->Set = initialState != FALSE;
    return RegisterKernelObject(event);
}

BOOL SetEvent(HANDLE handle)
{
    auto* event = LookupKernelObjectAs<EventObject>(handle);
    if (event == nullptr) return FALSE;
    {
        std::lock_guard<std::mutex> lock(event->Mutex);
        event->Set = true;
    }
    event->Signal.notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle)
{
    auto* event = LookupKernelObjectAs<EventObject>(handle);
    if (event == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(event->Mutex);
    event->Set = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    auto* object = LookupKernelObjectAs<WaitableObject>(handle);
    if (object == nullptr) return WAIT_FAILED;
    return object->Wait(milliseconds);
}

void InitializeCriticalSection(CRITICAL_SECTION* section)
{
    section->Impl = new std::recursive_mutex;
}

void EnterCriticalSection(CRITICAL_SECTION* section)
{
    static_cast<std::recursive_mutex*>(section->Impl)->lock();
}

void LeaveCriticalSection(CRITICAL_SECTION* section)
{
    static_cast<std::recursive_mutex*>(section->Impl)->unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION* section)
{
    delete static_cast<std::recursive_mutex*>(section->Impl);
    section->Impl = nullptr;
}

HANDLE CreateThread(SECURITY_ATTRIBUTES*, std::size_t, LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags,
                    DWORD* threadId)
{
    if (start == nullptr || flags != 0) return nullptr;
    auto* object = new ThreadObject;
    std::shared_ptr<ThreadState> state = object->State;
    HANDLE handle = RegisterKernelObject(object);
    // The id is fixed before the thread runs so the creator can store it first.
    DWORD id = g_nextThreadId.fetch_add(1);
    if (threadId != nullptr) *threadId = id;
    // std::thread reports a thread the system would not start by throwing;
    // this call answers null, as its callers expect.
    try {
        if (g_threadStartFailures.load() > 0 && g_threadStartFailures.fetch_sub(1) > 0) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        std::thread([state, start, parameter, id] {
            t_threadId = id;
            DWORD code = start(parameter);
            std::lock_guard<std::mutex> lock(state->Mutex);
            state->ExitCode = code;
            state->Done = true;
            state->Ended.notify_all();
        }).detach();
    } catch (const std::exception&) {
        CloseHandle(handle);
        if (threadId != nullptr) *threadId = 0;
        return nullptr;
    }
    return handle;
}

void FailNextThreadStarts(int count) { g_threadStartFailures.store(count); }

BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode)
{
    auto* object = LookupKernelObjectAs<ThreadObject>(handle);
    if (object == nullptr || exitCode == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(object->State->Mutex);
    *exitCode = object->State->ExitCode;
    return TRUE;
}

DWORD GetCurrentThreadId()
{
    if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(1);
    return t_threadId;
}
