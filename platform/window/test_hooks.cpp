// The window layer's test hooks, with no state of their own: each reaches
// the piece it pins through that piece's functions (window table, desktop,
// cursor, SDL events), or pushes the SDL event a user would cause.
#include "platform/window/window.h"

#include "platform/window/window_internal.h"

#include <SDL.h>

#include <mutex>

void SetWindowCreationFailure(bool fail)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    FailWindowCreation(fail);
}

bool IsScreenSaverActive()
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    return ScreenSaverActive();
}

void SimulateCloseRequest(HWND)
{
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

void SimulateFocusChange(HWND window, bool active)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    DeliverActivation(window, active);
}

int GetCursorDisplayCount()
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    return CursorDisplayCount();
}

void SimulateCursorPos(const POINT* point)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    PinCursorPos(point);
}

bool IsWindowFullScreen(HWND window)
{
    std::lock_guard<std::recursive_mutex> lock(WindowMutex());
    WindowRec* rec = FindWindowRec(window);
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
