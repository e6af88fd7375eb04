// The 2D back-ends' operations on the current draw target.
#pragma once

// Fills the draw target with the background colour (depth to 0xFFFF):
// 0, or -1 without a screen layer or for a bad graph target.
int ClearDrawTarget2D();
