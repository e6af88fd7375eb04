// The main window's procedure: keeps the window flags of SYSSTATE current
// and routes messages to the subsystems.
#pragma once

#include "graphics/image/graphimage.h"
#include "platform/kernel/types.h"

// The picture an inactive window shows; its graph is made on first use.
extern GraphImage InactiveImage;

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Draws the inactive image into an inactive window: 0, or -1 when no
// inactive image is set or its graph cannot be made.
int RedrawInactiveWindow(HDC dc);
