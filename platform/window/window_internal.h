// What the window layer's files lend each other: the window record, the one
// lock over every table, and each file's functions for its neighbours.
// Callers hold WindowMutex() unless a function says otherwise.
#pragma once

#include "platform/kernel/types.h"
#include "platform/window/window.h"

#include <cstdint>
#include <mutex>
#include <string>

struct SDL_Window;

struct WindowRec {
    std::string ClassName;
    WNDPROC Proc = nullptr;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    SDL_Window* Sdl = nullptr;
    DWORD ThreadId = 0;
    int ClientX = 0;
    int ClientY = 0;
    int ClientW = 0;
    int ClientH = 0;
    bool Visible = false;
    bool PaintPending = false;
    bool Destroying = false;
    bool MessageOnly = false;
    // In SDL's desktop full screen the window keeps the geometry the library
    // gave it; SDL's own size and move events are not its.
    bool FullScreen = false;
    int LockFd = -1;
};

// Input-method events wait in the queue among the key messages, so that
// text typed on keys and text from the input method keep their order.
constexpr UINT kQueuedImeEvent = 0xFFF0;  // never answered by PeekMessageA

// window.cpp: the window and class tables.
// The one lock of every table here. The drop and menu locks are taken under
// it (DestroyWindow forgets the window there), never the other way round.
std::recursive_mutex& WindowMutex();
WindowRec* FindWindowRec(HWND window);
HWND FindWindowBySdlId(std::uint32_t id);
HWND FirstTopLevelWindow();
// The window whose client area shows the virtual display, or null.
HWND PresentedWindow();
void PublishClientRect(HWND window);
// The first visible window of the thread waiting for WM_PAINT (filter null:
// any of them), or null.
HWND NextWindowToPaint(DWORD thread, HWND filter);
void FailWindowCreation(bool fail);

// message_queue.cpp: the per-thread queues and the timers.
void PostToThread(DWORD threadId, const MSG& message, bool front = false);
MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Drops a destroyed window's queued messages and its timers.
void ForgetWindowMessages(HWND window);

// sdl_events.cpp: SDL's events as messages.
void PumpSdlEvents();
void DeliverImeEvent(WPARAM serial);
void DeliverActivation(HWND window, bool active);
// The character a key message types, as a US keyboard's translation gives
// it; -1 for none. Needs no lock.
int CharacterOfKeyMessage(const MSG& message);

// desktop.cpp: SDL's video and the desktop's settings.
bool EnsureVideo();
// Read without the lock, as a flag set once.
bool IsVideoReady();
// SDL's events are read on the thread that started its video, and only there.
bool OnVideoThread();
bool ScreenSaverActive();

// cursor.cpp: the cursor's counter and the pinned pointer.
int CursorDisplayCount();
void PinCursorPos(const POINT* point);

// fullscreen.cpp: the presented window's desktop full screen.
void FollowDisplayMode(WindowRec* rec);
void WindowPointToPicture(const WindowRec& rec, int* x, int* y);

// x11_window.cpp: what the layer asks of X11 itself.
void SetX11Class(SDL_Window* window, const std::string& className);
void ReadClientOrigin(SDL_Window* window, int* x, int* y);
void PlaceWithoutWindowManager(WindowRec* rec, bool full);

// instance_lock.cpp: the single-instance lock of a window class (the class
// name in upper case). Needs no lock.
int TakeInstanceLock(const std::string& className);
void ReleaseInstanceLock(int fd);
bool IsInstanceLockHeldElsewhere(const std::string& className);
