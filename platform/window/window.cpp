// Owns the window layer's tables (classes, windows, timers, per-thread
// message queues) and the translation of SDL2 events into messages. Calls
// platform/gdi for paint device contexts and the kernel for clocks.
#include "platform/window/window.h"

#include "platform/display/display.h"
#include "platform/display/sdl_presenter.h"
#include "platform/gdi/gdi.h"
#include "platform/imm/imm.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/sync.h"
#include "platform/window/dragdrop.h"
#include "platform/window/keyboard.h"
#include "platform/window/menu.h"
#include "platform/winmm/timer.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

struct ClassRec {
    std::string Name;
    WNDPROC Proc = nullptr;
    UINT Style = 0;
};

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

struct TimerRec {
    HWND Window;
    std::uintptr_t Id;
    UINT Elapse;
    TIMERPROC Proc;
    DWORD ThreadId;
    DWORD Due;
};

// The tables are touched from the window thread; PostMessage may come from
// any thread, so everything is behind one recursive lock.
std::recursive_mutex g_mutex;
std::map<std::string, ClassRec> g_classes;
std::map<std::uintptr_t, WindowRec> g_windows;
std::uintptr_t g_nextWindow = 0x10010;
std::map<DWORD, std::deque<MSG>> g_queues;
std::vector<TimerRec> g_timers;
std::uintptr_t g_nextTimerId = 1;

bool g_videoReady = false;
bool g_videoRefused = false;  // no real display, and no headless driver asked for
// The window whose client area shows the virtual display.
HWND g_presented = nullptr;
DWORD g_videoThread = 0;
bool g_failCreation = false;
bool g_screenSaverActive = true;
int g_cursorCount = 0;
HCURSOR g_cursor = nullptr;
bool g_cursorPinned = false;
POINT g_pinnedCursor{0, 0};
// Names of the drop SDL is delivering.
std::vector<std::string> g_dropNames;

// Pseudo handle of a window that another process owns.
const HWND kForeignWindow = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7FFF0000));

std::string UpperName(const char* name)
{
    std::string s = name != nullptr ? name : "";
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

WindowRec* Find(HWND window)
{
    auto it = g_windows.find(reinterpret_cast<std::uintptr_t>(window));
    return it == g_windows.end() ? nullptr : &it->second;
}

HWND HandleOf(std::uintptr_t key)
{
    return reinterpret_cast<HWND>(key);
}

HWND FindBySdlId(Uint32 id)
{
    for (auto& [key, rec] : g_windows)
        if (rec.Sdl != nullptr && SDL_GetWindowID(rec.Sdl) == id) return HandleOf(key);
    return nullptr;
}

// SDL falls back to a headless driver when no display can be reached; a
// program would then run with nothing on screen. Only a caller that named
// that driver gets it.
bool UnaskedHeadlessDriver()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) return true;
    std::string name = driver;
    if (name != "offscreen" && name != "dummy") return false;
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    std::string list = asked != nullptr ? asked : "";
    for (char& c : list) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return list.find(name) == std::string::npos;
}

bool EnsureVideo()
{
    if (g_videoReady) return true;
    if (g_videoRefused) return false;
    // SIGINT and SIGTERM arrive as SDL_QUIT, which the layer turns into a close.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    if (UnaskedHeadlessDriver()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        g_videoRefused = true;
        OutputDebugStringA("No display could be opened (check DISPLAY); set SDL_VIDEODRIVER=offscreen to run "
                           "without one. No window can be made.\n");
        return false;
    }
    // The library accepts no dropped files and starts with text input off.
    SDL_EventState(SDL_DROPFILE, SDL_DISABLE);
    SDL_EventState(SDL_DROPTEXT, SDL_DISABLE);
    SDL_EventState(SDL_DROPBEGIN, SDL_DISABLE);
    SDL_EventState(SDL_DROPCOMPLETE, SDL_DISABLE);
    SDL_StopTextInput();
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) SetVirtualDesktopSize(mode.w, mode.h);
    g_videoReady = true;
    g_videoThread = GetCurrentThreadId();
    return true;
}

// The instance lock of a window class: a file lock named after the class,
// released by the system when the process ends however it ends.
std::string InstanceLockPath(const std::string& className)
{
    const char* dir = std::getenv("ZARVO_INSTANCE_DIR");
    if (dir == nullptr || *dir == '\0') dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir == nullptr || *dir == '\0') dir = "/tmp";
    std::string path = std::string(dir) + "/zarvo-" + std::to_string(getuid()) + "-";
    static const char hex[] = "0123456789abcdef";
    for (unsigned char c : className) {
        path.push_back(hex[c >> 4]);
        path.push_back(hex[c & 15]);
    }
    return path + ".lock";
}

int TakeInstanceLock(const std::string& className)
{
    int fd = open(InstanceLockPath(className).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool IsInstanceLockHeldElsewhere(const std::string& className)
{
    int fd = open(InstanceLockPath(className).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}

void SetX11Class(SDL_Window* window, const std::string& className)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    std::string name = ConvertCp932ToUtf8(className.data(), className.size());
    XClassHint hint;
    hint.res_name = name.data();
    hint.res_class = name.data();
    XSetClassHint(info.info.x11.display, info.info.x11.window, &hint);
    XFlush(info.info.x11.display);
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

void PublishClientRect(HWND window)
{
    WindowRec* rec = Find(window);
    if (rec == nullptr || window != g_presented) return;
    SetDisplayClientRect(RECT{rec->ClientX, rec->ClientY, rec->ClientX + rec->ClientW, rec->ClientY + rec->ClientH});
}

void PostTo(DWORD threadId, const MSG& message, bool front = false)
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

// The X11 connection and window behind an SDL window, when X11 runs it.
bool X11WindowOf(SDL_Window* window, Display** display, ::Window* x11)
{
    // Asked only of X11: another driver's refusal would leave an error text
    // behind on the calling thread, which need not be one of SDL's.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (window == nullptr || driver == nullptr || std::strcmp(driver, "x11") != 0) return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    *display = info.info.x11.display;
    *x11 = info.info.x11.window;
    return true;
}

// Where the client area stands on the screen. Back from full screen under a
// window manager, SDL reports (and keeps) the frame's origin for it, so X11
// is asked where it runs the window.
void ReadClientOrigin(SDL_Window* window, int* x, int* y)
{
    Display* display = nullptr;
    ::Window x11 = 0;
    ::Window child = 0;
    if (X11WindowOf(window, &display, &x11) &&
        XTranslateCoordinates(display, x11, DefaultRootWindow(display), 0, 0, x, y, &child)) {
        return;
    }
    SDL_GetWindowPosition(window, x, y);
}

bool HasWindowManager(Display* display)
{
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                          &format, &count, &after, &data) == Success &&
                       count == 1;
    if (data != nullptr) XFree(data);
    return found;
}

// SDL's desktop full screen is a request to the window manager and SDL takes
// the desktop's size for granted; with no manager the window would keep its
// size and show a corner of the picture, so the layer covers the screen
// itself, and puts the window back on the way out.
void PlaceWithoutWindowManager(WindowRec* rec, bool full)
{
    Display* display = nullptr;
    ::Window x11 = 0;
    if (!X11WindowOf(rec->Sdl, &display, &x11) || HasWindowManager(display)) return;
    if (full) {
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(rec->Sdl), &bounds) != 0) return;
        XMoveResizeWindow(display, x11, bounds.x, bounds.y, static_cast<unsigned>(bounds.w),
                          static_cast<unsigned>(bounds.h));
        XRaiseWindow(display, x11);
    } else {
        XMoveResizeWindow(display, x11, rec->ClientX, rec->ClientY, static_cast<unsigned>(rec->ClientW),
                          static_cast<unsigned>(rec->ClientH));
    }
    XFlush(display);
}

// A display mode of its own puts the presented window in desktop full
// screen, the picture scaled and letter-boxed; the desktop mode brings it
// back to the size and place the library gave it.
void FollowDisplayMode(WindowRec* rec)
{
    if (rec == nullptr || rec->Sdl == nullptr) return;
    const bool full = IsVirtualDisplayModeChanged();
    if (full == rec->FullScreen) return;
    rec->FullScreen = full;
    if (full) {
        SDL_SetWindowFullscreen(rec->Sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
        PlaceWithoutWindowManager(rec, true);
    } else {
        SDL_SetWindowFullscreen(rec->Sdl, 0);
        SDL_SetWindowSize(rec->Sdl, rec->ClientW, rec->ClientH);
        SDL_SetWindowPosition(rec->Sdl, rec->ClientX, rec->ClientY);
        PlaceWithoutWindowManager(rec, false);
    }
}

// Every window hears of a display-mode change, as from a broadcast.
void PostDisplayChange(const DisplayMode& mode)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    FollowDisplayMode(Find(g_presented));
    for (const auto& [key, rec] : g_windows) {
        if (rec.MessageOnly) continue;
        PostTo(rec.ThreadId, MakeMessage(HandleOf(key), WM_DISPLAYCHANGE, static_cast<WPARAM>(mode.bits),
                                         MakeLParam(mode.width, mode.height)));
    }
}

void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowRec* rec = Find(window);
    if (rec == nullptr) return;
    PostTo(rec->ThreadId, MakeMessage(window, message, wParam, lParam));
}

void DeliverActivation(HWND window, bool active)
{
    if (Find(window) == nullptr) return;
    if (active) {
        SendMessageA(window, WM_ACTIVATEAPP, 1, 0);
        if (Find(window) != nullptr) SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
    } else {
        SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
        if (Find(window) != nullptr) SendMessageA(window, WM_ACTIVATEAPP, 0, 0);
    }
}

WPARAM VirtualKeyOf(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<WPARAM>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WPARAM>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<WPARAM>(0x70 + (key - SDLK_F1));
    switch (key) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_SEMICOLON: return VK_OEM_1;
    case SDLK_EQUALS: return VK_OEM_PLUS;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    case SDLK_SLASH: return VK_OEM_2;
    case SDLK_BACKQUOTE: return VK_OEM_3;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_BACKSLASH: return VK_OEM_5;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_QUOTE: return VK_OEM_7;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    default: break;
    }
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return static_cast<WPARAM>(VK_NUMPAD0 + 1 + (key - SDLK_KP_1));
    if (key == SDLK_KP_0) return VK_NUMPAD0;
    return 0;
}

// The characters of the punctuation keys on a US keyboard, without and with Shift.
struct PunctuationKey {
    WPARAM vk;
    char plain;
    char shifted;
};
constexpr PunctuationKey kPunctuationKeys[] = {
    {VK_OEM_1, ';', ':'}, {VK_OEM_PLUS, '=', '+'}, {VK_OEM_COMMA, ',', '<'}, {VK_OEM_MINUS, '-', '_'},
    {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'}, {VK_OEM_3, '`', '~'}, {VK_OEM_4, '[', '{'},
    {VK_OEM_5, '\\', '|'}, {VK_OEM_6, ']', '}'}, {VK_OEM_7, '\'', '"'},
};

// The character a key makes with these modifiers, as a US keyboard's
// translation gives it; -1 for none.
int CharacterOf(WPARAM vk, unsigned mods)
{
    const bool shift = (mods & KMOD_SHIFT) != 0;
    const bool ctrl = (mods & KMOD_CTRL) != 0;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return static_cast<int>(vk - 'A' + 1);
        const bool upper = shift != ((mods & KMOD_CAPS) != 0);
        return static_cast<int>(upper ? vk : vk - 'A' + 'a');
    }
    if (ctrl) {
        // Only the bracket keys make control characters besides the letters.
        switch (vk) {
        case VK_OEM_4: return 0x1B;
        case VK_OEM_5: return 0x1C;
        case VK_OEM_6: return 0x1D;
        default: break;
        }
    }
    if (vk >= '0' && vk <= '9') {
        if (ctrl) return -1;
        return shift ? ")!@#$%^&*("[vk - '0'] : static_cast<int>(vk);
    }
    for (const PunctuationKey& k : kPunctuationKeys)
        if (k.vk == vk) return ctrl ? -1 : (shift ? k.shifted : k.plain);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return static_cast<int>('0' + (vk - VK_NUMPAD0));
    switch (vk) {
    case VK_BACK: return 0x08;
    case VK_TAB: return 0x09;
    case VK_RETURN: return 0x0D;
    case VK_ESCAPE: return 0x1B;
    case VK_SPACE: return 0x20;
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    default: return -1;
    }
}

// Marks lPrivate of a key message that carries its key's modifiers.
constexpr DWORD kKeyModifiersCarried = 0x80000000u;

HWND FirstTopLevelWindow()
{
    for (auto& [key, rec] : g_windows)
        if (!rec.Destroying && !rec.MessageOnly) return HandleOf(key);
    return nullptr;
}

// Input-method events wait in the queue among the key messages, so that
// text typed on keys and text from the input method keep their order.
constexpr UINT kQueuedImeEvent = 0xFFF0;  // never answered by PeekMessageA

struct ImeEvent {
    HWND Window;
    bool Result;       // a finished text; otherwise the composition so far
    std::string Text;  // UTF-8
    int Cursor;        // characters into the composition
};
std::map<std::uint64_t, ImeEvent> g_imeEvents;
std::uint64_t g_nextImeEvent = 1;

void QueueImeEvent(Uint32 windowId, bool result, const char* text, int cursor)
{
    HWND w = FindBySdlId(windowId);
    if (w == nullptr) w = FirstTopLevelWindow();
    WindowRec* rec = Find(w);
    if (rec == nullptr) return;
    const std::uint64_t serial = g_nextImeEvent++;
    g_imeEvents[serial] = ImeEvent{w, result, text, cursor};
    PostTo(rec->ThreadId, MakeMessage(w, kQueuedImeEvent, static_cast<WPARAM>(serial), 0));
}

void DeliverImeEvent(WPARAM serial)
{
    auto it = g_imeEvents.find(serial);
    if (it == g_imeEvents.end()) return;
    const ImeEvent e = std::move(it->second);
    g_imeEvents.erase(it);
    // The markers of a destroyed window went with it.
    for (auto k = g_imeEvents.begin(); k != g_imeEvents.end();)
        k = Find(k->second.Window) == nullptr ? g_imeEvents.erase(k) : std::next(k);
    const HWND w = e.Window;
    if (Find(w) == nullptr || !ImeIsEnabled()) return;
    if (!e.Result) {
        if (e.Text.empty()) {
            if (ImeIsComposing()) {
                ImeStoreComposition("", 0);
                ImeSetComposing(false);
                SendMessageA(w, WM_IME_ENDCOMPOSITION, 0, 0);
            }
            return;
        }
        if (!ImeIsComposing()) {
            ImeSetComposing(true);
            SendMessageA(w, WM_IME_STARTCOMPOSITION, 0, 0);
        }
        ImeStoreComposition(e.Text.c_str(), e.Cursor);
        SendMessageA(w, WM_IME_COMPOSITION, 0, static_cast<LPARAM>(GCS_COMPSTR | GCS_CURSORPOS));
        return;
    }
    bool plain = true;
    for (unsigned char c : e.Text)
        if (c >= 0x80) plain = false;
    // Plain characters reach the window as WM_CHAR from their keys; the
    // rest is the input method's result.
    if (plain && !ImeIsComposing()) return;
    if (!ImeIsComposing()) SendMessageA(w, WM_IME_STARTCOMPOSITION, 0, 0);
    ImeSetComposing(false);
    ImeStoreResult(e.Text.c_str());
    ImeStoreComposition("", 0);
    SendMessageA(w, WM_IME_COMPOSITION, 0, static_cast<LPARAM>(GCS_RESULTSTR | GCS_COMPSTR));
    SendMessageA(w, WM_IME_ENDCOMPOSITION, 0, 0);
}

// In full screen the screen is the mode's picture, scaled to fit the window
// and centred between black bands as the presenter shows it: a point of the
// window in the picture's pixels, held inside the picture.
void WindowPointToPicture(const WindowRec& rec, int* x, int* y)
{
    const DisplayMode mode = GetVirtualDisplayMode();
    int ww = 0;
    int wh = 0;
    SDL_GetWindowSize(rec.Sdl, &ww, &wh);
    if (mode.width <= 0 || mode.height <= 0 || ww <= 0 || wh <= 0) return;
    const double sx = static_cast<double>(ww) / mode.width;
    const double sy = static_cast<double>(wh) / mode.height;
    const double scale = sx < sy ? sx : sy;
    const double left = (ww - std::floor(mode.width * scale)) / 2;
    const double top = (wh - std::floor(mode.height * scale)) / 2;
    const int px = static_cast<int>(std::floor((*x - std::floor(left)) / scale));
    const int py = static_cast<int>(std::floor((*y - std::floor(top)) / scale));
    *x = px < 0 ? 0 : (px >= mode.width ? mode.width - 1 : px);
    *y = py < 0 ? 0 : (py >= mode.height ? mode.height - 1 : py);
}

void TranslateSdlEvent(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_QUIT: {
        HWND w = FirstTopLevelWindow();
        if (w != nullptr) SendMessageA(w, WM_CLOSE, 0, 0);
        break;
    }
    case SDL_WINDOWEVENT: {
        HWND w = FindBySdlId(e.window.windowID);
        WindowRec* rec = Find(w);
        if (rec == nullptr) break;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
            rec->PaintPending = true;
            break;
        case SDL_WINDOWEVENT_MOVED:
            if (rec->FullScreen) break;
            ReadClientOrigin(rec->Sdl, &rec->ClientX, &rec->ClientY);
            PublishClientRect(w);
            SendMessageA(w, WM_MOVE, 0, MakeLParam(rec->ClientX, rec->ClientY));
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (rec->FullScreen) {
                rec->PaintPending = true;
                break;
            }
            rec->ClientW = e.window.data1;
            rec->ClientH = e.window.data2;
            rec->PaintPending = true;
            PublishClientRect(w);
            SendMessageA(w, WM_SIZE, SIZE_RESTORED, MakeLParam(e.window.data1, e.window.data2));
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            SendMessageA(w, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            SendMessageA(w, WM_SIZE, SIZE_MAXIMIZED, MakeLParam(rec->ClientW, rec->ClientH));
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            DeliverActivation(w, true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            DeliverActivation(w, false);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            SendMessageA(w, WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        HWND w = FindBySdlId(e.key.windowID);
        if (w == nullptr) w = FirstTopLevelWindow();
        WPARAM vk = VirtualKeyOf(e.key.keysym.sym);
        if (w == nullptr || vk == 0) break;
        const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
        const bool down = e.type == SDL_KEYDOWN;
        UINT message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
        LPARAM lParam = 1 | (static_cast<LPARAM>(e.key.keysym.scancode & 0xFF) << 16);
        if (!down) lParam |= static_cast<LPARAM>(0xC0000000u);
        WindowRec* rec = Find(w);
        if (rec == nullptr) break;
        MSG m = MakeMessage(w, message, vk, lParam);
        m.lPrivate = kKeyModifiersCarried | e.key.keysym.mod;
        PostTo(rec->ThreadId, m);
        break;
    }
    case SDL_TEXTEDITING:
        QueueImeEvent(e.edit.windowID, false, e.edit.text, e.edit.start);
        break;
    case SDL_TEXTINPUT:
        QueueImeEvent(e.text.windowID, true, e.text.text, 0);
        break;
    case SDL_DROPBEGIN:
        g_dropNames.clear();
        break;
    case SDL_DROPFILE:
        if (e.drop.file != nullptr) {
            g_dropNames.push_back(ConvertUtf8ToCp932(e.drop.file, std::strlen(e.drop.file)));
            SDL_free(e.drop.file);
        }
        break;
    case SDL_DROPCOMPLETE: {
        HWND w = FindBySdlId(e.drop.windowID);
        if (w == nullptr) w = FirstTopLevelWindow();
        std::vector<std::string> names;
        names.swap(g_dropNames);
        if (w == nullptr || names.empty() || !IsDropAccepted(w)) break;
        PostInput(w, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDropHandle(std::move(names))), 0);
        break;
    }
    case SDL_MOUSEMOTION: {
        HWND w = FindBySdlId(e.motion.windowID);
        if (w != nullptr) PostInput(w, WM_MOUSEMOVE, 0, MakeLParam(e.motion.x, e.motion.y));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        HWND w = FindBySdlId(e.button.windowID);
        if (w == nullptr) break;
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        UINT message = 0;
        if (e.button.button == SDL_BUTTON_LEFT) message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        if (e.button.button == SDL_BUTTON_RIGHT) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        if (e.button.button == SDL_BUTTON_MIDDLE) message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        if (message != 0) PostInput(w, message, 0, MakeLParam(e.button.x, e.button.y));
        break;
    }
    case SDL_MOUSEWHEEL: {
        // Only vertical turns are wheel messages: a delta of 0 would count as a turn down.
        HWND w = FindBySdlId(e.wheel.windowID);
        if (w == nullptr || e.wheel.y == 0) break;
        int delta = e.wheel.y * 120;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
        PostInput(w, WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<DWORD>(delta) << 16), 0);
        break;
    }
    default:
        break;
    }
}

void PumpSdlEvents()
{
    if (!g_videoReady || GetCurrentThreadId() != g_videoThread) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) TranslateSdlEvent(e);
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

bool Matches(const MSG& m, HWND filter)
{
    if (filter == nullptr) return true;
    if (filter == reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1))) return m.hwnd == nullptr;
    return m.hwnd == filter;
}

} // namespace

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
    WindowRec* rec = Find(window);
    if (rec == nullptr || rec->Destroying) return FALSE;
    rec->Destroying = true;
    SendMessageA(window, WM_DESTROY, 0, 0);
    rec = Find(window);
    if (rec == nullptr) return TRUE;
    ForgetDropWindow(window);
    SetMenu(window, nullptr);
    rec = Find(window);
    if (window == g_presented) {
        DetachSdlPresenter();
        g_presented = nullptr;
    }
    if (rec->Sdl != nullptr) SDL_DestroyWindow(rec->Sdl);
    if (rec->LockFd >= 0) close(rec->LockFd);
    g_windows.erase(reinterpret_cast<std::uintptr_t>(window));
    for (auto& [thread, queue] : g_queues) {
        for (auto it = queue.begin(); it != queue.end();) {
            it = it->hwnd == window ? queue.erase(it) : it + 1;
        }
    }
    for (auto it = g_timers.begin(); it != g_timers.end();) {
        it = it->Window == window ? g_timers.erase(it) : it + 1;
    }
    return TRUE;
}

HWND GetDesktopWindow()
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7FFE0000));
}

BOOL IsWindow(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    return Find(window) != nullptr ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = Find(window);
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
    WindowRec* rec = Find(window);
    if (rec == nullptr) return FALSE;
    if (rec->PaintPending && rec->Visible) SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL BringWindowToTop(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = Find(window);
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
    WindowRec* rec = Find(window);
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
    WindowRec* rec = Find(window);
    if (repaint && rec != nullptr) rec->PaintPending = true;
    return TRUE;
}

LONG SetWindowLongA(HWND window, int index, LONG value)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = Find(window);
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
    WindowRec* rec = Find(window);
    if (rec == nullptr || rect == nullptr) return FALSE;
    *rect = RECT{0, 0, rec->ClientW, rec->ClientH};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = Find(window);
    if (rec == nullptr || rect == nullptr) return FALSE;
    *rect = RECT{rec->ClientX, rec->ClientY, rec->ClientX + rec->ClientW, rec->ClientY + rec->ClientH};
    AdjustWindowRectEx(rect, rec->Style, FALSE, rec->ExStyle);
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = Find(window);
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
    WindowRec* rec = Find(window);
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

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(g_mutex);
        WindowRec* rec = Find(window);
        if (rec == nullptr) return 0;
        proc = rec->Proc;
    }
    return proc(window, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (window == nullptr) {
        PostTo(GetCurrentThreadId(), MakeMessage(nullptr, message, wParam, lParam));
        return TRUE;
    }
    WindowRec* rec = Find(window);
    if (rec == nullptr) return FALSE;
    PostTo(rec->ThreadId, MakeMessage(window, message, wParam, lParam));
    return TRUE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    PostTo(threadId, MakeMessage(nullptr, message, wParam, lParam));
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    PostTo(GetCurrentThreadId(), MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0));
}

BOOL PeekMessageA(MSG* message, HWND window, UINT, UINT, UINT remove)
{
    if (message == nullptr) return FALSE;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
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
    for (auto& [key, rec] : g_windows) {
        HWND w = HandleOf(key);
        if (rec.ThreadId != thread || !rec.PaintPending || !rec.Visible || rec.Destroying) continue;
        if (window != nullptr && window != w) continue;
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
    // A message made by hand has no key event: the keyboard's state now stands in.
    const unsigned mods = (message->lPrivate & kKeyModifiersCarried) != 0 ? (message->lPrivate & 0xFFFF)
                                                                           : (g_videoReady ? SDL_GetModState() : 0);
    int c = CharacterOf(message->wParam, mods);
    if (c < 0) return FALSE;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = Find(message->hwnd);
    if (rec == nullptr) return FALSE;
    UINT charMessage = message->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    PostTo(rec->ThreadId, MakeMessage(message->hwnd, charMessage, static_cast<WPARAM>(c), message->lParam), true);
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
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (window != nullptr && Find(window) == nullptr) return 0;
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
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    for (auto it = g_timers.begin(); it != g_timers.end(); ++it) {
        if (it->Window == window && it->Id == id) {
            g_timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

int ShowCursor(BOOL show)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    g_cursorCount += show ? 1 : -1;
    if (g_videoReady) SDL_ShowCursor(g_cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return g_cursorCount;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    HCURSOR old = g_cursor;
    g_cursor = cursor;
    return old;
}

BOOL GetCursorPos(POINT* point)
{
    if (point == nullptr) return FALSE;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (g_cursorPinned) {
        *point = g_pinnedCursor;
        return TRUE;
    }
    int x = 0;
    int y = 0;
    if (g_videoReady) SDL_GetMouseState(&x, &y);
    const WindowRec* rec = Find(g_presented);
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

int GetSystemMetrics(int index)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    SDL_DisplayMode mode{};
    bool known = EnsureVideo() && SDL_GetDesktopDisplayMode(0, &mode) == 0;
    if (index == SM_CXSCREEN) return known ? mode.w : 1920;
    if (index == SM_CYSCREEN) return known ? mode.h : 1080;
    return 0;
}

BOOL SystemParametersInfoA(UINT action, UINT uiParam, void*, UINT)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (action != SPI_SETSCREENSAVEACTIVE) return FALSE;
    // SDL scopes the screen saver's inhibition to this process.
    g_screenSaverActive = uiParam != 0;
    if (g_videoReady) {
        if (g_screenSaverActive) {
            SDL_EnableScreenSaver();
        } else {
            SDL_DisableScreenSaver();
        }
    }
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint)
{
    if (paint == nullptr) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = Find(window);
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
    WindowRec* rec = Find(window);
    return rec != nullptr ? rec->Sdl : nullptr;
}

void SetWindowCreationFailure(bool fail)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    g_failCreation = fail;
}

bool IsScreenSaverActive()
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    return g_screenSaverActive;
}

void SimulateCloseRequest(HWND)
{
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

void SimulateFocusChange(HWND window, bool active)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    DeliverActivation(window, active);
}

int GetCursorDisplayCount()
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    return g_cursorCount;
}

void SimulateCursorPos(const POINT* point)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    g_cursorPinned = point != nullptr;
    if (point != nullptr) g_pinnedCursor = *point;
}

bool IsWindowFullScreen(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    WindowRec* rec = Find(window);
    if (rec == nullptr || rec->Sdl == nullptr) return false;
    return rec->FullScreen && (SDL_GetWindowFlags(rec->Sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void SimulateSdlKey(HWND window, int sdlKeycode, int sdlMods, bool down)
{
    SDL_Window* sdl = GetSdlWindowOfHandle(window);
    if (sdl == nullptr) return;
    SDL_Event e{};
    e.key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = SDL_GetWindowID(sdl);
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sdlKeycode;
    e.key.keysym.scancode = SDL_GetScancodeFromKey(sdlKeycode);
    e.key.keysym.mod = static_cast<Uint16>(sdlMods);
    SDL_SetModState(static_cast<SDL_Keymod>(sdlMods));
    SDL_PushEvent(&e);
}

namespace {

// Editing and text events share their first fields (type, time, window,
// text); the editing event adds the cursor.
void PushTextEvent(HWND window, Uint32 type, const char* utf8, int cursor)
{
    SDL_Window* sdl = GetSdlWindowOfHandle(window);
    if (sdl == nullptr) return;
    SDL_Event e{};
    if (type == SDL_TEXTEDITING) {
        e.edit.windowID = SDL_GetWindowID(sdl);
        SDL_strlcpy(e.edit.text, utf8, sizeof e.edit.text);
        e.edit.start = cursor;
    } else {
        e.text.windowID = SDL_GetWindowID(sdl);
        SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    }
    e.type = type;
    SDL_PushEvent(&e);
}

} // namespace

void SimulateSdlTextEditing(HWND window, const char* utf8, int cursor)
{
    PushTextEvent(window, SDL_TEXTEDITING, utf8, cursor);
}

void SimulateSdlTextInput(HWND window, const char* utf8)
{
    PushTextEvent(window, SDL_TEXTINPUT, utf8, 0);
}
