// The main window's life: its creation during start-up (with the timer test
// and the single-instance check) and its end during shutdown.
#pragma once

#include "platform/kernel/types.h"

// 0, or -1 on failure (the quit flag is then 1).
int CreateMainWindow();
// 0.
int CloseMainWindow();
void ForceWindowForeground(HWND window, int topmost);
