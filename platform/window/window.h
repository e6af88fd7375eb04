// Windows, classes and the message queue of the window layer. SDL2 opens
// the windows; its events become window messages: activation, size, move,
// close are sent to the procedure at once, input and quit are posted, and
// paint and timer messages are made when the queue is otherwise empty.
// Window handles are ids checked against a table, so a destroyed window's
// handle fails safely.
#pragma once

#include "platform/kernel/types.h"

using ATOM = WORD;
using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
using TIMERPROC = void (*)(HWND window, UINT message, std::uintptr_t id, DWORD time);

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_IME_STARTCOMPOSITION = 0x010D;
constexpr UINT WM_IME_ENDCOMPOSITION = 0x010E;
constexpr UINT WM_IME_COMPOSITION = 0x010F;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_SIZING = 0x0214;
constexpr UINT WM_MOVING = 0x0216;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_IME_SETCONTEXT = 0x0281;
constexpr UINT WM_IME_NOTIFY = 0x0282;
constexpr UINT MM_MCINOTIFY = 0x03B9;
constexpr UINT WM_USER = 0x0400;

// WM_ACTIVATE, WM_SIZE and WM_SYSCOMMAND arguments.
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM SC_KEYMENU = 0xF100;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_SCREENSAVE = 0xF140;
constexpr WPARAM SC_MONITORPOWER = 0xF170;

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_THICKFRAME = 0x00040000u;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020u;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100u;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200u;

constexpr UINT CS_VREDRAW = 0x1;
constexpr UINT CS_HREDRAW = 0x2;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

constexpr UINT PM_NOREMOVE = 0x0;
constexpr UINT PM_REMOVE = 0x1;

constexpr UINT SPI_SETSCREENSAVEACTIVE = 0x0011;
constexpr UINT SPIF_SENDCHANGE = 0x2;

const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
// As the parent: a message-only window, which has no screen presence and is
// never found, shown or told of display changes.
const HWND HWND_MESSAGE = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-3));
constexpr UINT SWP_NOSIZE = 0x1;
constexpr UINT SWP_NOMOVE = 0x2;
constexpr UINT SWP_NOREDRAW = 0x8;

// Resource ids of the stock cursor and icon.
inline const char* MakeIntResource(WORD id)
{
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(id));
}
constexpr WORD IDC_ARROW_ID = 32512;
constexpr WORD IDI_APPLICATION_ID = 32512;

// Virtual key codes the layer produces from SDL keys.
constexpr WPARAM VK_BACK = 0x08;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_SHIFT = 0x10;
constexpr WPARAM VK_CONTROL = 0x11;
constexpr WPARAM VK_MENU = 0x12;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_SPACE = 0x20;
constexpr WPARAM VK_LEFT = 0x25;
constexpr WPARAM VK_UP = 0x26;
constexpr WPARAM VK_RIGHT = 0x27;
constexpr WPARAM VK_DOWN = 0x28;
constexpr WPARAM VK_DELETE = 0x2E;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
    // The layer's own: a key message made from a keyboard event carries the
    // modifiers held with that key, so its character does not depend on how
    // late it is translated.
    DWORD lPrivate = 0;
};

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
};

inline WORD LoWord(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline WORD HiWord(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline LPARAM MakeLParam(int low, int high)
{
    return static_cast<LPARAM>(static_cast<DWORD>((low & 0xFFFF) | ((high & 0xFFFF) << 16)));
}

ATOM RegisterClassA(const WNDCLASSA* windowClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
// x, y, width and height are the outer window's; the client area is what is
// left inside the frame that AdjustWindowRectEx adds. WM_CREATE is sent
// before it answers. The window starts hidden unless WS_VISIBLE is given.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY, then frees the window; its handle is dead afterwards.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
// Sends WM_PAINT at once when the window has something to paint.
BOOL UpdateWindow(HWND window);
BOOL BringWindowToTop(HWND window);
BOOL SetForegroundWindow(HWND window);
BOOL SetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags);
// GWL_STYLE or GWL_EXSTYLE: the frame follows the new style at the next
// SetWindowPos. Answers the previous value, 0 for a bad window.
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
LONG SetWindowLongA(HWND window, int index, LONG value);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
// x, y, width and height are the outer window's, as for SetWindowPos.
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
// Finds a top-level window of the class, in this process or, by the class's
// instance lock, in another one (the single-instance check). The title must
// be null.
HWND FindWindowA(LPCSTR className, LPCSTR title);
// A fixed pseudo handle: the desktop is no window of this process.
HWND GetDesktopWindow();

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// window null: any message of the calling thread; (HWND)-1: thread messages
// only; else that window's. Only PM_REMOVE and PM_NOREMOVE; no range filter.
BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove);
// Makes WM_CHAR / WM_SYSCHAR from key messages, as a US keyboard gives them
// (Shift and Caps Lock as they were with the key); TRUE when it did.
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
int TranslateAcceleratorA(HWND window, HACCEL table, MSG* message);
BOOL IsDialogMessageA(HWND dialog, MSG* message);

std::uintptr_t SetTimer(HWND window, std::uintptr_t id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, std::uintptr_t id);

// The cursor's display counter: visible while it is 0 or more.
int ShowCursor(BOOL show);
HCURSOR SetCursor(HCURSOR cursor);
// The pointer in screen coordinates: its place in the presented window plus
// that window's client origin; in full screen, the pixel of the mode's picture
// under it.
BOOL GetCursorPos(POINT* point);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);

int GetSystemMetrics(int index);
BOOL SystemParametersInfoA(UINT action, UINT uiParam, void* pvParam, UINT winIni);

HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// The SDL window behind a handle, for the layer's other pieces (null if none).
struct SDL_Window* GetSdlWindowOfHandle(HWND window);

// Test hooks.
void SetWindowCreationFailure(bool fail);   // CreateWindowExA answers null
bool IsScreenSaverActive();
// The window procedure sees this as the user closing the window, or the
// process receiving SIGINT/SIGTERM.
void SimulateCloseRequest(HWND window);
// Activation as a focus change would deliver it.
void SimulateFocusChange(HWND window, bool active);
int GetCursorDisplayCount();
// Pins the pointer's screen position (GetCursorPos); a null point unpins it.
void SimulateCursorPos(const POINT* point);
// True while the window stands in SDL's desktop full screen.
bool IsWindowFullScreen(HWND window);
// An SDL key event as the keyboard would queue it, and text-input and
// editing events as the input method would: they take SDL's own road, so
// they count only while SDL accepts them.
void SimulateSdlKey(HWND window, int sdlKeycode, int sdlMods, bool down);
void SimulateSdlTextEditing(HWND window, const char* utf8, int cursor);
void SimulateSdlTextInput(HWND window, const char* utf8);
