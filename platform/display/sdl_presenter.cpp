// Owns the SDL renderer and streaming texture that put presented pictures on
// the screen. Pacing is the emulated vertical blank's, so SDL's vsync stays off.
#include "platform/display/sdl_presenter.h"

#include "platform/display/display.h"

#include <SDL.h>

namespace {

SDL_Window* g_window = nullptr;
SDL_Renderer* g_renderer = nullptr;
SDL_Texture* g_texture = nullptr;
int g_textureWidth = 0;
int g_textureHeight = 0;

void Present(const PresentedPicture& picture)
{
    if (g_renderer == nullptr || picture.pixels == nullptr) return;
    if (g_texture == nullptr || g_textureWidth != picture.width || g_textureHeight != picture.height) {
        if (g_texture != nullptr) SDL_DestroyTexture(g_texture);
        g_texture = SDL_CreateTexture(g_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, picture.width,
                                      picture.height);
        if (g_texture == nullptr) return;
        g_textureWidth = picture.width;
        g_textureHeight = picture.height;
        // Full screen shows the mode's picture scaled to fit, keeping its shape.
        SDL_RenderSetLogicalSize(g_renderer, picture.width, picture.height);
    }
    SDL_UpdateTexture(g_texture, nullptr, picture.pixels, picture.pitch);
    SDL_SetRenderDrawColor(g_renderer, 0, 0, 0, 255);
    SDL_RenderClear(g_renderer);
    SDL_RenderCopy(g_renderer, g_texture, nullptr, nullptr);
    SDL_RenderPresent(g_renderer);
}

} // namespace

bool AttachSdlPresenter(SDL_Window* window)
{
    DetachSdlPresenter();
    if (window == nullptr) return false;
    // One streaming texture a frame needs no GPU; the software renderer over a
    // plain window surface also keeps the GL drivers (and their process-lifetime
    // allocations) out of the process.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (renderer == nullptr) return false;
    g_window = window;
    g_renderer = renderer;
    SetDisplayPresenter(Present);
    return true;
}

void DetachSdlPresenter()
{
    SetDisplayPresenter(nullptr);
    if (g_texture != nullptr) SDL_DestroyTexture(g_texture);
    if (g_renderer != nullptr) SDL_DestroyRenderer(g_renderer);
    g_texture = nullptr;
    g_renderer = nullptr;
    g_window = nullptr;
    g_textureWidth = g_textureHeight = 0;
}
