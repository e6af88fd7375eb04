// Switching between windowed and full-screen use, and the window styles and
// size of each; the screen services they use are installed by core's start-up.
#pragma once

#include "platform/kernel/types.h"

// What a mode change and the window's sizing ask of the screen layer, which
// sits above the window code. Without them nothing is rebuilt or re-aimed and
// the screen reads 640x480, as the screen does before a mode is set.
struct WINDOWMODESCREEN {
    // Rebuilds the screen for the new mode, the back screen's picture kept;
    // the rebuild's result.
    int (*RebuildKeepingBackScreen)();
    int (*ScreenSize)(int* width, int* height);  // in pixels; 0
    // A front draw target follows the moved client area (screen coordinates)
    // and takes the front draw area again.
    void (*AimFrontAtClientRect)(const RECT& client, const RECT& frontArea);
    // Shows the GDI surface again as it stands, once the full-screen menu may
    // have come or gone over it.
    void (*ReshowGDISurface)();
};

// Answers the record it replaces.
WINDOWMODESCREEN InstallWindowModeScreen(const WINDOWMODESCREEN& screen);
// The installed entry; nothing without one.
void ReshowGDISurfaceForMenu();

// The style tables by window style index: windowed and full-screen style and
// extended style.
struct WINDOWSTYLES {
    DWORD Windowed;
    DWORD WindowedEx;
    DWORD FullScreen;
    DWORD FullScreenEx;
};
extern const WINDOWSTYLES WindowStyleTable[8];

// Before the window exists only the windowed flag changes; else the screen
// is rebuilt for the new mode and its result answered.
int ChangeWindowMode(int windowed);
// Sets the styles, size and place of the main window for the current mode; 0.
int ApplyWindowStyle();
// Sizes the window so its client area is the screen times the scale (or
// the user's size), below the toolbar; 0.
int FitWindowToScreen();
// The client area follows a move of the window (WM_MOVE's lParam); 0.
int HandleWindowMove(LPARAM lParam);
// The client rectangle in screen coordinates, below the toolbar; 0.
int GetClientAreaRect(RECT* rect);
// Stores the wanted visibility and shows or hides the cursor when the
// outcome, with a shown menu, changes; 0.
int SetMouseCursorVisible(int flag);
// The cursor in screen pixels of the picture: scaled back in a window, the
// screen position in full screen. Either pointer may be null; 0.
int ReadCursorClientPos(int* x, int* y);
// WM_SIZING: keeps the screen's shape, or limits the size to the scaled
// screen, editing the proposed window rectangle; 0.
int ConstrainWindowSizing(WPARAM edge, RECT* proposed);
