// Owns the input method switch, on SDL's text input.
#include "platform/imm/imm.h"

#include <SDL.h>

BOOL WINNLSEnableIME(HWND, BOOL enable)
{
    static BOOL enabled = TRUE;
    BOOL previous = enabled;
    enabled = enable;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        if (enable) {
            SDL_StartTextInput();
        } else {
            SDL_StopTextInput();
        }
    }
    return previous;
}
