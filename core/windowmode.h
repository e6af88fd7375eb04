// Switching between windowed and full-screen use, and the window styles and
// size of each.
#pragma once

// Before the window exists only the windowed flag changes; else the screen
// is rebuilt for the new mode and its result answered.
int ChangeWindowMode(int windowed);
// Sets the styles, size and place of the main window for the current mode; 0.
int ApplyWindowStyle();
