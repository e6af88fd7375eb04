// Owns what the layer asks of X11 itself, behind SDL's back: the window's
// class name, where the client area stands, and covering the screen where no
// window manager does. Holds no state; calls SDL for the X11 handles.
#include "platform/window/window_internal.h"

#include "platform/kernel/codepage.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstring>
#include <string>

namespace {

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

} // namespace

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
