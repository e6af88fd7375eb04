// Switching between windowed and full-screen use, and the window styles and
// size of each.
#pragma once

#include "platform/kernel/types.h"

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
