// Keeps the back screen's picture across a screen rebuild that leaves its
// size and depth as they were (a switch between windowed and full screen).
#pragma once

struct KEPTSCREEN;

// The back screen's pixels, or null when there is none to read.
KEPTSCREEN* SaveBackScreenPixels();
// Writes them back when the new back screen has the same size and depth,
// then frees them; null does nothing.
void RestoreBackScreenPixels(KEPTSCREEN* kept);
