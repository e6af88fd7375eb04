// Owns the cursor's display counter, the cursor set and the pointer a test
// pins. Reads the pointer from SDL and places it through the presented
// window (fullscreen.cpp in full screen).
#include "platform/window/window.h"

#include "platform/window/window_internal.h"

#include <SDL.h>

#include <mutex>

namespace {

int g_cursorCount = 0;
HCURSOR g_cursor = nullptr;
bool g_cursorPinned = false;
POINT g_pinnedCursor{0, 0};

} // namespace

int CursorDisplayCount()
{
    return g_cursorCount;
}

void PinCursorPos(const POINT* point)
{
    g_cursorPinned = point != nullptr;
    if (point != nullptr) g_pinnedCursor = *point;
}

int ShowCursor(BOOL show)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    g_cursorCount += show ? 1 : -1;
    if (IsVideoReady()) SDL_ShowCursor(g_cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return g_cursorCount;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    HCURSOR old = g_cursor;
    g_cursor = cursor;
    return old;
}

BOOL GetCursorPos(POINT* point)
{
    if (point == nullptr) return FALSE;
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    if (g_cursorPinned) {
        *point = g_pinnedCursor;
        return TRUE;
    }
    int x = 0;
    int y = 0;
    if (IsVideoReady()) SDL_GetMouseState(&x, &y);
    const WindowRec* rec = FindWindowRec(PresentedWindow());
    if (rec != nullptr && rec->FullScreen) {
        WindowPointToPicture(*rec, &x, &y);
    } else if (rec != nullptr) {
        x += rec->ClientX;
        y += rec->ClientY;
    }
    *point = POINT{x, y};
    return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR)
{
    static int arrow;
    return reinterpret_cast<HCURSOR>(&arrow);
}

HICON LoadIconA(HINSTANCE, LPCSTR)
{
    static int icon;
    return reinterpret_cast<HICON>(&icon);
}
