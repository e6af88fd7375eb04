// Owns the window and class tables and the presented window: making, placing,
// showing, painting and destroying windows. Calls desktop.cpp to start SDL's
// video, the queue to post and forget messages, display, gdi, dragdrop, menu.
#include "platform/window/window.h"

#include "platform/display/display.h"
#include "platform/display/sdl_presenter.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/sync.h"
#include "platform/window/dragdrop.h"
#include "platform/window/menu.h"
#include "platform/window/window_internal.h"

#include <SDL.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

struct ClassRec {
    std::string Name;
    WNDPROC Proc = nullptr;
    UINT Style = 0;
};

// The tables are touched from the window thread; PostMessage may come from
// any thread, so everything is behind one recursive lock.
std::recursive_mutex g_mutex;
std::map<std::string, ClassRec> g_classes;
std::map<std::uintptr_t, WindowRec> g_windows;
std::uintptr_t g_nextWindow = 0x10010;

// The window whose client area shows the virtual display.
HWND g_presented = nullptr;
bool g_failCreation = false;

// Pseudo handle of a window that another process owns.
const HWND kForeignWindow = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7FFF0000));

std::string UpperName(const char* name)
{
    std::string s = name != nullptr ? name : "";
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

HWND HandleOf(std::uintptr_t key)
{
    return reinterpret_cast<HWND>(key);
}

void FrameOf(DWORD style, DWORD exStyle, RECT* frame)
{
    int border = (style & WS_THICKFRAME) ? 4 : ((style & (WS_CAPTION | WS_BORDER)) ? 3 : 0);
    int caption = ((style & WS_CAPTION) == WS_CAPTION) ? 22 : 0;
    int edge = (exStyle & WS_EX_CLIENTEDGE) ? 2 : 0;
    frame->left = border + edge;
    frame->right = border + edge;
    frame->top = border + caption + edge;
    frame->bottom = border + edge;
}

// Every window hears of a display-mode change, as from a broadcast.
void PostDisplayChange(const DisplayMode& mode)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    FollowDisplayMode(FindWindowRec(g_presented));
    for (const auto& [key, rec] : g_windows) {
        if (rec.MessageOnly) continue;
        PostToThread(rec.ThreadId, MakeMessage(HandleOf(key), WM_DISPLAYCHANGE, static_cast<WPARAM>(mode.bits),
                                               MakeLParam(mode.width, mode.height)));
    }
}

HWND CreateMessageOnlyWindow(const ClassRec& cls)
{
    WindowRec rec;
    rec.ClassName = cls.Name;
    rec.Proc = cls.Proc;
    rec.ThreadId = GetCurrentThreadId();
    rec.MessageOnly = true;
    const std::uintptr_t key = g_nextWindow;
    g_nextWindow += 4;
    g_windows[key] = rec;
    HWND window = HandleOf(key);
    if (SendMessageA(window, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    return window;
}

} // namespace

std::recursive_mutex& WindowMutex()
{
    return g_mutex;
}

WindowRec* FindWindowRec(HWND window)
{
    auto it = g_windows.find(reinterpret_cast<std::uintptr_t>(window));
    return it == g_windows.end() ? nullptr : &it->second;
}

HWND FindWindowBySdlId(std::uint32_t id)
{
    for (auto& [key, rec] : g_windows)
        if (rec.Sdl != nullptr && SDL_GetWindowID(rec.Sdl) == id) return HandleOf(key);
    return nullptr;
}

HWND FirstTopLevelWindow()
{
    for (auto& [key, rec] : g_windows)
        if (!rec.Destroying && !rec.MessageOnly) return HandleOf(key);
    return nullptr;
}

HWND PresentedWindow()
{
    return g_presented;
}

void PublishClientRect(HWND window)
{
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr || window != g_presented) return;
    SetDisplayClientRect(RECT{rec->ClientX, rec->ClientY, rec->ClientX + rec->ClientW, rec->ClientY + rec->ClientH});
}

HWND NextWindowToPaint(DWORD thread, HWND filter)
{
    for (auto& [key, rec] : g_windows) {
        HWND w = HandleOf(key);
        if (rec.ThreadId != thread || !rec.PaintPending || !rec.Visible || rec.Destroying) continue;
        if (filter != nullptr && filter != w) continue;
        return w;
    }
    return nullptr;
}

void FailWindowCreation(bool fail)
{
    g_failCreation = fail;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass)
{
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr) return 0;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    std::string key = UpperName(windowClass->lpszClassName);
    if (key.empty() || g_classes.count(key) != 0) return 0;
    g_classes[key] = ClassRec{windowClass->lpszClassName, windowClass->lpfnWndProc, windowClass->style};
    return static_cast<ATOM>(0xC000 + g_classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    std::string key = UpperName(className);
    for (auto& [k, rec] : g_windows)
        if (UpperName(rec.ClassName.c_str()) == key) return FALSE;  // still in use
    return g_classes.erase(key) != 0 ? TRUE : FALSE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD exStyle)
{
    if (rect == nullptr) return FALSE;
    RECT f;
    FrameOf(style, exStyle, &f);
    rect->left -= f.left;
    rect->top -= f.top;
    rect->right += f.right;
    rect->bottom += f.bottom;
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU, HINSTANCE, LPVOID)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    auto cls = g_classes.find(UpperName(className));
    if (cls == g_classes.end() || g_failCreation) return nullptr;
    if (parent == HWND_MESSAGE) return CreateMessageOnlyWindow(cls->second);
    if (!EnsureVideo()) return nullptr;

    RECT f;
    FrameOf(style, exStyle, &f);
    WindowRec rec;
    rec.ClassName = cls->second.Name;
    rec.Proc = cls->second.Proc;
    rec.Style = style;
    rec.ExStyle = exStyle;
    rec.ThreadId = GetCurrentThreadId();
    rec.ClientX = x + f.left;
    rec.ClientY = y + f.top;
    rec.ClientW = width - f.left - f.right;
    rec.ClientH = height - f.top - f.bottom;
    if (rec.ClientW < 1) rec.ClientW = 1;
    if (rec.ClientH < 1) rec.ClientH = 1;

    Uint32 flags = SDL_WINDOW_HIDDEN;
    if ((style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if (exStyle & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    std::string utf8Title = title != nullptr ? ConvertCp932ToUtf8(title, std::strlen(title)) : std::string();
    rec.Sdl = SDL_CreateWindow(utf8Title.c_str(), rec.ClientX, rec.ClientY, rec.ClientW, rec.ClientH, flags);
    if (rec.Sdl == nullptr) return nullptr;
    SetX11Class(rec.Sdl, rec.ClassName);
    rec.LockFd = TakeInstanceLock(UpperName(rec.ClassName.c_str()));

    const std::uintptr_t key = g_nextWindow;
    g_nextWindow += 4;
    g_windows[key] = rec;
    HWND window = HandleOf(key);
    SetDisplayChangeListener(PostDisplayChange);
    if (g_presented == nullptr && AttachSdlPresenter(rec.Sdl)) {
        g_presented = window;
        PublishClientRect(window);
    }
    if (SendMessageA(window, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    if (style & WS_VISIBLE) ShowWindow(window, SW_SHOW);
    return window;
}

BOOL DestroyWindow(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr || rec->Destroying) return FALSE;
    rec->Destroying = true;
    SendMessageA(window, WM_DESTROY, 0, 0);
    rec = FindWindowRec(window);
    if (rec == nullptr) return TRUE;
    ForgetDropWindow(window);
    SetMenu(window, nullptr);
    rec = FindWindowRec(window);
    if (window == g_presented) {
        DetachSdlPresenter();
        g_presented = nullptr;
    }
    if (rec->Sdl != nullptr) SDL_DestroyWindow(rec->Sdl);
    ReleaseInstanceLock(rec->LockFd);
    g_windows.erase(reinterpret_cast<std::uintptr_t>(window));
    ForgetWindowMessages(window);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    return FindWindowRec(window) != nullptr ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr || rec->MessageOnly) return FALSE;
    BOOL wasVisible = rec->Visible ? TRUE : FALSE;
    if (command == SW_HIDE) {
        SDL_HideWindow(rec->Sdl);
        rec->Visible = false;
    } else if (command == SW_MINIMIZE) {
        SDL_MinimizeWindow(rec->Sdl);
    } else {
        SDL_ShowWindow(rec->Sdl);
        rec->Visible = true;
        rec->PaintPending = true;
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr) return FALSE;
    if (rec->PaintPending && rec->Visible) SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL BringWindowToTop(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr) return FALSE;
    if (rec->Visible) SDL_RaiseWindow(rec->Sdl);
    return TRUE;
}

BOOL SetForegroundWindow(HWND window)
{
    return BringWindowToTop(window);
}

BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr) return FALSE;
    RECT f;
    FrameOf(rec->Style, rec->ExStyle, &f);
    if (!(flags & SWP_NOMOVE)) {
        rec->ClientX = x + f.left;
        rec->ClientY = y + f.top;
        SDL_SetWindowPosition(rec->Sdl, rec->ClientX, rec->ClientY);
    }
    PublishClientRect(window);
    if (!(flags & SWP_NOSIZE)) {
        rec->ClientW = width - f.left - f.right;
        rec->ClientH = height - f.top - f.bottom;
        SDL_SetWindowSize(rec->Sdl, rec->ClientW, rec->ClientH);
        PublishClientRect(window);
    }
    if (after == HWND_TOPMOST) SDL_SetWindowAlwaysOnTop(rec->Sdl, SDL_TRUE);
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (!SetWindowPos(window, nullptr, x, y, width, height, 0)) return FALSE;
    WindowRec* rec = FindWindowRec(window);
    if (repaint && rec != nullptr) rec->PaintPending = true;
    return TRUE;
}

LONG SetWindowLongA(HWND window, int index, LONG value)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr) return 0;
    DWORD* field = index == GWL_STYLE ? &rec->Style : (index == GWL_EXSTYLE ? &rec->ExStyle : nullptr);
    if (field == nullptr) return 0;
    const LONG previous = static_cast<LONG>(*field);
    *field = static_cast<DWORD>(value);
    if (index == GWL_STYLE) SDL_SetWindowBordered(rec->Sdl, (rec->Style & WS_CAPTION) ? SDL_TRUE : SDL_FALSE);
    // A window that gives up its topmost style (back from full screen) stops
    // standing above the others.
    if (index == GWL_EXSTYLE && (rec->ExStyle & WS_EX_TOPMOST) == 0) SDL_SetWindowAlwaysOnTop(rec->Sdl, SDL_FALSE);
    return previous;
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr || rect == nullptr) return FALSE;
    *rect = RECT{0, 0, rec->ClientW, rec->ClientH};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr || rect == nullptr) return FALSE;
    *rect = RECT{rec->ClientX, rec->ClientY, rec->ClientX + rec->ClientW, rec->ClientY + rec->ClientH};
    AdjustWindowRectEx(rect, rec->Style, FALSE, rec->ExStyle);
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr || point == nullptr) return FALSE;
    point->x += rec->ClientX;
    point->y += rec->ClientY;
    return TRUE;
}

HWND FindWindowA(LPCSTR className, LPCSTR title)
{
    if (className == nullptr || title != nullptr) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    std::string key = UpperName(className);
    for (auto& [k, rec] : g_windows)
        if (!rec.Destroying && !rec.MessageOnly && UpperName(rec.ClassName.c_str()) == key) return HandleOf(k);
    return IsInstanceLockHeldElsewhere(key) ? kForeignWindow : nullptr;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr) return 0;
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT:
        rec->PaintPending = false;
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint)
{
    if (paint == nullptr) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    if (rec == nullptr) return nullptr;
    rec->PaintPending = false;
    paint->hdc = GetDC(window);
    paint->fErase = FALSE;
    paint->rcPaint = RECT{0, 0, rec->ClientW, rec->ClientH};
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint)
{
    if (paint == nullptr) return FALSE;
    ReleaseDC(window, paint->hdc);
    return TRUE;
}

SDL_Window* GetSdlWindowOfHandle(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = FindWindowRec(window);
    return rec != nullptr ? rec->Sdl : nullptr;
}
