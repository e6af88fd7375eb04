// Switching between windowed and full-screen use.
#pragma once

// Before the window exists only the windowed flag changes; 0.
int ChangeWindowMode(int windowed);
