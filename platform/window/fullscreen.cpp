// Owns the presented window's desktop full screen: entering and leaving it
// with the display mode, and the pointer in the mode's picture. Calls
// x11_window.cpp where no window manager covers the screen.
#include "platform/window/window_internal.h"

#include "platform/display/display.h"

#include <SDL.h>

#include <cmath>

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
