// Owns the window hooks of the screen layer's mode change; calls what core's
// start-up installed.
#include "graphics/screen_window.h"

namespace {

SCREENWINDOWHOOKS g_hooks{};

} // namespace

void InstallScreenWindowHooks(const SCREENWINDOWHOOKS& hooks)
{
    g_hooks = hooks;
}

int ApplyModeWindowStyle()
{
    return g_hooks.ApplyWindowStyle != nullptr ? g_hooks.ApplyWindowStyle() : 0;
}
