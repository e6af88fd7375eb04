// Owns the per-thread message queues and the timers: sent, posted and peeked
// messages, with paint and timer messages made when nothing is posted. Calls
// sdl_events.cpp to pump SDL's events and the window table for its records.
#include "platform/window/window.h"

#include "platform/kernel/sync.h"
#include "platform/window/window_internal.h"
#include "platform/winmm/timer.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace {

struct TimerRec {
    HWND Window;
    std::uintptr_t Id;
    UINT Elapse;
    TIMERPROC Proc;
    DWORD ThreadId;
    DWORD Due;
};

std::map<DWORD, std::deque<MSG>> g_queues;
std::vector<TimerRec> g_timers;
std::uintptr_t g_nextTimerId = 1;

bool Matches(const MSG& m, HWND filter)
{
    if (filter == nullptr) return true;
    if (filter == reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1))) return m.hwnd == nullptr;
    return m.hwnd == filter;
}

} // namespace

void PostToThread(DWORD threadId, const MSG& message, bool front)
{
    auto& queue = g_queues[threadId];
    if (front) {
        queue.push_front(message);
    } else {
        queue.push_back(message);
    }
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG m{};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = timeGetTime();
    return m;
}

void ForgetWindowMessages(HWND window)
{
    for (auto& [thread, queue] : g_queues) {
        for (auto it = queue.begin(); it != queue.end();) {
            it = it->hwnd == window ? queue.erase(it) : it + 1;
        }
    }
    for (auto it = g_timers.begin(); it != g_timers.end();) {
        it = it->Window == window ? g_timers.erase(it) : it + 1;
    }
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(WindowMutex());
        WindowRec* rec = FindWindowRec(window);
        if (rec == nullptr) return 0;
        proc = rec->Proc;
    }
    return proc(window, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    if (window == nullptr) {
        PostToThread(GetCurrentThreadId(), MakeMessage(nullptr, message, wParam, lParam));
        return TRUE;
    }
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr) return FALSE;
    PostToThread(rec->ThreadId, MakeMessage(window, message, wParam, lParam));
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    PostToThread(GetCurrentThreadId(), MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0));
}

BOOL PeekMessageA(MSG* message, HWND window, UINT, UINT, UINT remove)
{
    if (message == nullptr) return FALSE;
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    PumpSdlEvents();
    const DWORD thread = GetCurrentThreadId();
    auto& queue = g_queues[thread];
    for (;;) {
        auto it = std::find_if(queue.begin(), queue.end(), [&](const MSG& m) { return Matches(m, window); });
        if (it == queue.end()) break;
        if (it->message != kQueuedImeEvent) {
            *message = *it;
            if (remove & PM_REMOVE) queue.erase(it);
            return TRUE;
        }
        // Its messages are sent now, in their place among the posted ones.
        const WPARAM serial = it->wParam;
        queue.erase(it);
        DeliverImeEvent(serial);
    }
    if (window == reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1))) return FALSE;
    // Paint and timer messages only when nothing is posted.
    if (HWND w = NextWindowToPaint(thread, window); w != nullptr) {
        *message = MakeMessage(w, WM_PAINT, 0, 0);
        return TRUE;
    }
    const DWORD now = timeGetTime();
    for (auto& t : g_timers) {
        if (t.ThreadId != thread || static_cast<int>(now - t.Due) < 0) continue;
        if (window != nullptr && window != t.Window) continue;
        *message = MakeMessage(t.Window, WM_TIMER, t.Id, reinterpret_cast<LPARAM>(t.Proc));
        if (remove & PM_REMOVE) t.Due = now + t.Elapse;
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* message)
{
    if (message == nullptr) return FALSE;
    if (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN) return FALSE;
    int c = CharacterOfKeyMessage(*message);
    if (c < 0) return FALSE;
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    WindowRec* rec = FindWindowRec(message->hwnd);
    if (rec == nullptr) return FALSE;
    UINT charMessage = message->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    PostToThread(rec->ThreadId, MakeMessage(message->hwnd, charMessage, static_cast<WPARAM>(c), message->lParam), true);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* message)
{
    if (message == nullptr) return 0;
    if (message->message == WM_TIMER && message->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(message->lParam);
        proc(message->hwnd, WM_TIMER, message->wParam, timeGetTime());
        return 0;
    }
    if (message->hwnd == nullptr) return 0;
    return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

int TranslateAcceleratorA(HWND, HACCEL, MSG*)
{
    // The layer has no accelerator tables.
    return 0;
}

BOOL IsDialogMessageA(HWND, MSG*)
{
    return FALSE;
}

std::uintptr_t SetTimer(HWND window, std::uintptr_t id, UINT elapse, TIMERPROC proc)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    if (window != nullptr && FindWindowRec(window) == nullptr) return 0;
    if (window == nullptr) id = g_nextTimerId++;
    if (elapse < 10) elapse = 10;
    for (auto& t : g_timers) {
        if (t.Window == window && t.Id == id) {
            t.Elapse = elapse;
            t.Proc = proc;
            t.Due = timeGetTime() + elapse;
            return window != nullptr ? 1 : id;
        }
    }
    g_timers.push_back(TimerRec{window, id, elapse, proc, GetCurrentThreadId(), timeGetTime() + elapse});
    return window != nullptr ? 1 : id;
}

BOOL KillTimer(HWND window, std::uintptr_t id)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    for (auto it = g_timers.begin(); it != g_timers.end(); ++it) {
        if (it->Window == window && it->Id == id) {
            g_timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}
