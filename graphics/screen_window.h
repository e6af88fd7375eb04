// The window styles a mode change sets on the main window, as the screen
// layer calls them. The window belongs to core's top, so core's start-up
// installs them here; until then a mode change leaves the window alone.
#pragma once

struct SCREENWINDOWHOOKS {
    int (*ApplyWindowStyle)();  // the styles, size and place for the current mode; 0
};

void InstallScreenWindowHooks(const SCREENWINDOWHOOKS& hooks);
// What the installed hook answers; 0 without one.
int ApplyModeWindowStyle();
