// Shows the virtual display's pictures in an SDL window: the window layer
// attaches it when the window exists and detaches it before the window goes.
#pragma once

struct SDL_Window;

bool AttachSdlPresenter(SDL_Window* window);
void DetachSdlPresenter();
