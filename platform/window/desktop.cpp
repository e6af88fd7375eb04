// Owns SDL's video connection (started once, by the first window made) and
// what the layer tells of the desktop: its metrics, its pseudo window and the
// screen saver. Calls the display piece with the desktop's size.
#include "platform/window/window.h"

#include "platform/display/display.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/sync.h"
#include "platform/window/window_internal.h"

#include <SDL.h>

#include <cctype>
#include <cstdint>
#include <mutex>
#include <string>

namespace {

bool g_videoReady = false;
bool g_videoRefused = false;  // no real display, and no headless driver asked for
DWORD g_videoThread = 0;
bool g_screenSaverActive = true;

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

} // namespace

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

bool IsVideoReady()
{
    return g_videoReady;
}

bool OnVideoThread()
{
    return g_videoReady && GetCurrentThreadId() == g_videoThread;
}

bool ScreenSaverActive()
{
    return g_screenSaverActive;
}

HWND GetDesktopWindow()
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7FFE0000));
}

int GetSystemMetrics(int index)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    SDL_DisplayMode mode{};
    bool known = EnsureVideo() && SDL_GetDesktopDisplayMode(0, &mode) == 0;
    if (index == SM_CXSCREEN) return known ? mode.w : 1920;
    if (index == SM_CYSCREEN) return known ? mode.h : 1080;
    return 0;
}

BOOL SystemParametersInfoA(UINT action, UINT uiParam, void*, UINT)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
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
